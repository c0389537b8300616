#include "buildcommand.h"

#include "build/buildengine.h"
#include "build/compilecommandswriter.h"
#include "build/compileplanner.h"
#include "build/consolebuilder.h"
#include "build/externalbuilderprotocol.h"
#include "build/gnuprojectsystem.h"
#include "build/makefilewriter.h"
#include "build/nullbuilder.h"
#include "build/stageplanner.h"
#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/configurations.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"
#include "project/propertysetter.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"
#include "project/systemmacros.h"
#include "xml/xmlpp.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include <cerrno>
#include <cstring>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct BuildArguments {
    std::string solution;
    std::string configuration;
    std::string project;
    MacroMap globalMacros;
    BuildRequest::Kind kind = BuildRequest::Kind::Build;
    std::string modeOption; // the option that chose `kind`, to refuse a second one
    std::string file;       // -file
    int threads = 0;
    bool keepGoing = false;
    bool echo = false;
    bool allowLoadCommand = false;
    bool exportCompileCommands = false;
    std::string compileCommandsFile; // empty: beside the solution
    std::string makefile;            // -export-makefile
};

// The options that choose what the build does; at most one is given.
struct KindOption {
    const char *name;
    BuildRequest::Kind kind;
};
constexpr KindOption kKindOptions[] = {
    {"-buildonly", BuildRequest::Kind::BuildOnly}, {"-rebuild", BuildRequest::Kind::Rebuild},
    {"-clean", BuildRequest::Kind::Clean},         {"-batch", BuildRequest::Kind::Batch},
    {"-file", BuildRequest::Kind::CompileFile},    {"-uptodate", BuildRequest::Kind::IsUpToDate},
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
        // An empty value is none: "-project ''" must not build every project.
        auto operand = [&]() -> const std::string & {
            if (at + 1 >= words.size() || words[at + 1].empty())
                throw Failure(word + " needs a value");
            return words[++at];
        };
        const KindOption *kind =
            std::find_if(std::begin(kKindOptions), std::end(kKindOptions),
                         [&](const KindOption &option) { return word == option.name; });
        if (kind != std::end(kKindOptions)) {
            if (!arguments.modeOption.empty() && arguments.modeOption != word)
                throw Failure(arguments.modeOption + " and " + word + " cannot be combined");
            arguments.modeOption = word;
            arguments.kind = kind->kind;
            if (kind->kind == BuildRequest::Kind::CompileFile)
                arguments.file = operand();
        } else if (word == "-j") {
            const std::string &count = operand();
            bool ok = false;
            const int threads = QString::fromStdString(count).toInt(&ok);
            if (!ok || threads < 0 || threads > 128)
                throw Failure("-j needs a number from 0 to 128, not \"" + count + "\"");
            arguments.threads = threads;
        } else if (word == "-k") {
            arguments.keepGoing = true;
        } else if (word == "-echo") {
            arguments.echo = true;
        } else if (word == "-allow-load-command") {
            arguments.allowLoadCommand = true;
        } else if (word == "-export-makefile") {
            arguments.makefile = operand();
        } else if (word == "-config") {
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
                arguments.compileCommandsFile = operand();
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
    if (arguments.exportCompileCommands && !arguments.makefile.empty())
        throw Failure("-export-compile-commands and -export-makefile cannot be combined");
    return arguments;
}

const ProjectElement &findProject(ProjectElement &root, const std::string &name,
                                  const std::string &solution) {
    for (const ProjectElement *node : NodePath::listing(root))
        if (node->kind() == PropertyNode::Kind::Project && node->displayName() == name)
            return *node;
    throw Failure("no project " + name + " in " + solution);
}

// Interrupts and terminations cancel the build from a thread of their own, so that the
// running tools are killed with their process groups and the build ends in order.
class InterruptWatch {
public:
    // `onInterrupt` runs on the watching thread.
    explicit InterruptWatch(std::function<void()> onInterrupt) {
        sigset_t watchedSet = watched();
        pthread_sigmask(SIG_BLOCK, &watchedSet, nullptr);
        m_thread = std::thread([this, onInterrupt = std::move(onInterrupt), watchedSet] {
            int received = 0;
            while (sigwait(&watchedSet, &received) == 0 && received != SIGUSR1) {
                m_interrupted = true;
                onInterrupt();
            }
        });
    }
    ~InterruptWatch() {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
    }
    bool interrupted() const { return m_interrupted; }

private:
    static sigset_t watched() {
        sigset_t watchedSet;
        sigemptyset(&watchedSet);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
            sigaddset(&watchedSet, signal);
        return watchedSet;
    }

    std::thread m_thread;
    std::atomic<bool> m_interrupted = false;
};

// An export written over the solution's own files or over a source of it would destroy them.
void refuseSourceOutput(const QString &output, const ProjectElement &root,
                        const BuildArguments &arguments, const NodeMacros &macros) {
    QSet<QString> sources = StagePlanner::solutionSources(root, macros, arguments.configuration);
    std::vector<std::pair<const ProjectElement *, std::string>> pending{
        {&root, arguments.solution}};
    while (!pending.empty()) {
        const auto [solution, file] = pending.back();
        pending.pop_back();
        const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
        sources.insert(QDir::cleanPath(path));
        if (const QString real = QFileInfo(path).canonicalFilePath(); !real.isEmpty())
            sources.insert(real);
        for (const XMLNode *child = solution->firstChild(); child; child = child->nextSibling())
            if (const ProjectElement *element = ProjectElement::from(child);
                element && element->isImported())
                pending.emplace_back(
                    element, XmlPP::resolvePath(file, macros.expander().globalExpand(
                                                          element->attributeOr("file_name"))));
    }
    if (StagePlanner::isSource(sources, output))
        throw Failure("Output file " + QDir::cleanPath(output).toStdString() +
                      " is a source file of the project");
}

int exportCompileCommands(const BuildArguments &arguments, const ProjectElement &root,
                          const ProjectElement &scope, const PropertyRegistry &registry,
                          const NodeMacros &macros) {
    CompilePlanner planner(registry, macros);
    // Editors want an entry for every source, also for those a unity file compiles.
    planner.setUnityBuildDisabled(true);
    const std::vector<StepPlan> plans = planner.plans(scope, arguments.configuration);

    const QString solutionPath =
        QFileInfo(QString::fromStdString(arguments.solution)).absoluteFilePath();
    const QString output = arguments.compileCommandsFile.empty()
                               ? QFileInfo(solutionPath)
                                     .absoluteDir()
                                     .filePath(QStringLiteral("compile_commands.json"))
                               : QDir::current().absoluteFilePath(
                                     QString::fromStdString(arguments.compileCommandsFile));
    refuseSourceOutput(output, root, arguments, macros);
    const bool written = CompileCommandsWriter::write(output, plans);
    std::printf("%s %s (%zu %s)\n", written ? "Wrote" : "Unchanged",
                QDir::toNativeSeparators(output).toLocal8Bit().constData(), plans.size(),
                plans.size() == 1 ? "entry" : "entries");
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int run(const BuildArguments &arguments, const char *argv0) {
    MacroExpander expander;
    registerSystemMacros(expander, argv0 ? argv0 : "");
    expander.setGlobalMacros(arguments.globalMacros);
    PropertyRegistry registry;
    registerBuiltinProperties(registry, &expander);
    GnuProjectSystem system(expander);
    SolutionLoadOptions options;
    options.allowLoadCommand = arguments.allowLoadCommand;
    system.setLoadOptions(options);
    system.setWarningHandler(
        [](const std::string &message) { std::fprintf(stderr, "warning: %s\n", message.c_str()); });

    ProjectElement *root = nullptr;
    try {
        root = system.loadSolution(arguments.solution);
    } catch (const SolutionLoadError &error) {
        throw Failure(error.what());
    }
    const ProjectElement &scope = arguments.project.empty()
                                      ? *root
                                      : findProject(*root, arguments.project, arguments.solution);
    // A project in an imported solution also has the configurations defined there.
    const std::vector<std::string> configurations =
        Configurations::list(*scope.solution(), Configurations::All);
    if (std::find(configurations.begin(), configurations.end(), arguments.configuration) ==
        configurations.end())
        throw Failure("configuration " + arguments.configuration + " is not defined in " +
                      arguments.solution);
    NodeMacros macros(registry, expander, &system);
    if (arguments.exportCompileCommands)
        return exportCompileCommands(arguments, *root, scope, registry, macros);

    BuildRequest request;
    request.kind = arguments.kind;
    request.project = QString::fromStdString(arguments.project);
    request.configuration = QString::fromStdString(arguments.configuration);
    request.file = QString::fromStdString(arguments.file);
    request.threads = arguments.threads;
    request.keepGoing = arguments.keepGoing;
    request.showCommandLines = arguments.echo;
    BuildEngine engine(*root, registry, macros);
    ConsoleBuilder console(stdout);

    if (!arguments.makefile.empty()) {
        if (request.kind == BuildRequest::Kind::IsUpToDate ||
            request.kind == BuildRequest::Kind::Clean)
            throw Failure("-export-makefile needs a build, not " + arguments.modeOption);
        const QString path =
            QDir::current().absoluteFilePath(QString::fromStdString(arguments.makefile));
        refuseSourceOutput(path, *root, arguments, macros);
        const std::vector<StepPlan> steps = engine.exportSteps(request, console);
        if (steps.empty())
            throw Failure("nothing to export");
        MakefileWriter::write(path, steps, QFileInfo(path).absolutePath());
        std::printf("Wrote %s (%zu %s)\n", path.toLocal8Bit().constData(), steps.size(),
                    steps.size() == 1 ? "step" : "steps");
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    BuildResult result;
    bool interrupted;
    {
        InterruptWatch watch([&engine] { engine.cancel(); });
        if (request.kind == BuildRequest::Kind::IsUpToDate) {
            NullBuilder quiet;
            result = engine.run(request, quiet);
        } else {
            result = engine.run(request, console);
        }
        interrupted = watch.interrupted();
    }
    if (interrupted)
        return 130;
    if (request.kind == BuildRequest::Kind::IsUpToDate) {
        if (result == BuildFailed || result == BuildCancelled)
            throw Failure("cannot tell whether the project is up to date");
        std::puts(result == BuildNothing ? "Project up to date" : "Project out of date");
        std::fflush(stdout);
        return result == BuildNothing ? 0 : 1;
    }
    if (!console.ok())
        return 1;
    return result == BuildFailed || result == BuildCancelled ? 1 : 0;
}

// The solution as a server keeps it: loaded again on "reload", edited by "modified".
struct ServerSession {
    explicit ServerSession(const BuildArguments &arguments, const char *argv0)
        : system(expander), macros(registry, expander, &system), setter(registry) {
        registerSystemMacros(expander, argv0 ? argv0 : "");
        expander.setGlobalMacros(arguments.globalMacros);
        registerBuiltinProperties(registry, &expander);
        SolutionLoadOptions options;
        options.allowLoadCommand = arguments.allowLoadCommand;
        system.setLoadOptions(options);
        system.setWarningHandler([](const std::string &message) {
            std::fprintf(stderr, "warning: %s\n", message.c_str());
        });
    }

    void load(const std::string &solution) {
        // Read again from disk: the tree in memory goes first, also when the file is now bad.
        system.closeSolution();
        try {
            system.loadSolution(solution);
        } catch (const SolutionLoadError &error) {
            throw Failure(error.what());
        }
    }

    MacroExpander expander;
    PropertyRegistry registry;
    GnuProjectSystem system;
    NodeMacros macros;
    PropertySetter setter;
};

ProjectElement &serverNode(ProjectElement &root, int number) {
    ProjectElement *node = NodePath::find(root, "#" + std::to_string(number));
    if (!node)
        throw Failure("no node #" + std::to_string(number));
    return *node;
}

void serve(ServerSession &session, const std::string &solution,
           const ExternalBuilderCommand &command, BuildEngine *&running, std::mutex &mutex) {
    using C = ExternalBuilderCommand;
    if (command.kind == C::Reload) {
        session.load(solution);
        return;
    }
    if (!session.system.solution())
        throw Failure("no solution loaded");
    ProjectElement &root = *session.system.solution();
    ProjectElement &node = serverNode(root, command.node);
    if (command.kind == C::Modified) {
        const std::string name = command.text.toStdString();
        const PropertyClass *definition = session.registry.findPropertyClass(&node, name);
        if (!definition)
            throw Failure("no property " + name + " on node #" + std::to_string(command.node));
        session.setter.set(node, *definition, PropertyResolver::kCommon,
                           command.value.toStdString());
        return;
    }
    BuildRequest request;
    request.kind = command.kind == C::BuildOnly    ? BuildRequest::Kind::BuildOnly
                   : command.kind == C::BatchBuild ? BuildRequest::Kind::Batch
                                                   : BuildRequest::Kind::Build;
    if (const ProjectElement *project = node.nearest(PropertyNode::Kind::Project))
        request.project = QString::fromStdString(project->displayName());
    request.configuration = command.text;
    request.threads = command.number;
    BuildEngine engine(root, session.registry, session.macros);
    ConsoleBuilder console(stdout);
    {
        std::lock_guard lock(mutex);
        running = &engine;
    }
    engine.run(request, console);
    std::lock_guard lock(mutex);
    running = nullptr;
}

// qzbuild -server SOLUTION: requests of the external builder protocol on standard input, the
// build output on standard output, each request ending with its final status line. A bad
// line is reported and skipped; the server ends with its input.
int runServer(const std::vector<std::string> &words, const char *argv0) {
    BuildArguments arguments;
    for (std::size_t at = 0; at < words.size(); ++at) {
        const std::string &word = words[at];
        if (word == "-D" && at + 1 < words.size())
            addGlobalMacro(arguments.globalMacros, words[++at]);
        else if (word.rfind("-D", 0) == 0 && word.size() > 2)
            addGlobalMacro(arguments.globalMacros, word.substr(2));
        else if (word == "-allow-load-command")
            arguments.allowLoadCommand = true;
        else if (word.rfind('-', 0) == 0)
            throw Failure("unknown option " + word);
        else if (arguments.solution.empty())
            arguments.solution = word;
        else
            throw Failure("more than one solution given: " + arguments.solution + " and " + word);
    }
    if (arguments.solution.empty())
        throw Failure("-server needs a solution file");
    ServerSession session(arguments, argv0);
    session.load(arguments.solution);

    BuildEngine *running = nullptr;
    std::mutex mutex;
    InterruptWatch watch([&] {
        std::lock_guard lock(mutex);
        if (running)
            running->cancel();
        else
            std::_Exit(130); // idle, waiting for a request: nothing to end in order
    });
    ExternalBuilderReader reader([&](const ExternalBuilderCommand &command) {
        // A request always ends with a final status line: the other side waits for it.
        const bool isRequest = command.kind != ExternalBuilderCommand::Reload &&
                               command.kind != ExternalBuilderCommand::Modified;
        // A name from the request may hold line breaks: escaped, it cannot pose as a line
        // of the reply (a final status line above all).
        auto fail = [isRequest](const char *message) {
            std::printf("error: %s\n",
                        ExternalBuilderProtocol::escape(QString::fromUtf8(message)).constData());
            if (isRequest)
                std::puts(finalStatusText(BuildFailed).toLocal8Bit().constData());
        };
        try {
            serve(session, arguments.solution, command, running, mutex);
        } catch (const Failure &failure) {
            fail(failure.what());
        } catch (const HException &error) {
            fail(error.what());
        }
        std::fflush(stdout);
    });
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(0, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        // One line at a time, so that a bad line costs only itself.
        for (const char *at = buffer, *end = buffer + got; at < end;) {
            const char *newline = static_cast<const char *>(std::memchr(at, '\n', end - at));
            const char *next = newline ? newline + 1 : end;
            try {
                reader.feed(QByteArrayView(at, next - at));
            } catch (const HException &error) {
                std::fprintf(stdout, "error: %s\n", error.what());
                std::fflush(stdout);
            }
            at = next;
        }
        if (watch.interrupted())
            return 130;
    }
    try {
        reader.finish();
    } catch (const HException &error) {
        std::fprintf(stdout, "error: %s\n", error.what());
    }
    std::fflush(stdout);
    return watch.interrupted() ? 130 : 0;
}

} // namespace

bool isBuildOption(const std::string &word) {
    for (const KindOption &option : kKindOptions)
        if (word == option.name)
            return true;
    for (const char *option :
         {"-server", "-config", "-project", "-j", "-k", "-echo", "-allow-load-command",
          "-export-makefile", "-export-compile-commands"})
        if (word == option)
            return true;
    return word.rfind("-D", 0) == 0;
}

int runBuildCommand(const std::vector<std::string> &words, const char *argv0) {
    try {
        if (!words.empty() && words.front() == "-server")
            return runServer({words.begin() + 1, words.end()}, argv0);
        return run(parse(words), argv0);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "error: %s\n", failure.what());
    } catch (const HException &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    }
    return 1;
}
