#include "hosttesting.h"

#include "build/buildengine.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

// Records the builds asked for and answers with queued results (BuildSomething when none).
class BuildRecorder : public HeadlessScriptEnvironment {
public:
    QString activeProject() override { return project; }
    bool setActiveProject(const QString &name) override {
        if (name != QLatin1String("App") && name != QLatin1String("Boot"))
            return false;
        project = name;
        return true;
    }
    QString buildConfiguration() override { return configuration; }
    bool setBuildConfiguration(const QString &name) override {
        if (name != QLatin1String("Debug") && name != QLatin1String("Release"))
            return false;
        configuration = name;
        return true;
    }
    QStringList batchBuildConfigurations(const QString &forProject) override {
        batchAskedFor = forProject;
        return batch;
    }
    QStringList targetProcessors() override { return processors; }
    QString targetProcessor() override { return processor; }
    bool setTargetProcessor(const QString &name) override {
        if (!processors.contains(name))
            return false;
        processor = name;
        return true;
    }
    BuildResult build(const BuildRequest &request) override {
        requests.push_back(request);
        processorsBuilt << processor;
        if (results.empty())
            return BuildSomething;
        BuildResult result = results.front();
        results.pop_front();
        return result;
    }

    QString project = QStringLiteral("App");
    QString configuration = QStringLiteral("Debug");
    QStringList batch{QStringLiteral("Debug"), QStringLiteral("Release")};
    QString batchAskedFor = QStringLiteral("(not asked)");
    QStringList processors;
    QString processor;
    std::deque<BuildResult> results;
    std::vector<BuildRequest> requests;
    QStringList processorsBuilt;
};

class BuildObject : public ::testing::Test {
protected:
    BuildObject() {
        ensureApplication();
        environment.setOutput([this](const QString &text) { log += text; });
        environment.installHostObjects(context);
    }
    std::string eval(const std::string &source) {
        ESCompletion completion =
            context.evaluate(QStringLiteral("build.js"), QString::fromStdString(source));
        if (completion.type == ESCompletion::Throw)
            return "error: " + completion.text.toStdString();
        return context.toText(completion.value).toStdString();
    }

    BuildRecorder environment;
    ESContext context;
    QString log;
};

using Kind = BuildRequest::Kind;

TEST_F(BuildObject, EachMethodAsksForItsBuildAndReturnsTheResult) {
    struct Row {
        const char *method;
        Kind kind;
        const char *project;
    } rows[] = {
        {"buildSolution", Kind::Build, ""},
        {"cleanSolution", Kind::Clean, ""},
        {"rebuildSolution", Kind::Rebuild, ""},
        {"batchBuildSolution", Kind::Batch, ""},
        {"buildActiveProject", Kind::Build, "App"},
        {"cleanActiveProject", Kind::Clean, "App"},
        {"rebuildActiveProject", Kind::Rebuild, "App"},
        {"batchBuildActiveProject", Kind::Batch, "App"},
    };
    environment.setSetting(ScriptEnvironment::EnvironmentSettings,
                           QStringLiteral("Environment/Build/Building Threads"),
                           QStringLiteral("3"));
    for (const Row &row : rows) {
        environment.requests.clear();
        environment.results = {BuildFailed};
        EXPECT_EQ(eval(std::string("Build.") + row.method + "()"), "2") << row.method;
        ASSERT_EQ(environment.requests.size(), 1u) << row.method;
        const BuildRequest &request = environment.requests[0];
        EXPECT_EQ(request.kind, row.kind) << row.method;
        EXPECT_EQ(request.project.toStdString(), row.project) << row.method;
        EXPECT_EQ(request.configuration.toStdString(), "Debug") << row.method;
        EXPECT_EQ(request.threads, 3) << row.method;
    }
    EXPECT_EQ(eval("[Build.BuildNothing, Build.BuildSomething, Build.BuildFailed, "
                   "Build.BuildCancelled].join()"),
              "0,1,2,3");
    EXPECT_EQ(eval("Build.BuildFailed = 7; delete Build.BuildFailed; Build.BuildFailed"), "2");
    EXPECT_EQ(eval("Build.buildSolution.help"),
              "<b>Build.buildSolution()</b> builds the current solution.");
}

TEST_F(BuildObject, BatchCleansAndRebuildsGoThroughEveryConfiguration) {
    environment.results = {BuildNothing, BuildSomething};
    EXPECT_EQ(eval("Build.batchRebuildActiveProject()"), "1");
    ASSERT_EQ(environment.requests.size(), 2u);
    EXPECT_EQ(environment.batchAskedFor, QStringLiteral("App"));
    EXPECT_EQ(environment.requests[0].configuration, QStringLiteral("Debug"));
    EXPECT_EQ(environment.requests[1].configuration, QStringLiteral("Release"));
    EXPECT_EQ(environment.requests[1].kind, Kind::Rebuild);

    // A failure does not stop the batch, a cancel does; the worst result wins.
    environment.requests.clear();
    environment.batch << QStringLiteral("Size");
    environment.results = {BuildFailed, BuildNothing};
    EXPECT_EQ(eval("Build.batchCleanSolution()"), "2");
    EXPECT_EQ(environment.requests.size(), 3u);
    EXPECT_EQ(environment.batchAskedFor, QString());
    environment.requests.clear();
    environment.results = {BuildCancelled};
    EXPECT_EQ(eval("Build.batchRebuildSolution()"), "3");
    EXPECT_EQ(environment.requests.size(), 1u);

    // Nothing to go through is a failure, not an empty success.
    environment.requests.clear();
    environment.batch.clear();
    EXPECT_EQ(eval("Build.batchCleanActiveProject()"), "2");
    EXPECT_TRUE(environment.requests.empty());
    EXPECT_EQ(log, QStringLiteral("error: no batch build configurations are set\n"));
}

TEST_F(BuildObject, ProjectBuildsNeedAnActiveProject) {
    environment.project.clear();
    EXPECT_EQ(eval("Build.buildActiveProject()"), "2");
    EXPECT_TRUE(environment.requests.empty());
    EXPECT_EQ(log, QStringLiteral("error: no active project\n"));
    EXPECT_EQ(eval("Build.buildSolution()"), "1");
}

TEST_F(BuildObject, SelectsConfigurationProjectAndTargetProcessor) {
    EXPECT_EQ(eval("Build.setBuildConfiguration('Release'); Build.buildConfiguration()"),
              "Release");
    EXPECT_EQ(eval("Build.setBuildConfiguration('Nope')"), "error: no configuration Nope");
    EXPECT_EQ(eval("Build.buildConfiguration()"), "Release");
    EXPECT_EQ(eval("Build.setActiveProject('Boot'); Build.activeProject()"), "Boot");
    EXPECT_EQ(eval("Build.setActiveProject('Nope')"), "error: no project Nope");

    environment.processors = {QStringLiteral("m0"), QStringLiteral("m4"), QStringLiteral("m7")};
    environment.processor = QStringLiteral("m4");
    EXPECT_EQ(eval("Build.listTargetProcessors().join()"), "m0,m4,m7");
    EXPECT_EQ(eval("Build.setTargetProcessor('m9')"), "error: no target processor m9");
    environment.results = {BuildNothing, BuildFailed, BuildSomething};
    EXPECT_EQ(eval("Build.buildActiveProjectAllTargets()"), "2");
    EXPECT_EQ(environment.processorsBuilt.join(QLatin1Char(',')), QStringLiteral("m0,m4,m7"));
    EXPECT_EQ(environment.requests[2].project, QStringLiteral("Boot"));
    EXPECT_EQ(eval("Build.targetProcessor()"), "m4");
}

} // namespace
