#include "scripthost/buildesclass.h"

#include "script/escontext.h"
#include "script/esnativearray.h"
#include "script/esobject.h"
#include "scripthost/scriptenvironment.h"

#include <algorithm>

namespace {

using Kind = BuildRequest::Kind;

BuildESClass &self(ESObject *function) {
    return *static_cast<BuildESClass *>(function->m_class);
}

template <Kind kind, bool activeProject, bool batch>
ESValue buildMethod(ESContext &, ESObject *function, const ESValue &, int, ESValue *) {
    return ESValue::fromNumber(self(function).build(kind, activeProject, batch));
}

ESValue text(ESContext &c, const QString &value) {
    return c.newString(value);
}

ESValue buildConfiguration(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    return text(c, self(function).environment().buildConfiguration());
}

ESValue setBuildConfiguration(ESContext &c, ESObject *function, const ESValue &, int,
                              ESValue *argv) {
    QString name = c.toText(argv[0]);
    if (!self(function).environment().setBuildConfiguration(name))
        c.throwError(QStringLiteral("no configuration ") + name);
    return ESValue::undefined();
}

ESValue activeProject(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    return text(c, self(function).environment().activeProject());
}

ESValue setActiveProject(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    QString name = c.toText(argv[0]);
    if (!self(function).environment().setActiveProject(name))
        c.throwError(QStringLiteral("no project ") + name);
    return ESValue::undefined();
}

ESValue listTargetProcessors(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    QStringList names = self(function).environment().targetProcessors();
    ESArrayObject *array = c.newArray();
    ESValue result = ESValue::fromObject(array);
    c.keep(result);
    for (int i = 0; i < names.size(); ++i)
        c.put(array, c.indexName(std::uint32_t(i)), c.newString(names[i]));
    return result;
}

ESValue targetProcessor(ESContext &c, ESObject *function, const ESValue &, int, ESValue *) {
    return text(c, self(function).environment().targetProcessor());
}

ESValue setTargetProcessor(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
    QString name = c.toText(argv[0]);
    if (!self(function).environment().setTargetProcessor(name))
        c.throwError(QStringLiteral("no target processor ") + name);
    return ESValue::undefined();
}

ESValue buildActiveProjectAllTargets(ESContext &, ESObject *function, const ESValue &, int,
                                     ESValue *) {
    BuildESClass &build = self(function);
    ScriptEnvironment &environment = build.environment();
    const QStringList processors = environment.targetProcessors();
    if (processors.isEmpty())
        return ESValue::fromNumber(build.build(Kind::Build, true, false));
    // The user's choice is back in place afterwards, whatever the builds did.
    const QString chosen = environment.targetProcessor();
    int result = BuildNothing;
    for (const QString &processor : processors) {
        environment.setTargetProcessor(processor);
        result = std::max(result, int(build.build(Kind::Build, true, false)));
        if (result == BuildCancelled)
            break;
    }
    environment.setTargetProcessor(chosen);
    return ESValue::fromNumber(result);
}

const ESMethodDef kMethods[] = {
    {"buildSolution", "Build.prototype.buildSolution", 0, 0, buildMethod<Kind::Build, false, false>,
     "<b>Build.buildSolution()</b> builds the current solution."},
    {"cleanSolution", "Build.prototype.cleanSolution", 0, 1, buildMethod<Kind::Clean, false, false>,
     "<b>Build.cleanSolution()</b> cleans the current solution."},
    {"rebuildSolution", "Build.prototype.rebuildSolution", 0, 2,
     buildMethod<Kind::Rebuild, false, false>,
     "<b>Build.rebuildSolution()</b> rebuilds the current solution."},
    {"batchBuildSolution", "Build.prototype.batchBuildSolution", 0, 3,
     buildMethod<Kind::Build, false, true>,
     "<b>Build.batchBuildSolution()</b> builds the current solution in every batch build "
     "configuration."},
    {"batchCleanSolution", "Build.prototype.batchCleanSolution", 0, 4,
     buildMethod<Kind::Clean, false, true>,
     "<b>Build.batchCleanSolution()</b> cleans the current solution in every batch build "
     "configuration."},
    {"batchRebuildSolution", "Build.prototype.batchRebuildSolution", 0, 5,
     buildMethod<Kind::Rebuild, false, true>,
     "<b>Build.batchRebuildSolution()</b> rebuilds the current solution in every batch build "
     "configuration."},
    {"buildActiveProject", "Build.prototype.buildActiveProject", 0, 6,
     buildMethod<Kind::Build, true, false>,
     "<b>Build.buildActiveProject()</b> builds the active project."},
    {"cleanActiveProject", "Build.prototype.cleanActiveProject", 0, 7,
     buildMethod<Kind::Clean, true, false>,
     "<b>Build.cleanActiveProject()</b> cleans the active project."},
    {"rebuildActiveProject", "Build.prototype.rebuildActiveProject", 0, 8,
     buildMethod<Kind::Rebuild, true, false>,
     "<b>Build.rebuildActiveProject()</b> rebuilds the active project."},
    {"batchBuildActiveProject", "Build.prototype.batchBuildActiveProject", 0, 9,
     buildMethod<Kind::Build, true, true>,
     "<b>Build.batchBuildActiveProject()</b> builds the active project in every batch build "
     "configuration."},
    {"batchCleanActiveProject", "Build.prototype.batchCleanActiveProject", 0, 10,
     buildMethod<Kind::Clean, true, true>,
     "<b>Build.batchCleanActiveProject()</b> cleans the active project in every batch build "
     "configuration."},
    {"batchRebuildActiveProject", "Build.prototype.batchRebuildActiveProject", 0, 11,
     buildMethod<Kind::Rebuild, true, true>,
     "<b>Build.batchRebuildActiveProject()</b> rebuilds the active project in every batch "
     "build configuration."},
    {"buildConfiguration", "Build.prototype.buildConfiguration", 0, 12, buildConfiguration,
     "<b>Build.buildConfiguration()</b> returns the name of the current build configuration."},
    {"setBuildConfiguration", "Build.prototype.setBuildConfiguration", 1, 13, setBuildConfiguration,
     "<b>Build.setBuildConfiguration(name)</b> selects the build configuration <i>name</i>."},
    {"activeProject", "Build.prototype.activeProject", 0, 14, activeProject,
     "<b>Build.activeProject()</b> returns the name of the active project."},
    {"setActiveProject", "Build.prototype.setActiveProject", 1, 15, setActiveProject,
     "<b>Build.setActiveProject(name)</b> makes the project <i>name</i> the active project."},
    {"listTargetProcessors", "Build.prototype.listTargetProcessors", 0, 16, listTargetProcessors,
     "<b>Build.listTargetProcessors()</b> returns the target processors the active project can "
     "be built for."},
    {"targetProcessor", "Build.prototype.targetProcessor", 1, 17, targetProcessor,
     "<b>Build.targetProcessor()</b> returns the target processor of the active project."},
    {"setTargetProcessor", "Build.prototype.setTargetProcessor", 1, 18, setTargetProcessor,
     "<b>Build.setTargetProcessor(name)</b> sets the target processor of the active project to "
     "<i>name</i>."},
    {"buildActiveProjectAllTargets", "Build.prototype.buildActiveProjectAllTargets", 0, 19,
     buildActiveProjectAllTargets,
     "<b>Build.buildActiveProjectAllTargets()</b> builds the active project once for each of "
     "its target processors."},
};

const ESConstantDef kResults[] = {
    {"BuildNothing", BuildNothing},
    {"BuildSomething", BuildSomething},
    {"BuildFailed", BuildFailed},
    {"BuildCancelled", BuildCancelled},
};

} // namespace

void BuildESClass::install(ESContext &context, const char *name) {
    ESClass::install(context, name);
    defineMethods(context, m_prototype, kMethods);
    defineConstants(context, m_prototype, kResults);
}

BuildRequest BuildESClass::request(Kind kind, bool activeProject) const {
    BuildRequest request;
    request.kind = kind;
    if (activeProject)
        request.project = m_environment.activeProject();
    request.configuration = m_environment.buildConfiguration();
    request.threads = m_environment
                          .setting(ScriptEnvironment::EnvironmentSettings,
                                   QStringLiteral("Environment/Build/Building Threads"))
                          .toInt();
    return request;
}

BuildResult BuildESClass::build(Kind kind, bool activeProject, bool batch) {
    if (activeProject && m_environment.activeProject().isEmpty()) {
        m_environment.outputBuildLog(ScriptEnvironment::BuildLogError,
                                     QStringLiteral("no active project"));
        return BuildFailed;
    }
    if (!batch)
        return m_environment.build(request(kind, activeProject));
    // The engine batches builds itself; cleans and rebuilds go one configuration at a time.
    if (kind == Kind::Build)
        return m_environment.build(request(Kind::Batch, activeProject));
    BuildRequest one = request(kind, activeProject);
    const QStringList configurations = m_environment.batchBuildConfigurations(one.project);
    if (configurations.isEmpty()) {
        m_environment.outputBuildLog(ScriptEnvironment::BuildLogError,
                                     QStringLiteral("no batch build configurations are set"));
        return BuildFailed;
    }
    int result = BuildNothing;
    for (const QString &configuration : configurations) {
        one.configuration = configuration;
        result = std::max(result, int(m_environment.build(one)));
        if (result == BuildCancelled)
            break;
    }
    return BuildResult(result);
}
