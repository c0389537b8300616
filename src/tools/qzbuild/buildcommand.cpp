#include "buildcommand.h"

#include "build/compilecommandswriter.h"
#include "build/compileplanner.h"
#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/configurations.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"
#include "project/systemmacros.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct BuildArguments {
    std::string solution;
    std::string configuration;
    std::string project;
    MacroMap globalMacros;
    bool exportCompileCommands = false;
    std::string compileCommandsFile; // empty: beside the solution
};

bool isSolutionName(const std::string &word) {
    const std::string extension = StandardProjectSystem::kExtension;
    return word.size() > extension.size() &&
           word.compare(word.size() - extension.size(), extension.size(), extension) == 0;
}

void addGlobalMacro(MacroMap &macros, const std::string &definition) {
    const std::size_t equals = definition.find('=');
    const std::string name = definition.substr(0, equals);
    if (name.empty())
        throw Failure("-D needs NAME=VALUE, not \"" + definition + "\"");
    macros.set(name, equals == std::string::npos ? std::string() : definition.substr(equals + 1));
}

BuildArguments parse(const std::vector<std::string> &words) {
    BuildArguments arguments;
    for (std::size_t at = 0; at < words.size(); ++at) {
        const std::string &word = words[at];
        auto operand = [&]() -> const std::string & {
            if (at + 1 >= words.size())
                throw Failure(word + " needs a value");
            return words[++at];
        };
        if (word == "-config") {
            arguments.configuration = operand();
        } else if (word == "-project") {
            arguments.project = operand();
        } else if (word == "-D") {
            addGlobalMacro(arguments.globalMacros, operand());
        } else if (word.rfind("-D", 0) == 0) {
            addGlobalMacro(arguments.globalMacros, word.substr(2));
        } else if (word == "-export-compile-commands") {
            arguments.exportCompileCommands = true;
            // The file is optional: the next word is it unless it is an option or the
            // solution.
            if (at + 1 < words.size() && words[at + 1].rfind('-', 0) != 0 &&
                !isSolutionName(words[at + 1]))
                arguments.compileCommandsFile = words[++at];
        } else if (word.rfind('-', 0) == 0) {
            throw Failure("unknown option " + word);
        } else if (arguments.solution.empty()) {
            arguments.solution = word;
        } else {
            throw Failure("more than one solution given: " + arguments.solution + " and " + word);
        }
    }
    if (arguments.solution.empty())
        throw Failure("no solution file given");
    if (arguments.configuration.empty())
        throw Failure("no configuration given (-config NAME)");
    if (!arguments.exportCompileCommands)
        throw Failure("only -export-compile-commands is available; building is not yet");
    return arguments;
}

const ProjectElement &findProject(ProjectElement &root, const std::string &name,
                                  const std::string &solution) {
    for (const ProjectElement *node : NodePath::listing(root))
        if (node->kind() == PropertyNode::Kind::Project && node->displayName() == name)
            return *node;
    throw Failure("no project " + name + " in " + solution);
}

int run(const BuildArguments &arguments, const char *argv0) {
    MacroExpander expander;
    registerSystemMacros(expander, argv0 ? argv0 : "");
    expander.setGlobalMacros(arguments.globalMacros);
    PropertyRegistry registry;
    registerBuiltinProperties(registry, &expander);
    StandardProjectSystem system(expander);
    system.setWarningHandler(
        [](const std::string &message) { std::fprintf(stderr, "warning: %s\n", message.c_str()); });

    ProjectElement *root = nullptr;
    try {
        root = system.loadSolution(arguments.solution);
    } catch (const SolutionLoadError &error) {
        throw Failure(error.what());
    }
    const std::vector<std::string> configurations =
        Configurations::list(*root, Configurations::All);
    if (std::find(configurations.begin(), configurations.end(), arguments.configuration) ==
        configurations.end())
        throw Failure("configuration " + arguments.configuration + " is not defined in " +
                      arguments.solution);
    const ProjectElement &scope = arguments.project.empty()
                                      ? *root
                                      : findProject(*root, arguments.project, arguments.solution);

    NodeMacros macros(registry, expander, &system);
    const CompilePlanner planner(registry, macros);
    const std::vector<StepPlan> plans = planner.plans(scope, arguments.configuration);

    const QString solutionPath =
        QFileInfo(QString::fromStdString(arguments.solution)).absoluteFilePath();
    const QString output = arguments.compileCommandsFile.empty()
                               ? QFileInfo(solutionPath)
                                     .absoluteDir()
                                     .filePath(QStringLiteral("compile_commands.json"))
                               : QDir::current().absoluteFilePath(
                                     QString::fromStdString(arguments.compileCommandsFile));
    const bool written = CompileCommandsWriter::write(output, plans);
    std::printf("%s %s (%zu %s)\n", written ? "Wrote" : "Unchanged",
                QDir::toNativeSeparators(output).toLocal8Bit().constData(), plans.size(),
                plans.size() == 1 ? "entry" : "entries");
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

bool isBuildOption(const std::string &word) {
    return word == "-config" || word == "-project" || word.rfind("-D", 0) == 0 ||
           word == "-export-compile-commands";
}

int runBuildCommand(const std::vector<std::string> &words, const char *argv0) {
    try {
        return run(parse(words), argv0);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "error: %s\n", failure.what());
    } catch (const HException &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    }
    return 1;
}
