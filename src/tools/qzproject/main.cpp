// qzproject: shows what a solution's properties resolve to and where each value came from,
// lists configurations and node macros, and edits and saves solutions.

#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/configurations.h"
#include "project/macroexpander.h"
#include "project/macropropertyclass.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/projectpropertyvalue.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"
#include "project/propertysetter.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"
#include "project/systemmacros.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Failure {
    std::string message;
};

// Options a command accepts; the table says which.
enum Option : unsigned {
    kConfig = 1 << 0,
    kNode = 1 << 1,
    kTrace = 1 << 2,
    kValue = 1 << 3,
    kAll = 1 << 4,
    kMask = 1 << 5,
    kName = 1 << 6,
    kUnset = 1 << 7,
    kOutput = 1 << 8,
    kLoad = 1 << 9, // --global-macros, --allow-load-command
};

struct Arguments {
    std::vector<std::string> positional;
    std::string config;
    std::string node;
    bool haveConfig = false;
    bool trace = false;
    bool value = false;
    bool all = false;
    unsigned mask = Configurations::Public;
    std::string nameGlob = "*";
    std::vector<std::string> unset;
    std::string output;
    std::string globalMacros;
    bool allowLoadCommand = false;
};

class Session;
using Runner = void (*)(Session &, const Arguments &);

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    unsigned options;
    int minimumArguments; // positional, SOLUTION included
    int maximumArguments; // -1: any number
    bool needsSolution;
    Runner run;
};

void runTree(Session &, const Arguments &);
void runConfigurations(Session &, const Arguments &);
void runProperties(Session &, const Arguments &);
void runShow(Session &, const Arguments &);
void runMacros(Session &, const Arguments &);
void runExpand(Session &, const Arguments &);
void runSet(Session &, const Arguments &);
void runRename(Session &, const Arguments &);
void runSave(Session &, const Arguments &);

// The one table behind dispatch, option checks and help.
const Command kCommands[] = {
    {"tree", "tree SOLUTION",
     "  Prints the solution's nodes, one a line: indentation, kind, name (a file's\n"
     "  file_name as written) and #INDEX, which --node accepts.\n",
     kLoad, 1, 1, true, runTree},
    {"configurations", "configurations SOLUTION [--public|--private|--all]",
     "  Prints the configurations offered for building (--public, the default), those\n"
     "  that exist only to be inherited (--private), or both with \"Common\" (--all).\n",
     kMask | kLoad, 1, 1, true, runConfigurations},
    {"properties", "properties [--name GLOB]",
     "  Prints the property definitions whose names match GLOB, one a line:\n"
     "  NAME, TYPE, PAGE/GROUP and DEFAULT separated by tabs.\n",
     kName, 0, 0, false, runProperties},
    {"show", "show SOLUTION --config C [--node PATH] [--trace] [--value] NAME...|--all",
     "  Prints \"NAME = RAW\" for each property as resolved for the node (default: the\n"
     "  solution) and configuration C, then \"  expanded: TEXT\" when expanding its macros\n"
     "  changes it. --trace adds one line per value that contributed, in the order\n"
     "  of the result:\n"
     "      from: KIND \"NAME\" [CONFIG] = \"VALUE\"\n"
     "  where CONFIG is the configuration the value was found in (none for a node's\n"
     "  own name or file name), or \"  from: default\".\n"
     "  --value prints only the expanded value of each NAME and a newline.\n",
     kConfig | kNode | kTrace | kValue | kAll | kLoad, 1, -1, true, runShow},
    {"macros", "macros SOLUTION --config C [--node PATH]",
     "  Prints the node macros of the node and configuration, NAME=VALUE in name order.\n",
     kConfig | kNode | kLoad, 1, 1, true, runMacros},
    {"expand", "expand SOLUTION --config C [--node PATH] TEXT",
     "  Prints TEXT with the node macros, the global and the system macros expanded.\n",
     kConfig | kNode | kLoad, 2, 2, true, runExpand},
    {"set", "set SOLUTION --config C [--node PATH] NAME=VALUE... [--unset NAME] [-o OUT]",
     "  Stores each value on the node for configuration C (a node's name and other\n"
     "  identity attributes on the node itself); --unset removes the node's own value so\n"
     "  that it inherits again. Writes OUT, or the solution and changed imports in place.\n",
     kConfig | kNode | kUnset | kOutput | kLoad, 1, -1, true, runSet},
    {"rename-configuration", "rename-configuration SOLUTION OLD NEW [-o OUT]",
     "  Renames configuration OLD throughout the solution, inherited lists included.\n"
     "  Refused, with nothing written, when NEW exists, is empty, holds \";\" or either\n"
     "  name is \"Common\".\n",
     kOutput | kLoad, 3, 3, true, runRename},
    {"save", "save SOLUTION [-o OUT]",
     "  Loads the solution and writes it back (to OUT when given).\n", kOutput | kLoad, 1, 1, true,
     runSave},
};

constexpr char kCommonOptions[] =
    "\nnode and solution options:\n"
    "  --node PATH            names joined by \"/\" from the solution (App/Source Files/main.c)\n"
    "                         or #INDEX as printed by tree\n"
    "  --global-macros LIST   global macros, \"A=1;B=2\"\n"
    "  --allow-load-command   run the solution's load_command while loading\n"
    "  --                     ends the options\n";

void printUsage(std::FILE *out) {
    std::fprintf(out, "usage: qzproject COMMAND [ARGUMENTS...]\n\n"
                      "Resolves, expands and edits the properties of a solution file.\n\n"
                      "commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  qzproject %s\n", command.synopsis);
    std::fprintf(out, "%s", kCommonOptions);
    std::fprintf(out, "\n'qzproject COMMAND --help' describes a command. Warnings go to standard\n"
                      "error. Errors are printed as \"error: MESSAGE\" and exit with status 1.\n");
}

void print(const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void warn(const std::string &message) {
    std::fprintf(stderr, "warning: %s\n", message.c_str());
}

// Everything one run works with: the definitions, the macros and the open solution.
class Session {
public:
    explicit Session(const Arguments &arguments)
        : m_system(m_expander), m_setter(m_registry),
          m_nodeMacros(m_registry, m_expander, &m_system) {
        registerSystemMacros(m_expander);
        m_expander.setGlobalMacrosFromList(arguments.globalMacros);
        registerBuiltinProperties(m_registry, &m_expander);
        SolutionLoadOptions options;
        options.allowLoadCommand = arguments.allowLoadCommand;
        m_system.setLoadOptions(options);
        m_system.setWarningHandler(warn);
    }

    void load(const std::string &path) {
        if (path.empty())
            throw Failure{"no solution file given"};
        try {
            m_root = m_system.loadSolution(path);
        } catch (const SolutionLoadError &error) {
            throw Failure{error.what()};
        }
    }

    ProjectElement &root() { return *m_root; }
    ProjectElement &node(const Arguments &arguments) {
        ProjectElement *found = NodePath::find(*m_root, arguments.node);
        if (!found)
            throw Failure{"no node \"" + arguments.node + "\" in " + m_root->cachedPath()};
        return *found;
    }
    // The configuration asked for; a name no node defines resolves to defaults and "Common"
    // values only, which is worth a warning.
    const std::string &configuration(const Arguments &arguments) {
        if (arguments.config.empty())
            throw Failure{"no configuration given (--config)"};
        if (arguments.config != PropertyResolver::kCommon) {
            bool defined = false;
            for (XMLNode *at = m_root; at && !defined; at = at->nextInTree(m_root))
                if (const ProjectElement *element = ProjectElement::from(at))
                    defined = element->configuration(arguments.config) != nullptr;
            if (!defined)
                warn("configuration \"" + arguments.config + "\" is not defined in " +
                     m_root->cachedPath());
        }
        return arguments.config;
    }

    // The definition of a name; a name without one reads as a text without a default.
    const PropertyClass &definition(const ProjectElement &node, const std::string &name) {
        if (const PropertyClass *found = m_registry.findPropertyClass(&node, name))
            return *found;
        for (const auto &made : m_undefined)
            if (made->name() == name)
                return *made;
        warn("no definition of property \"" + name + "\"; read as a String without a default");
        m_undefined.push_back(std::make_unique<PropertyClass>(name, PropertyType::String));
        return *m_undefined.back();
    }

    void write(const Arguments &arguments) {
        const bool ok = arguments.output.empty()
                            ? m_system.saveAll()
                            : m_system.saveSolution(*m_root, arguments.output, false);
        if (!ok)
            throw Failure{m_system.lastError()};
    }

    MacroExpander m_expander;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
    PropertySetter m_setter;
    NodeMacros m_nodeMacros;

private:
    ProjectElement *m_root = nullptr;
    std::vector<std::unique_ptr<PropertyClass>> m_undefined;
};

int depthBelow(const XMLNode *node, const XMLNode *root) {
    int depth = 0;
    for (; node && node != root; node = node->parent())
        ++depth;
    return depth;
}

void runTree(Session &session, const Arguments &) {
    int index = 0;
    for (const ProjectElement *node : NodePath::listing(session.root()))
        print(std::string(std::size_t(depthBelow(node, &session.root())) * 2, ' ') +
              ProjectElement::tagOfKind(node->kind()) + " " + NodePath::name(*node) + " #" +
              std::to_string(index++) + "\n");
}

void runConfigurations(Session &session, const Arguments &arguments) {
    for (const std::string &name : Configurations::list(session.root(), arguments.mask))
        print(name + "\n");
}

void runProperties(Session &session, const Arguments &arguments) {
    std::vector<const PropertyClass *> definitions;
    for (const auto &definition : session.m_registry.definitions())
        if (::fnmatch(arguments.nameGlob.c_str(), definition->name().c_str(), 0) == 0)
            definitions.push_back(definition.get());
    std::stable_sort(
        definitions.begin(), definitions.end(),
        [](const PropertyClass *a, const PropertyClass *b) { return a->name() < b->name(); });
    for (const PropertyClass *definition : definitions) {
        std::string group = definition->page() + "/" + definition->group();
        if (!definition->projectType().empty())
            group += " (" + definition->projectType() + " projects)";
        print(definition->name() + "\t" + definition->typeName() + "\t" + group + "\t" +
              definition->defaultValue() + "\n");
    }
}

std::string quoted(const std::string &text) {
    return "\"" + text + "\"";
}

void runShow(Session &session, const Arguments &arguments) {
    ProjectElement &node = session.node(arguments);
    const std::string &configuration = session.configuration(arguments);
    std::vector<std::string> names(arguments.positional.begin() + 1, arguments.positional.end());
    if (arguments.all == !names.empty())
        throw Failure{"show takes property names or --all"};
    if (arguments.all) {
        std::set<std::string> all;
        for (const auto &definition : session.m_registry.definitions())
            if (!dynamic_cast<const MacroPropertyClass *>(definition.get()))
                all.insert(definition->name());
        names.assign(all.begin(), all.end());
    }
    for (const std::string &name : names) {
        const PropertyClass &definition = session.definition(node, name);
        ResolutionTrace trace;
        const std::string raw = PropertyResolver::resolve(node, definition, configuration,
                                                          arguments.trace ? &trace : nullptr);
        const std::string expanded = NodeMacros::takesGlobalExpansionOnly(definition)
                                         ? session.m_expander.globalExpand(raw)
                                         : session.m_nodeMacros.expand(node, configuration, raw);
        if (arguments.value) {
            print(expanded + "\n");
            continue;
        }
        print(name + " = " + raw + "\n");
        if (expanded != raw)
            print("  expanded: " + expanded + "\n");
        // In the order of the result: a list's outermost value comes first.
        if (definition.type() == PropertyType::StringList)
            std::reverse(trace.begin(), trace.end());
        for (const ResolutionRecord &record : trace) {
            if (!record.node) {
                print("  from: default\n");
                continue;
            }
            std::string line = std::string("  from: ") +
                               ProjectElement::tagOfKind(record.node->kind()) + " " +
                               quoted(record.node->displayName());
            if (!record.configuration.empty())
                line += " [" + record.configuration + "]";
            print(line + " = " + quoted(record.value) + "\n");
        }
    }
}

void runMacros(Session &session, const Arguments &arguments) {
    ProjectElement &node = session.node(arguments);
    const std::string &configuration = session.configuration(arguments);
    for (const auto &[name, value] : session.m_nodeMacros.build(node, configuration))
        print(name + "=" + value + "\n");
}

void runExpand(Session &session, const Arguments &arguments) {
    ProjectElement &node = session.node(arguments);
    const std::string &configuration = session.configuration(arguments);
    print(session.m_nodeMacros.expand(node, configuration, arguments.positional[1]) + "\n");
}

void runSet(Session &session, const Arguments &arguments) {
    ProjectElement &node = session.node(arguments);
    const std::string &configuration = session.configuration(arguments);
    if (arguments.positional.size() < 2 && arguments.unset.empty())
        throw Failure{"set takes NAME=VALUE or --unset NAME"};
    if (!node.isEditable())
        throw Failure{"solution " + node.solution()->cachedPath() + " cannot be modified"};
    std::vector<std::pair<std::string, std::string>> values;
    for (auto item = arguments.positional.begin() + 1; item != arguments.positional.end(); ++item) {
        const std::size_t equals = item->find('=');
        if (equals == std::string::npos || equals == 0)
            throw Failure{"expected NAME=VALUE, not \"" + *item + "\""};
        values.emplace_back(item->substr(0, equals), item->substr(equals + 1));
    }
    try {
        for (const auto &[name, text] : values) {
            if ((name == "Name" || name == "file_name") && text.empty())
                throw Failure{"a node's " + name + " cannot be empty"};
            ProjectPropertyValue::create(&session.definition(node, name), session.m_setter, node,
                                         configuration)
                ->setValue(text);
        }
        for (const std::string &name : arguments.unset) {
            if (PropertyResolver::isIdentityAttribute(node, name)) {
                if (name == "Name" || name == "file_name")
                    throw Failure{"a node's " + name + " cannot be removed"};
                node.removeAttribute(name);
            } else if (ProjectElement *child = node.configuration(configuration)) {
                child->removeAttribute(name);
            }
            node.setModified(true);
        }
    } catch (const HException &error) {
        throw Failure{error.what()};
    }
    session.write(arguments);
}

void runRename(Session &session, const Arguments &arguments) {
    if (auto refusal = Configurations::rename(session.root(), arguments.positional[1],
                                              arguments.positional[2]))
        throw Failure{*refusal};
    session.write(arguments);
}

void runSave(Session &session, const Arguments &arguments) {
    session.write(arguments);
}

bool isHelp(const std::string &argument) {
    return argument == "--help" || argument == "-h";
}

// Reads the options the command accepts; anything else starting with "-" is an error.
Arguments parse(const Command &command, int argc, char **argv) {
    Arguments arguments;
    bool optionsEnded = false;
    int masks = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-") {
            arguments.positional.push_back(argument);
            continue;
        }
        auto takes = [&](unsigned option) {
            if (!(command.options & option))
                throw Failure{"option " + argument + " does not apply to " + command.name};
        };
        auto operand = [&]() -> std::string {
            if (i + 1 >= argc)
                throw Failure{"option " + argument + " needs a value"};
            return argv[++i];
        };
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--config") {
            takes(kConfig);
            arguments.config = operand();
        } else if (argument == "--node") {
            takes(kNode);
            arguments.node = operand();
        } else if (argument == "--trace") {
            takes(kTrace);
            arguments.trace = true;
        } else if (argument == "--value") {
            takes(kValue);
            arguments.value = true;
        } else if (argument == "--all" && (command.options & kMask)) {
            arguments.mask = Configurations::All;
            ++masks;
        } else if (argument == "--all") {
            takes(kAll);
            arguments.all = true;
        } else if (argument == "--public" || argument == "--private") {
            takes(kMask);
            arguments.mask =
                argument == "--public" ? Configurations::Public : Configurations::Private;
            ++masks;
        } else if (argument == "--name") {
            takes(kName);
            arguments.nameGlob = operand();
        } else if (argument == "--unset") {
            takes(kUnset);
            arguments.unset.push_back(operand());
        } else if (argument == "-o" || argument == "--output") {
            takes(kOutput);
            arguments.output = operand();
            if (arguments.output.empty())
                throw Failure{"option " + argument + " needs a file name"};
        } else if (argument == "--global-macros") {
            takes(kLoad);
            arguments.globalMacros = operand();
        } else if (argument == "--allow-load-command") {
            takes(kLoad);
            arguments.allowLoadCommand = true;
        } else {
            throw Failure{"unknown option " + argument + "; 'qzproject " + command.name +
                          " --help' lists the options"};
        }
    }
    if (masks > 1)
        throw Failure{"--public, --private and --all exclude each other"};
    if (arguments.trace && arguments.value)
        throw Failure{"--trace and --value exclude each other"};
    const int count = int(arguments.positional.size());
    if (count < command.minimumArguments ||
        (command.maximumArguments >= 0 && count > command.maximumArguments))
        throw Failure{std::string("wrong number of arguments; usage: qzproject ") +
                      command.synopsis};
    return arguments;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    if (isHelp(argv[1]) || std::strcmp(argv[1], "help") == 0) {
        printUsage(stdout);
        return 0;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands)
        if (std::strcmp(argv[1], candidate.name) == 0)
            command = &candidate;
    if (!command) {
        std::fprintf(stderr, "error: unknown command '%s'; 'qzproject --help' lists the commands\n",
                     argv[1]);
        return 1;
    }
    for (int i = 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (isHelp(argv[i])) {
            std::printf("usage: qzproject %s\n\n%s", command->synopsis, command->description);
            if (command->options & kLoad)
                std::printf("%s", kCommonOptions);
            return 0;
        }
    }
    try {
        const Arguments arguments = parse(*command, argc, argv);
        Session session(arguments);
        if (command->needsSolution)
            session.load(arguments.positional[0]);
        command->run(session, arguments);
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            throw Failure{"couldn't write the output"};
        return 0;
    } catch (const Failure &failure) {
        std::fprintf(stderr, "error: %s\n", failure.message.c_str());
    }
    return 1;
}
