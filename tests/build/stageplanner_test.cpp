#include "build/stageplanner.h"

#include "golden.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class StagePlannerTest : public ::testing::Test {
protected:
    StagePlannerTest()
        : m_system(m_expander), m_macros(m_registry, m_expander, &m_system),
          m_planner(m_registry, m_macros) {
        registerBuiltinProperties(m_registry, nullptr);
        m_system.loadSolution(testDataPath("build/stage/stage.qzProject"));
    }
    const ProjectElement &node(const std::string &path) {
        const ProjectElement *found = NodePath::find(*m_system.solution(), path);
        EXPECT_NE(found, nullptr) << path;
        return found ? *found : *m_system.solution();
    }
    StagePlan plan(const std::string &project, const std::string &configuration) {
        return m_planner.plan(node(project), configuration);
    }
    static QStringList descriptions(const std::vector<StepPlan> &plans) {
        QStringList result;
        for (const StepPlan &plan : plans)
            result << plan.description;
        return result;
    }
    // Runs a planned command and returns what it printed, for commands built to echo their
    // arguments back.
    static QString run(const StepPlan &step) {
        QProcess process;
        process.setWorkingDirectory(QDir::tempPath());
        process.start(step.arguments.front(), step.arguments.mid(1));
        EXPECT_TRUE(process.waitForFinished());
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

    const QString m_dir = QDir::cleanPath(QString::fromStdString(testDataPath("build/stage")));
    MacroExpander m_expander;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
    NodeMacros m_macros;
    StagePlanner m_planner;
};

TEST_F(StagePlannerTest, StagingCopiesEveryFileThatIsBuilt) {
    const StagePlan debug = plan("Stage", "Debug");
    EXPECT_TRUE(debug.errors.isEmpty());
    EXPECT_EQ(descriptions(debug.steps),
              QStringList({"Copying readme.txt", "Copying odd \"name\" it's.txt",
                           "Copying skip.txt", "Copying gone.txt"}));
    const StepPlan &readme = debug.steps.front();
    const QString out = m_dir + "/out/Debug";
    EXPECT_EQ(readme.action, BuildAction::Stage);
    EXPECT_EQ(readme.arguments, QStringList({"cp", "docs/readme.txt", out + "/docs/readme.txt"}));
    EXPECT_EQ(readme.workingDirectory, m_dir);
    EXPECT_EQ(readme.inputs, QStringList{m_dir + "/docs/readme.txt"});
    EXPECT_EQ(readme.outputs, QStringList{out + "/docs/readme.txt"});

    // Quotes in a file name do not end the quoted word of the command.
    EXPECT_EQ(debug.steps[1].arguments, QStringList({"cp", "docs/odd \"name\" it's.txt",
                                                     out + "/docs/odd \"name\" it's.txt"}));

    ASSERT_EQ(debug.finishing.size(), 1u);
    EXPECT_EQ(debug.finishing.front().description, "Post-stage command");
    EXPECT_EQ(debug.finishing.front().arguments, QStringList({"touch", out + "/staged"}));

    // An excluded file or folder is not staged.
    const StagePlan release = plan("Stage", "Release");
    EXPECT_EQ(descriptions(release.steps),
              QStringList({"Copying readme.txt", "Copying odd \"name\" it's.txt"}));
    // A blank in a macro default must not cut the reference in two.
    ASSERT_EQ(release.finishing.size(), 1u);
    EXPECT_EQ(release.finishing.front().arguments,
              QStringList({"/bin/sh", "-c", "touch \"" + m_dir + "/out/Release/stamp dir\""}));
}

TEST_F(StagePlannerTest, ReadOnlySettingAddsChmodAfterTheCopy) {
    const QString output = m_dir + "/out/Debug/docs/readme.txt";
    const StepPlan readOnly = plan("Stage", "Debug").steps.front();
    ASSERT_EQ(readOnly.after.size(), 1u);
    EXPECT_EQ(readOnly.after.front().arguments, QStringList({"chmod", "a-w", "--", output}));
    // The copy over last build's read-only output must not fail.
    ASSERT_EQ(readOnly.before.size(), 1u);

    const StepPlan writable = plan("Stage", "Release").steps.front();
    ASSERT_EQ(writable.after.size(), 1u);
    EXPECT_EQ(writable.after.front().arguments,
              QStringList({"chmod", "u+w", "--", m_dir + "/out/Release/docs/readme.txt"}));
    EXPECT_TRUE(writable.before.empty());

    const StepPlan untouched = plan("Stage", "Plain").steps.front();
    EXPECT_TRUE(untouched.before.empty());
    EXPECT_TRUE(untouched.after.empty());

    // The step before the copy makes an existing output writable and accepts a missing one.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    StepPlan unlock = readOnly.before.front();
    const QString staged = scratch.filePath("it's staged.txt");
    unlock.arguments.back() = staged;
    run(unlock);
    QFile file(staged);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup));
    run(unlock);
    EXPECT_TRUE(file.permissions() & QFile::WriteOwner);
}

TEST_F(StagePlannerTest, CombiningRunsOnceOverTheProjectRelativeNames) {
    const QString output = m_dir + "/out/Release/all.bin";
    const StagePlan words = plan("Combine", "Release");
    EXPECT_TRUE(words.errors.isEmpty());
    EXPECT_TRUE(words.finishing.empty());
    ASSERT_EQ(words.steps.size(), 1u);
    const StepPlan &combine = words.steps.front();
    EXPECT_EQ(combine.action, BuildAction::Combine);
    EXPECT_EQ(combine.description, "Combining Combine");
    EXPECT_EQ(combine.workingDirectory, m_dir);
    // The names are one word each, however many blanks and quotes they hold.
    const QString odd = "parts/`q` \"$HOME\" it's.bin";
    EXPECT_EQ(combine.arguments, QStringList({"combiner", "-o", output, "parts/a.bin",
                                              "parts/b c.bin", odd, "--name=Combine"}));
    EXPECT_EQ(combine.inputs,
              QStringList({m_dir + "/parts/a.bin", m_dir + "/parts/b c.bin", m_dir + "/" + odd}));
    EXPECT_EQ(combine.outputs, QStringList{output});
    EXPECT_TRUE(combine.after.empty());

    // Shell syntax runs through the shell, each value quoted for where it stands: bare,
    // in double quotes or in single quotes.
    const StepPlan shell = plan("Combine", "Debug").steps.front();
    ASSERT_EQ(shell.arguments.mid(0, 2), QStringList({"/bin/sh", "-c"}));
    EXPECT_EQ(run(shell),
              "parts/a.bin|parts/b c.bin|" + odd + "|" + m_dir + "/out/Debug/all.bin|in Combine|");
    ASSERT_EQ(shell.after.size(), 1u);
    EXPECT_EQ(shell.after.front().arguments,
              QStringList({"chmod", "a-w", "--", m_dir + "/out/Debug/all.bin"}));
}

TEST_F(StagePlannerTest, OutputOnASourceIsRefused) {
    const StagePlan clobber = plan("Clobber", "Debug");
    EXPECT_TRUE(clobber.steps.empty());
    EXPECT_EQ(clobber.errors,
              QStringList(
                  {"Output file " + m_dir + "/clobber/clobber.txt is a source file of the project",
                   "Output file " + m_dir + "/clobber/other.txt is a source file of the project"}));

    // Two copies to one file, which run in parallel, would leave either or a mix of both.
    const StagePlan twice = plan("Clobber", "Release");
    EXPECT_EQ(descriptions(twice.steps), QStringList{"Copying clobber.txt"});
    EXPECT_EQ(twice.errors, QStringList{"Output file " + m_dir +
                                        "/clobber/out/same.txt is staged from more than one file"});

    // A file of another project counts as well.
    const StagePlan combine = plan("Combine", "Plain");
    EXPECT_TRUE(combine.steps.empty());
    EXPECT_EQ(combine.errors, QStringList{"Output file " + m_dir +
                                          "/docs/readme.txt is a source file of the project"});

    // Excluded files are sources all the same.
    const QSet<QString> sources =
        StagePlanner::solutionSources(*m_system.solution(), m_macros, "Release");
    EXPECT_TRUE(sources.contains(m_dir + "/old/gone.txt"));
    EXPECT_TRUE(sources.contains(m_dir + "/clobber/clobber.txt"));
    EXPECT_FALSE(sources.contains(m_dir + "/out/Release/docs/readme.txt"));
}

TEST(StagePlannerSources, ALinkToASourceDirectoryIsNoWayAround) {
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString dir = scratch.path();
    ASSERT_TRUE(QDir(dir).mkpath("src"));
    QFile source(dir + "/src/a.txt");
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.close();
    ASSERT_TRUE(QFile::link(dir + "/src", dir + "/link"));
    QFile solution(dir + "/link.qzProject");
    ASSERT_TRUE(solution.open(QIODevice::WriteOnly));
    solution.write(R"xml(<!DOCTYPE Palindor_Project_File>
<solution Name="Link"><configuration Name="Debug"/><project Name="P">
        <configuration Name="Common" project_type="Staging"
            stage_output_filepath="link/$(InputFileName)"/>
        <file file_name="src/a.txt"/></project></solution>)xml");
    solution.close();

    MacroExpander expander;
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    StandardProjectSystem system(expander);
    NodeMacros macros(registry, expander, &system);
    system.loadSolution(solution.fileName().toStdString());
    const ProjectElement *project = NodePath::find(*system.solution(), "P");
    ASSERT_NE(project, nullptr);
    const StagePlan plan = StagePlanner(registry, macros).plan(*project, "Debug");
    EXPECT_TRUE(plan.steps.empty());
    EXPECT_EQ(plan.errors,
              QStringList{"Output file " + dir + "/link/a.txt is a source file of the project"});
}

TEST_F(StagePlannerTest, ExternallyBuiltProjectsRunTheirOwnCommands) {
    const StagePlan build = plan("External", "Debug");
    ASSERT_EQ(build.steps.size(), 1u);
    const StepPlan &step = build.steps.front();
    EXPECT_EQ(step.description, "Running Build command make -C \"" + m_dir + "\" all");
    EXPECT_EQ(step.arguments, QStringList({"make", "-C", m_dir, "all"}));
    EXPECT_EQ(step.workingDirectory, m_dir);
    EXPECT_TRUE(step.outputs.isEmpty()); // nothing to compare against: it always runs

    EXPECT_EQ(plan("External", "Release").steps.front().arguments,
              QStringList({"/bin/sh", "-c", "make all 2>&1 | tee \"External.log\""}));
    EXPECT_TRUE(plan("External", "Plain").steps.empty());

    const StagePlan clean = m_planner.cleanPlan(node("External"), "Plain");
    ASSERT_EQ(clean.steps.size(), 1u);
    EXPECT_EQ(clean.steps.front().action, BuildAction::Clean);
    EXPECT_EQ(clean.steps.front().description, "Running Clean command make clean");
    EXPECT_EQ(clean.steps.front().arguments, QStringList({"make", "clean"}));
    // Staged and combined outputs are removed by the engine.
    EXPECT_TRUE(m_planner.cleanPlan(node("Stage"), "Debug").steps.empty());

    EXPECT_TRUE(StagePlanner::handles("Externally Built Object file"));
    EXPECT_TRUE(StagePlanner::handles("Combining"));
    EXPECT_FALSE(StagePlanner::handles("Executable"));
}

} // namespace
