#include "build/buildengine.h"

#include "build/builder.h"
#include "build/buildtree.h"
#include "build/commandexpansion.h"
#include "build/compileplanner.h"
#include "build/dependencycache.h"
#include "build/filetime.h"
#include "build/jobqueue.h"
#include "build/linkplanner.h"
#include "build/nodevalues.h"
#include "build/producedfiles.h"
#include "build/projectorder.h"
#include "build/stageplanner.h"
#include "build/uptodatecheck.h"
#include "core/namevaluelist.h"
#include "project/configurations.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

using Kind = PropertyNode::Kind;

namespace {

// A worker's events, held until its step has ended and then handed to the build's sink in
// one piece under the build's lock: concurrent steps never interleave in the log, and the
// sink is called by one thread at a time.
class StepRecorder : public Builder {
public:
    StepRecorder(Builder &target, std::mutex &mutex) : m_target(target), m_mutex(mutex) {}

    // Counted before it is recorded: a header handed on at once would let another step's
    // events follow it, and the log would close the wrong group.
    void beginGroup(const QString &text) override {
        ++m_depth;
        record([text](Builder &b) { b.beginGroup(text); });
    }
    void endGroup(const QString &badge) override {
        --m_depth;
        record([badge](Builder &b) { b.endGroup(badge); });
    }
    void commandLine(const QString &c) override {
        record([c](Builder &b) { b.commandLine(c); });
    }
    void message(const QString &t) override {
        record([t](Builder &b) { b.message(t); });
    }
    void error(const QString &t) override {
        record([t](Builder &b) { b.error(t); });
    }
    void warning(const QString &t) override {
        record([t](Builder &b) { b.warning(t); });
    }
    void note(const QString &t) override {
        record([t](Builder &b) { b.note(t); });
    }
    void output(const std::shared_ptr<DiagnosticParser> &parser, const QString &line,
                bool isErrorOutput) override {
        record([=](Builder &b) { b.output(parser, line, isErrorOutput); });
    }
    void stepFailed() override {
        record([](Builder &b) { b.stepFailed(); });
    }
    void finished(BuildResult) override {}

private:
    void record(std::function<void(Builder &)> event) {
        m_events.push_back(std::move(event));
        if (m_depth > 0)
            return;
        std::lock_guard lock(m_mutex);
        for (const auto &held : m_events)
            held(m_target);
        m_events.clear();
    }

    Builder &m_target;
    std::mutex &m_mutex;
    std::vector<std::function<void(Builder &)>> m_events;
    int m_depth = 0;
};

// The planning thread's side of the same sink, under the same lock.
class LockedBuilder : public Builder {
public:
    LockedBuilder(Builder &target, std::mutex &mutex) : m_target(target), m_mutex(mutex) {}

    void beginGroup(const QString &t) override {
        call([&] { m_target.beginGroup(t); });
    }
    void endGroup(const QString &t) override {
        call([&] { m_target.endGroup(t); });
    }
    void commandLine(const QString &t) override {
        call([&] { m_target.commandLine(t); });
    }
    void message(const QString &t) override {
        call([&] { m_target.message(t); });
    }
    void error(const QString &t) override {
        call([&] { m_target.error(t); });
    }
    void warning(const QString &t) override {
        call([&] { m_target.warning(t); });
    }
    void note(const QString &t) override {
        call([&] { m_target.note(t); });
    }
    void output(const std::shared_ptr<DiagnosticParser> &p, const QString &l, bool e) override {
        call([&] { m_target.output(p, l, e); });
    }
    void stepFailed() override {
        call([&] { m_target.stepFailed(); });
    }
    void finished(BuildResult r) override {
        call([&] { m_target.finished(r); });
    }

private:
    void call(const std::function<void()> &event) {
        std::lock_guard lock(m_mutex);
        event();
    }

    Builder &m_target;
    std::mutex &m_mutex;
};

bool isCompiledType(const std::string &type) {
    return type == "Executable" || type == "Library" || type == "Object file";
}

// Where a project keeps what its dependency files said.
QString dependencyCacheFile(const NodeValues &values) {
    return values.macro("IntDir") + u'/' + values.macro("ProjectName") +
           QStringLiteral(".dependencies");
}

// Whether a generated file already holds what it would be written with.
bool isCurrent(const GeneratedFile &file) {
    QFile current(file.path);
    return current.open(QIODevice::ReadOnly) && current.size() == file.content.size() &&
           current.readAll() == file.content;
}

QString cleanAbsolute(const QString &path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// For make files: a user command that runs after `span` steps when one of them ran (or
// always).
void runsAfter(StepPlan &step, bool always, std::size_t span) {
    if (!always) {
        step.trigger = StepPlan::Trigger::AfterRan;
        step.triggerSpan = int(span);
    }
}

} // namespace

struct BuildEngine::Private {
    // How the steps of a request are treated: run when out of date, only checked (the "is up
    // to date" question), or collected as they are for a make file.
    enum class Mode { Run, Check, Export };

    Private(const ProjectElement &solution, const PropertyRegistry &registry,
            const NodeMacros &macros)
        : solution(solution), registry(registry), macros(macros), compiler(registry, macros),
          linker(registry, macros), stager(registry, macros) {}

    const ProjectElement &solution;
    const PropertyRegistry &registry;
    const NodeMacros &macros;
    CompilePlanner compiler;
    LinkPlanner linker;
    StagePlanner stager;

    std::mutex cancelMutex;
    JobQueue *queue = nullptr;
    std::atomic<bool> cancelRequested = false;

    // The running request.
    Mode mode = Mode::Run;
    Builder *log = nullptr;
    JobQueue *jobs = nullptr;
    ProducedFiles produced;
    bool keepGoing = false;
    bool failed = false;
    bool ranAnything = false;
    int stepsRun = 0; // steps handed to run, user commands included: told apart per project
    std::string configuration;
    std::vector<StepPlan> exported;
    QHash<QString, QStringList> linkableOutputs; // of Library and Object file projects
    std::optional<QSet<QString>> sources;        // of the whole solution, for clean

    BuildResult request(const BuildRequest &request, Builder &sink);
    BuildResult dispatch(const BuildRequest &request);
    bool cancelled() const { return cancelRequested.load(); }

    std::vector<const ProjectElement *> projects() const;
    const ProjectElement *findProject(const QString &name) const;
    // On the solution, or on the solution `project` is in.
    bool hasConfiguration(const std::string &configuration,
                          const ProjectElement *project = nullptr) const;
    std::vector<OrderedProject> order(const BuildRequest &request, bool withDependencies) const;

    void buildAll(const std::vector<OrderedProject> &order);
    void cleanAll(const std::vector<OrderedProject> &order);
    bool buildProject(const ProjectElement &project);
    bool buildCompiled(const ProjectElement &project, const NodeValues &values,
                       const std::string &type);
    bool buildStaged(const ProjectElement &project);
    bool cleanProject(const ProjectElement &project);
    bool compileFile(const QString &file);
    const QSet<QString> &solutionSources();
    // What a project that depends on `name` links in: the library of a Library project, the
    // objects of an Object file project, nothing for the others. Known from its build when
    // it was built in this request, planned otherwise (building one project without its
    // dependencies).
    QStringList outputsToLink(const QString &name);

    // Runs the steps (in parallel); true when none failed. In Check mode a step only marks
    // the build out of date; in Export mode it is collected.
    bool runSteps(std::vector<StepPlan> steps);
    bool runStep(StepPlan step) {
        std::vector<StepPlan> one;
        one.push_back(std::move(step));
        return runSteps(std::move(one));
    }
    bool writeGenerated(const StepPlan &step);
    // A user command property as a step, or nothing when it is empty; `map` adds the step's
    // build macros to the node's.
    std::optional<StepPlan> userCommand(const NodeValues &values, const char *property,
                                        const QString &description, const QString &output = {},
                                        const MacroMap *map = nullptr);
    UpToDateCheck check(bool alwaysRebuild) const;
    // Export mode: the user command collected at `index` goes first when any step collected
    // since is due.
    void coverSince(std::optional<std::size_t> index);
    // Whether an output of the step is a source of the solution, which it would overwrite;
    // logged as an error.
    bool writesSource(const StepPlan &step);
};

std::vector<const ProjectElement *> BuildEngine::Private::projects() const {
    std::vector<const ProjectElement *> result;
    // Projects are children of the solution and of imported solutions; a plain walk, as
    // imports may nest.
    std::vector<const ProjectElement *> pending{&solution};
    while (!pending.empty()) {
        const ProjectElement *at = pending.back();
        pending.pop_back();
        std::vector<const ProjectElement *> children;
        for (const XMLNode *child = at->firstChild(); child; child = child->nextSibling()) {
            const ProjectElement *element = ProjectElement::from(child);
            if (!element)
                continue;
            if (element->kind() == Kind::Project)
                result.push_back(element);
            else if (element->kind() == Kind::Solution)
                children.push_back(element);
        }
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return result;
}

const ProjectElement *BuildEngine::Private::findProject(const QString &name) const {
    const std::string wanted = name.toStdString();
    for (const ProjectElement *project : projects())
        if (project->displayName() == wanted)
            return project;
    return nullptr;
}

bool BuildEngine::Private::hasConfiguration(const std::string &wanted,
                                            const ProjectElement *project) const {
    // A project's configurations are those of the solution it is in and the ones above; an
    // imported solution may have configurations of its own.
    const ProjectElement *owner = project ? project->solution() : nullptr;
    const std::vector<std::string> names =
        Configurations::list(owner ? *owner : solution, Configurations::All);
    return std::find(names.begin(), names.end(), wanted) != names.end();
}

std::vector<OrderedProject> BuildEngine::Private::order(const BuildRequest &request,
                                                        bool withDependencies) const {
    QHash<QString, ProjectNode> nodes;
    QHash<const ProjectElement *, bool> applies; // the configuration, by solution
    QStringList all;
    for (const ProjectElement *project : projects()) {
        const QString name = QString::fromStdString(project->displayName());
        if (nodes.contains(name))
            continue;
        ProjectNode node;
        if (withDependencies)
            node.dependencies =
                NodeValues(registry, macros, *project, configuration).list("project_dependencies");
        // Asked once per solution: projects share the answer of the solution they are in.
        const ProjectElement *owner = project->solution();
        auto known = applies.constFind(owner);
        if (known == applies.cend())
            known = applies.insert(owner, hasConfiguration(configuration, project));
        node.hasConfiguration = *known;
        nodes.insert(name, node);
        all << name;
    }
    ProjectOrder order(
        [&](const QString &name) -> const ProjectNode * {
            auto found = nodes.constFind(name);
            return found == nodes.cend() ? nullptr : &*found;
        },
        QString::fromStdString(configuration));
    for (const QString &root : request.project.isEmpty() ? all : QStringList{request.project})
        order.add(root);
    return order.projects();
}

UpToDateCheck BuildEngine::Private::check(bool alwaysRebuild) const {
    UpToDateCheck result(mode == Mode::Run ? log : nullptr, &produced);
    result.setAlwaysRebuild(alwaysRebuild);
    return result;
}

bool BuildEngine::Private::writesSource(const StepPlan &step) {
    for (const QString &output : step.outputs) {
        const QString path = QDir::cleanPath(QDir(step.workingDirectory).absoluteFilePath(output));
        if (StagePlanner::isSource(solutionSources(), path)) {
            log->error(QStringLiteral("Output file ") + path +
                       QStringLiteral(" is a source file of the project"));
            return true;
        }
    }
    return false;
}

void BuildEngine::Private::coverSince(std::optional<std::size_t> index) {
    if (mode == Mode::Export && index) {
        exported[*index].trigger = StepPlan::Trigger::BeforeDue;
        exported[*index].triggerSpan = int(exported.size() - *index - 1);
    }
}

bool BuildEngine::Private::writeGenerated(const StepPlan &step) {
    for (const GeneratedFile &file : step.generatedFiles) {
        if (mode == Mode::Check) {
            if (!isCurrent(file))
                ranAnything = true;
        } else if (!file.write(*log)) {
            return false;
        }
    }
    return true;
}

bool BuildEngine::Private::runSteps(std::vector<StepPlan> steps) {
    if (steps.empty())
        return true;
    if (cancelled())
        return false;
    ranAnything = true;
    stepsRun += int(steps.size());
    if (mode == Mode::Check)
        return true;
    if (mode == Mode::Export) {
        for (StepPlan &step : steps)
            exported.push_back(std::move(step));
        return true;
    }
    for (StepPlan &step : steps)
        jobs->enqueue(std::move(step));
    const BuildResult result = jobs->wait();
    return result != BuildFailed && result != BuildCancelled;
}

std::optional<StepPlan> BuildEngine::Private::userCommand(const NodeValues &values,
                                                          const char *property,
                                                          const QString &description,
                                                          const QString &output,
                                                          const MacroMap *map) {
    const std::string raw = values.raw(property);
    const QString command = values.expand(map ? *map : values.map(), raw);
    if (command.trimmed().isEmpty())
        return std::nullopt;
    StepPlan step;
    step.action = BuildAction::UserCommand;
    step.description = description + command;
    // Split before expanding (or run by the shell with every value quoted), so that a path
    // with blanks stays one word and redirections work.
    step.arguments = CommandExpansion(values, {}, map).arguments(raw);
    // A relative directory lies in the project, as for the compile steps.
    step.workingDirectory = values.path(std::string(property) + "_wd");
    if (step.workingDirectory.isEmpty())
        step.workingDirectory = values.macro("ProjectDir");
    if (!output.isEmpty())
        step.outputs << output;
    return step;
}

const QSet<QString> &BuildEngine::Private::solutionSources() {
    if (!sources)
        sources = StagePlanner::solutionSources(solution, macros, configuration);
    return *sources;
}

QStringList BuildEngine::Private::outputsToLink(const QString &name) {
    if (auto known = linkableOutputs.constFind(name); known != linkableOutputs.cend())
        return *known;
    const ProjectElement *project = findProject(name);
    if (!project)
        return {};
    const std::string type =
        NodeValues(registry, macros, *project, configuration).raw("project_type");
    QStringList outputs;
    if (type == "Library" || type == "Object file") {
        for (const StepPlan &step : compiler.plans(*project, configuration))
            outputs << step.outputs.value(0);
        if (type == "Library")
            outputs = {linker.plan(*project, configuration, outputs, {}).output};
    }
    linkableOutputs.insert(name, outputs);
    return outputs;
}

BuildResult BuildEngine::Private::request(const BuildRequest &request, Builder &sink) {
    std::mutex logMutex;
    LockedBuilder locked(sink, logMutex);
    std::vector<std::unique_ptr<StepRecorder>> recorders;
    QList<Builder *> sinks;
    for (int i = JobQueue::threadCount(request.threads); i > 0; --i) {
        recorders.push_back(std::make_unique<StepRecorder>(sink, logMutex));
        sinks << recorders.back().get();
    }
    JobQueue queue(sinks, &produced);
    queue.setKeepGoing(request.keepGoing);
    queue.setShowCommandLines(request.showCommandLines);

    log = &locked;
    jobs = &queue;
    keepGoing = request.keepGoing;
    failed = ranAnything = false;
    produced.clear();
    linkableOutputs.clear();
    sources.reset();
    {
        std::lock_guard lock(cancelMutex);
        this->queue = &queue;
        if (cancelRequested)
            queue.kill();
    }
    BuildResult result = dispatch(request);
    {
        std::lock_guard lock(cancelMutex);
        this->queue = nullptr;
    }
    log = nullptr;
    jobs = nullptr;
    return result;
}

BuildResult BuildEngine::Private::dispatch(const BuildRequest &request) {
    using K = BuildRequest::Kind;
    configuration = request.configuration.toStdString();
    auto outcome = [&] {
        return cancelled()   ? BuildCancelled
               : failed      ? BuildFailed
               : ranAnything ? BuildSomething
                             : BuildNothing;
    };
    if (!request.project.isEmpty() && !findProject(request.project)) {
        log->error(QStringLiteral("Can't find project ") + request.project);
        return BuildFailed;
    }
    if (request.kind != K::Batch &&
        !hasConfiguration(configuration,
                          request.project.isEmpty() ? nullptr : findProject(request.project))) {
        log->error(QStringLiteral("Configuration ") + request.configuration +
                   QStringLiteral(" is not defined"));
        return BuildFailed;
    }

    switch (request.kind) {
    case K::Build:
    case K::IsUpToDate:
        buildAll(order(request, true));
        break;
    case K::BuildOnly:
        buildAll(order(request, false));
        break;
    case K::Rebuild:
        cleanAll(order(request, true));
        if (!failed && !cancelled()) {
            produced.clear();
            buildAll(order(request, true));
        }
        break;
    case K::Clean:
        cleanAll(order(request, true));
        break;
    case K::Batch: {
        const ProjectElement *scope =
            request.project.isEmpty() ? &solution : findProject(request.project);
        const std::vector<std::string> defined =
            Configurations::list(solution, Configurations::All);
        if (request.configuration.isEmpty() && defined.empty()) {
            log->error(QStringLiteral("No configurations are defined"));
            return BuildFailed;
        }
        const std::string first = request.configuration.isEmpty() ? defined.front() : configuration;
        configuration = first;
        const QStringList configurations =
            NodeValues(registry, macros, *scope, first).list("batch_build_configurations");
        if (configurations.isEmpty()) {
            log->error(QStringLiteral("No batch build configurations are set"));
            return BuildFailed;
        }
        for (const QString &name : configurations) {
            configuration = name.toStdString();
            if (!hasConfiguration(configuration)) {
                log->error(QStringLiteral("Configuration ") + name +
                           QStringLiteral(" is not defined"));
                failed = true;
            } else {
                buildAll(order(request, true));
            }
            if ((failed && !keepGoing) || cancelled())
                break;
        }
        break;
    }
    case K::CompileFile:
        compileFile(request.file);
        break;
    }
    return outcome();
}

void BuildEngine::Private::buildAll(const std::vector<OrderedProject> &order) {
    QSet<QString> broken;
    for (const OrderedProject &project : order) {
        if (cancelled() || (failed && !keepGoing))
            return;
        const ProjectElement *node = findProject(project.name);
        if (mode == Mode::Check) {
            // A project that cannot be built is never current.
            if (!project.canBuild() || !node || !buildProject(*node))
                ranAnything = true;
            continue;
        }
        log->beginGroup(QStringLiteral("Building ") + project.name +
                        QStringLiteral(" in configuration ") +
                        QString::fromStdString(configuration));
        QStringList errors = project.errors;
        // With keep-going a project whose dependency failed to build is not built either.
        if (node && errors.isEmpty())
            for (const QString &dependency :
                 NodeValues(registry, macros, *node, configuration).list("project_dependencies"))
                if (broken.contains(dependency))
                    errors << QStringLiteral("Dependency error detected in ") + dependency;
        bool ok;
        if (!errors.isEmpty() || !node) {
            ProjectOrder::report({project.name, errors}, log);
            ok = false;
        } else {
            ok = buildProject(*node);
        }
        if (!ok && !cancelled()) {
            failed = true;
            broken.insert(project.name);
        }
        log->endGroup(cancelled() ? QStringLiteral("cancelled")
                      : ok        ? QString()
                                  : QStringLiteral("failed"));
    }
}

bool BuildEngine::Private::buildProject(const ProjectElement &project) {
    // Taken out of the build with everything in it: not even its user steps run.
    if (isExcludedFromBuild(registry, project, configuration)) {
        if (mode == Mode::Run)
            log->message(QStringLiteral("nothing to do"));
        return true;
    }
    const NodeValues values(registry, macros, project, configuration);
    const std::string type = values.raw("project_type");
    const int stepsBefore = stepsRun;
    bool ok;
    if (StagePlanner::handles(type)) {
        ok = buildStaged(project);
    } else if (isCompiledType(type)) {
        ok = buildCompiled(project, values, type);
    } else {
        log->error(QStringLiteral("Unknown project type ") + QString::fromStdString(type));
        return false;
    }
    // Commands that always run count: the project had something to do.
    if (ok && stepsRun == stepsBefore && mode == Mode::Run)
        log->message(QStringLiteral("nothing to do"));
    return ok;
}

bool BuildEngine::Private::buildCompiled(const ProjectElement &project, const NodeValues &values,
                                         const std::string &type) {
    bool ran = false;
    const QString name = QString::fromStdString(project.displayName());
    const bool everything = mode == Mode::Export;
    // Each compile carries its file's `build_always_rebuild`, which a file may also turn off.
    UpToDateCheck objects = check(false);
    // What the dependency files said last time, so that a build with nothing to do need not
    // parse them all again.
    DependencyCache dependencies;
    const QString dependencyCache = dependencyCacheFile(values);
    if (mode != Mode::Export) {
        dependencies.load(dependencyCache);
        objects.setDependencyCache(&dependencies);
    }
    // Which objects are out of date, with the generated sources they need written first;
    // commands are worked out only for the steps that run.
    std::vector<StepPlan> compiles;
    QStringList objectFiles;
    QString directory;
    const bool planned =
        compiler.forEachDraft(project, configuration, [&](CompilePlanner::Draft &draft) {
            StepPlan &plan = draft.step;
            if (!writeGenerated(plan))
                return false;
            if (plan.outputs.isEmpty())
                return true;
            objectFiles << plan.outputs.first();
            if (plan.workingDirectory != directory)
                objects.setBaseDirectory(directory = plan.workingDirectory);
            if (everything || plan.alwaysRebuild ||
                !objects.isObjectUpToDate(plan.outputs.first(), plan.inputs.value(0),
                                          plan.dependencyFile)) {
                draft.complete();
                compiles.push_back(std::move(plan));
            } else if (mode == Mode::Run) {
                log->message(UpToDateCheck::upToDateText(plan.outputs.first()));
            }
            return true;
        });
    if (!planned)
        return false;
    // Saved before anything runs: the entries read now stay good for the files no compile
    // rewrites, and a rewritten one makes its entry stale by itself.
    if (mode == Mode::Run)
        dependencies.save(dependencyCache);
    if (type == "Object file") {
        linkableOutputs.insert(name, objectFiles);
        const std::size_t start = exported.size();
        std::optional<std::size_t> preBuild;
        bool ok = true;
        if (std::optional<StepPlan> pre =
                userCommand(values, "pre_build_command", QStringLiteral("Pre-build command ")))
            if (values.raw("pre_build_command_control") == "Always Run" || !compiles.empty()) {
                if (values.raw("pre_build_command_control") != "Always Run")
                    preBuild = exported.size();
                ok = mode == Mode::Check || runStep(std::move(*pre));
            }
        ran = !compiles.empty();
        ok = ok && runSteps(std::move(compiles));
        coverSince(preBuild);
        if (ok)
            if (std::optional<StepPlan> post = userCommand(values, "post_build_command",
                                                           QStringLiteral("Post-build command ")))
                if (values.raw("post_build_command_control") == "Always Run" || ran) {
                    runsAfter(*post, values.raw("post_build_command_control") == "Always Run",
                              exported.size() - start);
                    ok = mode == Mode::Check || runStep(std::move(*post));
                }
        return ok;
    }

    QStringList dependentOutputs;
    if (values.yes("link_dependent_projects"))
        for (const QString &dependency : values.list("project_dependencies"))
            dependentOutputs += outputsToLink(dependency);
    const LinkPlan link = linker.plan(project, configuration, objectFiles, dependentOutputs);
    if (type == "Library")
        linkableOutputs.insert(name, {link.output});

    // The link runs when an object is rebuilt, a file its steps read is to be rewritten (the
    // options of the linker script), the project always rebuilds or any of its steps' outputs
    // is out of date; asked quietly here, so that the reasons are logged once, when the steps
    // run.
    const bool alwaysRebuild = values.yes("build_always_rebuild");
    bool linking = !compiles.empty() || everything || alwaysRebuild;
    {
        UpToDateCheck quiet(nullptr, &produced);
        for (const StepPlan &step : link.steps) {
            for (const GeneratedFile &file : step.generatedFiles)
                linking = linking || !isCurrent(file);
            if (!linking && !step.outputs.isEmpty())
                linking = !quiet.isUpToDate(step.outputs.first(), step.inputs);
        }
    }
    const QString postLinkOutput = values.path("linker_post_build_command_output_file");
    const bool executable = type == "Executable";
    MacroMap postLinkMacros = values.map();
    postLinkMacros.set("PostLinkOutputFilePath", postLinkOutput.toStdString());
    std::optional<StepPlan> postLink =
        executable
            ? userCommand(values, "linker_post_build_command", QStringLiteral("Post-link command "),
                          postLinkOutput, &postLinkMacros)
            : userCommand(values, "archive_post_build_command",
                          QStringLiteral("Post-archive command "));
    // What the post-link command writes it makes from the program.
    if (postLink && !postLink->outputs.isEmpty())
        postLink->inputs << link.output;
    const bool postLinkDue =
        postLink && !postLinkOutput.isEmpty() && executable &&
        !UpToDateCheck(nullptr, &produced).isUpToDate(postLinkOutput, {link.output});
    const bool required = linking || postLinkDue;

    const std::size_t start = exported.size();
    std::optional<std::size_t> preBuild;
    if (std::optional<StepPlan> pre =
            userCommand(values, "pre_build_command", QStringLiteral("Pre-build command ")))
        if (values.raw("pre_build_command_control") == "Always Run" || required) {
            if (values.raw("pre_build_command_control") != "Always Run")
                preBuild = exported.size();
            if (mode != Mode::Check && !runStep(std::move(*pre)))
                return false;
        }
    ran = !compiles.empty();
    if (!runSteps(std::move(compiles)))
        return false;

    const std::size_t linkStart = exported.size();
    if (linking) {
        if (mode == Mode::Run && !LinkPlanner::prepare(link, name, *log))
            return false;
        std::optional<std::size_t> preLinkAt;
        if (executable)
            if (std::optional<StepPlan> preLink = userCommand(
                    values, "linker_pre_build_command", QStringLiteral("Pre-link command "))) {
                preLinkAt = exported.size();
                if (!runStep(std::move(*preLink)))
                    return false;
            }
        UpToDateCheck steps = check(alwaysRebuild);
        for (const StepPlan &step : link.steps) {
            // A step without outputs (a user command among the steps) runs with the link; one
            // whose record of its command is yet to be rewritten (asking only) is due as well.
            const bool due =
                everything || step.outputs.isEmpty() ||
                std::any_of(step.generatedFiles.begin(), step.generatedFiles.end(),
                            [](const GeneratedFile &file) { return !isCurrent(file); }) ||
                !steps.isUpToDate(step.outputs.first(), step.inputs);
            if (!due) {
                if (mode == Mode::Run)
                    log->message(UpToDateCheck::upToDateText(step.outputs.first()));
                continue;
            }
            if (writesSource(step) || !writeGenerated(step) || !runStep(step))
                return false;
            ran = true;
        }
        coverSince(preLinkAt);
    } else if (mode == Mode::Run) {
        log->message(UpToDateCheck::upToDateText(link.output));
    }
    if (postLink && (linking || postLinkDue)) {
        if (postLink->outputs.isEmpty())
            runsAfter(*postLink, false, exported.size() - linkStart);
        if (writesSource(*postLink) || !runStep(std::move(*postLink)))
            return false;
        ran = true;
    }
    coverSince(preBuild);

    if (std::optional<StepPlan> post =
            userCommand(values, "post_build_command", QStringLiteral("Post-build command ")))
        if (values.raw("post_build_command_control") == "Always Run" || ran) {
            runsAfter(*post, values.raw("post_build_command_control") == "Always Run",
                      exported.size() - start);
            if (mode != Mode::Check && !runStep(std::move(*post)))
                return false;
        }
    return true;
}

bool BuildEngine::Private::buildStaged(const ProjectElement &project) {
    StagePlan plan = stager.plan(project, configuration);
    if (!plan.errors.isEmpty()) {
        if (mode == Mode::Check) {
            ranAnything = true;
            return false;
        }
        for (const QString &error : plan.errors)
            log->error(error);
        return false;
    }
    UpToDateCheck stages = check(false); // each step carries `build_always_rebuild`
    std::vector<StepPlan> due;
    for (StepPlan &step : plan.steps) {
        if (!writeGenerated(step))
            return false;
        if (mode != Mode::Export && !step.outputs.isEmpty() && !step.alwaysRebuild) {
            stages.setBaseDirectory(step.workingDirectory);
            if (stages.isUpToDate(step.outputs.first(), step.inputs)) {
                if (mode == Mode::Run)
                    log->message(UpToDateCheck::upToDateText(step.outputs.first()));
                continue;
            }
        }
        due.push_back(std::move(step));
    }
    if (due.empty())
        return true;
    const std::size_t start = exported.size();
    if (!runSteps(std::move(due)))
        return false;
    for (StepPlan &step : plan.finishing) {
        runsAfter(step, false, exported.size() - start);
        if (!writeGenerated(step) || !runStep(std::move(step)))
            return false;
    }
    return true;
}

void BuildEngine::Private::cleanAll(const std::vector<OrderedProject> &order) {
    // A make file of a rebuild holds every step anyway; writing it removes nothing.
    if (mode == Mode::Export)
        return;
    for (const OrderedProject &project : order) {
        if (cancelled() || (failed && !keepGoing))
            return;
        if (const ProjectElement *node = findProject(project.name))
            if (!cleanProject(*node))
                failed = true;
    }
}

bool BuildEngine::Private::cleanProject(const ProjectElement &project) {
    const NodeValues values(registry, macros, project, configuration);
    const std::string type = values.raw("project_type");
    const QString name = QString::fromStdString(project.displayName());
    log->beginGroup(QStringLiteral("Cleaning ") + name);

    QStringList outputs;
    auto collect = [&](const StepPlan &step) {
        QDir base(step.workingDirectory);
        for (const QString &output : step.outputs)
            outputs << base.absoluteFilePath(output);
        if (!step.dependencyFile.isEmpty())
            outputs << base.absoluteFilePath(step.dependencyFile);
        for (const GeneratedFile &file : step.generatedFiles)
            outputs << base.absoluteFilePath(file.path);
        for (const std::vector<StepPlan> *around : {&step.before, &step.after})
            for (const StepPlan &extra : *around)
                for (const QString &output : extra.outputs)
                    outputs << QDir(extra.workingDirectory).absoluteFilePath(output);
    };
    std::vector<StepPlan> commands;
    if (StagePlanner::handles(type)) {
        for (const StepPlan &step : stager.plan(project, configuration).steps)
            collect(step);
        commands = std::move(stager.cleanPlan(project, configuration).steps);
    } else if (isCompiledType(type)) {
        outputs << dependencyCacheFile(values);
        QStringList objectFiles;
        for (const StepPlan &step : compiler.plans(project, configuration)) {
            collect(step);
            objectFiles << step.outputs.value(0);
        }
        if (type != "Object file") {
            for (const StepPlan &step : linker.plan(project, configuration, objectFiles, {}).steps)
                collect(step);
            if (type == "Executable")
                outputs << values.path("linker_post_build_command_output_file");
        }
    }

    bool ok = true;
    const QSet<QString> &protectedFiles = solutionSources();
    QSet<QString> seen;
    for (const QString &output : outputs) {
        const QString path = QDir::cleanPath(output);
        if (path.isEmpty() || seen.contains(path))
            continue;
        seen.insert(path);
        if (StagePlanner::isSource(protectedFiles, path)) {
            log->warning(QStringLiteral("Output file ") + path +
                         QStringLiteral(" is a source file of the project"));
            continue;
        }
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            continue;
        if (QFile::remove(path)) {
            ranAnything = true;
        } else {
            log->error(QStringLiteral("Cannot remove ") + path);
            ok = false;
        }
    }
    if (ok && !commands.empty())
        ok = runSteps(std::move(commands));
    log->endGroup(ok ? QString() : QStringLiteral("failed"));
    return ok;
}

bool BuildEngine::Private::compileFile(const QString &file) {
    const QString wanted = cleanAbsolute(file);
    for (const ProjectElement *project : projects()) {
        for (const XMLNode *node = project->firstChild(); node; node = node->nextInTree(project)) {
            const ProjectElement *element = ProjectElement::from(node);
            if (!element || element->kind() != Kind::File ||
                element->attributeOr("file_name").empty())
                continue;
            const QString source = cleanAbsolute(
                NodeValues(registry, macros, *element, configuration).macro("InputPath"));
            if (source != wanted && QString::fromStdString(element->displayName()) != file)
                continue;
            std::optional<StepPlan> plan = compiler.plan(*element, configuration);
            if (!plan) {
                log->error(file + QStringLiteral(" is not compiled in configuration ") +
                           QString::fromStdString(configuration));
                failed = true;
                return false;
            }
            if (!writeGenerated(*plan) || !runStep(std::move(*plan)))
                failed = true;
            return !failed;
        }
    }
    log->error(QStringLiteral("No file ") + file + QStringLiteral(" in the solution"));
    failed = true;
    return false;
}

BuildEngine::BuildEngine(const ProjectElement &solution, const PropertyRegistry &registry,
                         const NodeMacros &macros)
    : d(std::make_unique<Private>(solution, registry, macros)) {}

BuildEngine::~BuildEngine() = default;

BuildResult BuildEngine::run(const BuildRequest &request, Builder &log) {
    d->compiler.setUnityBuildDisabled(request.disableUnityBuild);
    // The question whether a project is up to date runs nothing and reports no step.
    d->mode =
        request.kind == BuildRequest::Kind::IsUpToDate ? Private::Mode::Check : Private::Mode::Run;
    const BuildResult result = d->request(request, log);
    d->mode = Private::Mode::Run;
    // Cleared after the request, not before: a stop asked for just before it began holds.
    d->cancelRequested = false;
    log.finished(result);
    return result;
}

std::vector<StepPlan> BuildEngine::exportSteps(const BuildRequest &request, Builder &log) {
    d->compiler.setUnityBuildDisabled(request.disableUnityBuild);
    d->mode = Private::Mode::Export;
    d->exported.clear();
    const BuildResult result = d->request(request, log);
    std::vector<StepPlan> steps = std::move(d->exported);
    d->exported.clear();
    d->mode = Private::Mode::Run;
    d->cancelRequested = false;
    if (result == BuildFailed || result == BuildCancelled)
        steps.clear();
    return steps;
}

void BuildEngine::cancel() {
    d->cancelRequested = true;
    std::lock_guard lock(d->cancelMutex);
    if (d->queue)
        d->queue->kill();
}
