#include "build/buildengine.h"

#include "build/makefilewriter.h"

#include "crosstool.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"
#include "recordingbuilder.h"
#include "scratchdirtest.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>
#include <utime.h>

namespace {

// Stands in for the compiler driver: copies the source to the object, writes a dependency
// file naming the headers the source includes, and records each compile in compiles.log.
// A line "DELAY N" makes the compile take N seconds; a source holding SYNTAX then fails; with
// the flag file "sleep" present the compile writes half
// an object and waits for a sleep it started (its pid in cc.pid), as a driver waits for
// cc1; with "segv" it kills itself.
constexpr const char *kFakeCompiler = R"sh(#!/bin/sh
root=$(dirname "$0")/..
while [ $# -gt 0 ]; do
    case "$1" in
    -depend) dep=$2; shift ;;
    -c) src=$2; shift ;;
    -o) out=$2; shift ;;
    esac
    shift
done
echo "$src" >> "$root/compiles.log"
delay=$(sed -n 's/^DELAY //p' "$src"); [ -z "$delay" ] || sleep "$delay"
if grep -q SYNTAX "$src"; then echo "$src:1:1: error: expected ';'" >&2; exit 1; fi
if [ -e "$root/sleep" ]; then echo half > "$out"; sleep 30 & echo $! > "$root/cc.pid"; wait; fi
if [ -e "$root/segv" ]; then echo half > "$out"; kill -SEGV $$; fi
cat "$src" > "$out"
printf '%s: %s' "$out" "$src" > "$dep"
for header in $(sed -n 's/^#include "\(.*\)"$/\1/p' "$src"); do
    printf ' \\\n %s' "$(dirname "$src")/$header" >> "$dep"
done
echo >> "$dep"
)sh";

class BuildEngineTest : public ScratchDirTest {
protected:
    BuildEngineTest() : m_system(m_expander), m_macros(m_registry, m_expander, &m_system) {
        registerBuiltinProperties(m_registry, nullptr);
        m_expander.setGlobalMacrosFromList("TovanDir=" + m_dir.path().toStdString());
        ::chmod(write("bin/cc", kFakeCompiler).c_str(), 0755);
    }

    // A solution of Object file projects: NAME -> (dependencies, files).
    void load(const std::string &projects) {
        write("s.qzProject", "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"S\">\n"
                             "  <configuration Name=\"Debug\" />\n" +
                                 projects + "</solution>\n");
        if (m_system.solution())
            m_system.closeSolution();
        m_system.loadSolution(path("s.qzProject"));
    }
    static std::string project(const std::string &name, const std::string &dependencies,
                               const std::string &files, const std::string &extra = "") {
        return "  <project Name=\"" + name + "\">\n    <configuration Name=\"Common\" " +
               "project_type=\"Object file\" project_dependencies=\"" + dependencies +
               "\" build_intermediate_directory=\"obj/$(ProjectName)\" " + extra + " />\n" + files +
               "  </project>\n";
    }
    static std::string file(const std::string &name) {
        return "    <file file_name=\"" + name + "\" />\n";
    }

    BuildResult run(BuildRequest::Kind kind = BuildRequest::Kind::Build,
                    const QString &projectName = {}, bool keepGoing = false, int threads = 2) {
        BuildRequest request;
        request.kind = kind;
        request.project = projectName;
        request.configuration = "Debug";
        request.keepGoing = keepGoing;
        request.threads = threads;
        RecordingBuilder sink;
        BuildEngine engine(*m_system.solution(), m_registry, m_macros);
        BuildResult result = engine.run(request, sink);
        m_events = sink.events;
        return result;
    }
    // The sources compiled since the last call, in order.
    QStringList compiles() {
        QFile log(QString::fromStdString(path("compiles.log")));
        QStringList result;
        if (log.open(QIODevice::ReadOnly))
            for (const QByteArray &line : log.readAll().split('\n'))
                if (!line.isEmpty())
                    result << QString::fromUtf8(line).mid(m_dir.path().size() + 1);
        log.remove();
        return result;
    }
    // An edit made after the last build: every file is dated back, then this one is dated now.
    void touch(const std::string &name) {
        QDirIterator files(m_dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QByteArray at = QFile::encodeName(files.next());
            struct stat info;
            ASSERT_EQ(::stat(at.constData(), &info), 0);
            utimbuf times{info.st_atime, info.st_mtime - 10};
            ASSERT_EQ(::utime(at.constData(), &times), 0);
        }
        ASSERT_EQ(::utime(path(name).c_str(), nullptr), 0);
    }
    bool has(const QString &event) const { return m_events.contains(event); }
    QString obj(const std::string &name) const {
        return QString::fromStdString(path("obj/" + name));
    }

    MacroExpander m_expander;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
    NodeMacros m_macros;
    QStringList m_events;
};

TEST_F(BuildEngineTest, BuildsInOrderOnceAndOnlyWhatIsOutOfDate) {
    write("lib/a.c", "int a;\n");
    write("app/main.c", "#include \"board.h\"\nint main;\n");
    write("app/board.h", "#define X 1\n");
    write("tool/t.c", "int t;\n");
    load(project("App", "Lib;Tool", file("app/main.c"),
                 "post_build_command=\"sh -c &quot;echo post &gt;&gt; post.log&quot;\"") +
         project("Tool", "Lib", file("tool/t.c")) + project("Lib", "", file("lib/a.c")));

    EXPECT_EQ(run(), BuildSomething);
    // The library both depend on comes first, and once.
    EXPECT_EQ(compiles(), QStringList({"lib/a.c", "tool/t.c", "app/main.c"}));
    EXPECT_EQ(m_events.last(), "finished: Build complete");
    EXPECT_TRUE(has("begin: Building Lib in configuration Debug"));
    EXPECT_TRUE(has("begin: Compiling main.c"));
    EXPECT_EQ(readFileBytes(path("post.log")), "post\n");

    // Nothing changed: nothing runs, not even the post-build command.
    EXPECT_EQ(run(), BuildNothing);
    EXPECT_EQ(compiles(), QStringList());
    EXPECT_TRUE(has("message: nothing to do"));
    EXPECT_TRUE(has("message: '" + obj("Lib/a") + "' is up to date"));
    EXPECT_EQ(m_events.last(), "finished: Build up to date");
    EXPECT_EQ(readFileBytes(path("post.log")), "post\n");
    EXPECT_EQ(run(BuildRequest::Kind::IsUpToDate), BuildNothing);

    // A header changes: only its dependent recompiles.
    touch("app/board.h");
    EXPECT_EQ(run(BuildRequest::Kind::IsUpToDate), BuildSomething);
    EXPECT_EQ(compiles(), QStringList());
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"app/main.c"});
    EXPECT_EQ(readFileBytes(path("post.log")), "post\npost\n");

    // A source changes; building one project without its dependencies leaves them alone.
    touch("lib/a.c");
    touch("tool/t.c");
    EXPECT_EQ(run(BuildRequest::Kind::BuildOnly, "Tool"), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"tool/t.c"});
    EXPECT_EQ(run(BuildRequest::Kind::Build, "App"), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"lib/a.c"});

    // A missing object is rebuilt whatever the times say; clean removes the outputs only.
    QFile::remove(obj("Tool/t"));
    EXPECT_EQ(run(BuildRequest::Kind::Build, "Tool"), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"tool/t.c"});
    EXPECT_EQ(run(BuildRequest::Kind::Clean), BuildSomething);
    EXPECT_TRUE(has("begin: Cleaning App"));
    EXPECT_FALSE(QFile::exists(obj("Lib/a")));
    EXPECT_FALSE(QFile::exists(obj("Lib/a.d")));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path("lib/a.c"))));
    EXPECT_EQ(run(BuildRequest::Kind::Rebuild, "Lib"), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"lib/a.c"});
}

// `build_always_rebuild` acts on the node it is set on, and a file can turn it off again.
TEST_F(BuildEngineTest, AlwaysRebuildIsPerNode) {
    for (const char *name : {"a.c", "b.c", "c.c"})
        write(name, "int x;\n");
    const std::string always = "    <file file_name=\"b.c\">\n      <configuration Name=\"Common\" "
                               "build_always_rebuild=\"Yes\" />\n    </file>\n";
    const std::string never = "    <file file_name=\"c.c\">\n      <configuration Name=\"Common\" "
                              "build_always_rebuild=\"No\" />\n    </file>\n";
    load(project("App", "", file("a.c") + always));
    EXPECT_EQ(run(BuildRequest::Kind::Build, {}, false, 1), BuildSomething); // in order
    EXPECT_EQ(compiles(), QStringList({"a.c", "b.c"}));
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"b.c"});
    EXPECT_EQ(run(BuildRequest::Kind::IsUpToDate), BuildSomething);

    load(project("App", "", file("a.c") + never, "build_always_rebuild=\"Yes\""));
    run();
    compiles();
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"a.c"});
}

TEST_F(BuildEngineTest, DependencyErrorsFailTheBuild) {
    write("a.c", "int a;\n");
    load(project("App", "Missing", file("a.c")) + project("A", "B", file("a.c")) +
         project("B", "A", file("a.c")));

    EXPECT_EQ(run(BuildRequest::Kind::Build, "App"), BuildFailed);
    EXPECT_TRUE(has("error: Dependency error detected in App"));
    EXPECT_TRUE(has("error: Can't find project Missing"));
    EXPECT_EQ(m_events.last(), "finished: Build failed");

    // A cycle a hand-edited file made ends the walk and the build.
    EXPECT_EQ(run(BuildRequest::Kind::Build, "A"), BuildFailed);
    EXPECT_TRUE(has("error: Circular dependency on project A"));
    EXPECT_EQ(compiles(), QStringList());

    EXPECT_EQ(run(BuildRequest::Kind::Build, "Nope"), BuildFailed);
    EXPECT_TRUE(has("error: Can't find project Nope"));

    // A configuration of an imported solution does not reach the projects outside it.
    write("inner.qzProject", "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"Inner\">\n"
                             "  <configuration Name=\"Extra\" />\n" +
                                 project("Part", "App", file("a.c")) + "</solution>\n");
    load(project("App", "", file("a.c")) + "  <import file_name=\"inner.qzProject\" />\n");
    BuildRequest request;
    request.project = "Part";
    request.configuration = "Extra";
    RecordingBuilder sink;
    EXPECT_EQ(BuildEngine(*m_system.solution(), m_registry, m_macros).run(request, sink),
              BuildFailed);
    EXPECT_TRUE(sink.events.contains("error: Dependency error detected in Part"));
    EXPECT_TRUE(sink.events.contains("error: Configuration Extra doesn't apply to dependent "
                                     "project App"))
        << sink.events.join('\n').toStdString();
    EXPECT_EQ(compiles(), QStringList());
}

TEST_F(BuildEngineTest, KeepGoingBuildsWhatDoesNotDependOnTheFailure) {
    write("bad.c", "SYNTAX\n");
    write("good.c", "int g;\n");
    write("other.c", "int o;\n");
    write("top.c", "int t;\n");
    load(project("Broken", "", file("bad.c") + file("good.c")) +
         project("Other", "", file("other.c")) + project("Top", "Broken", file("top.c")));

    EXPECT_EQ(run(BuildRequest::Kind::Build, {}, false, 1), BuildFailed);
    EXPECT_EQ(compiles(), QStringList{"bad.c"});
    EXPECT_TRUE(m_events.contains("stderr: " + QString::fromStdString(path("bad.c")) +
                                  ":1:1: error: expected ';'"));

    EXPECT_EQ(run(BuildRequest::Kind::Build, {}, true, 1), BuildFailed);
    EXPECT_EQ(compiles(), QStringList({"bad.c", "good.c", "other.c"}));
    EXPECT_TRUE(has("error: Dependency error detected in Broken"));
    EXPECT_FALSE(QFile::exists(obj("Broken/bad")));
}

// Steps running side by side reach the log one whole group at a time: a header is never
// followed by the output of another step, and groups never end out of order.
TEST_F(BuildEngineTest, ConcurrentStepsNeverInterleaveInTheLog) {
    write("bad.c", "DELAY 0.3\nSYNTAX\n");
    write("slow.c", "DELAY 1\nint s;\n");
    load(project("App", "", file("bad.c") + file("slow.c")));
    EXPECT_EQ(run(BuildRequest::Kind::Build, {}, true, 2), BuildFailed);
    const qsizetype bad = m_events.indexOf("begin: Compiling bad.c");
    const qsizetype slow = m_events.indexOf("begin: Compiling slow.c");
    ASSERT_TRUE(bad >= 0 && slow >= 0) << m_events.join('\n').toStdString();
    const QString error =
        "stderr: " + QString::fromStdString(path("bad.c")) + ":1:1: error: expected ';'";
    EXPECT_EQ(m_events.mid(bad, 4).join('\n'),
              QStringList({"begin: Compiling bad.c", error, "failed", "end: failed"}).join('\n'));
    EXPECT_EQ(m_events.mid(slow, 2).join('\n'), "begin: Compiling slow.c\nend: ");
}

TEST_F(BuildEngineTest, CancelKillsTheCompilerAndLeavesNoObject) {
    write("slow.c", "int s;\n");
    load(project("App", "", file("slow.c")));
    write("sleep", "");

    BuildRequest request;
    request.configuration = "Debug";
    RecordingBuilder sink;
    BuildEngine engine(*m_system.solution(), m_registry, m_macros);
    BuildResult result = BuildNothing;
    std::thread builder([&] { result = engine.run(request, sink); });
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(QString::fromStdString(path("cc.pid"))) && timer.elapsed() < 20000)
        QThread::msleep(10);
    QThread::msleep(50);
    const pid_t pid = std::stoi(readFileBytes(path("cc.pid")));
    engine.cancel();
    builder.join();

    EXPECT_EQ(result, BuildCancelled);
    EXPECT_EQ(sink.events.last(), "finished: Build terminated");
    EXPECT_FALSE(QFile::exists(obj("App/slow")));
    // The compiler's own child went with its process group: gone, or a zombie left to init.
    bool gone = false;
    for (int i = 0; i < 250 && !gone; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        gone = !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        if (!gone)
            QThread::msleep(20);
    }
    EXPECT_TRUE(gone);

    QFile::remove(QString::fromStdString(path("sleep")));
    compiles();
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(compiles(), QStringList{"slow.c"});
}

TEST_F(BuildEngineTest, ACompilerKilledByASignalFails) {
    write("a.c", "int a;\n");
    load(project("App", "", file("a.c")));
    write("segv", "");
    EXPECT_EQ(run(), BuildFailed);
    EXPECT_FALSE(QFile::exists(obj("App/a")));
    EXPECT_EQ(m_events.last(), "finished: Build failed");
}

TEST_F(BuildEngineTest, AnObjectTakenOutOfALibraryRearchivesIt) {
    // The archiver lists what it was given; the post-build command writes through the shell.
    ::chmod(
        write("bin/ar.sh", "#!/bin/sh\nout=$1; shift\nfor o; do basename \"$o\"; done >\"$out\"\n")
            .c_str(),
        0755);
    write("a.c", "int a;\n");
    write("b.c", "int b;\n");
    const std::string library =
        "external_archive_command=\"$(TovanDir)/bin/ar.sh $(TargetPath) $(Objects)\" "
        "post_build_command=\"echo built $(ProjectName) &gt; post.txt\"";
    auto solution = [&](const std::string &files) {
        std::string text = project("Lib", "", files, library);
        text.replace(text.find("Object file"), 11, "Library");
        load(text);
    };
    solution(file("a.c") + file("b.c"));
    EXPECT_EQ(run(), BuildSomething);
    const std::string archive = path("Output/Debug/Exe/Lib");
    EXPECT_EQ(readFileBytes(archive), "a\nb\n");
    EXPECT_EQ(readFileBytes(path("post.txt")), "built Lib\n");
    EXPECT_EQ(run(), BuildNothing);

    solution(file("a.c"));
    EXPECT_EQ(run(BuildRequest::Kind::IsUpToDate), BuildSomething);
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(readFileBytes(archive), "a\n");
}

TEST_F(BuildEngineTest, CleanNeverRemovesASource) {
    write("a.c", "int a;\n");
    write("keep.c", "int k;\n");
    load(project("App", "",
                 "    <file file_name=\"a.c\">\n      <configuration Name=\"Common\" "
                 "build_object_file_name=\"keep.c\" />\n    </file>\n" +
                     file("keep.c")));
    EXPECT_EQ(run(BuildRequest::Kind::Clean), BuildNothing);
    EXPECT_TRUE(has("warning: Output file " + QString::fromStdString(path("keep.c")) +
                    " is a source file of the project"));
    EXPECT_EQ(readFileBytes(path("keep.c")), "int k;\n");
}

} // namespace

namespace {

TEST_F(BuildEngineTest, StagingCopiesWhatIsOutOfDateAndNeverOntoASource) {
    write("doc/a.txt", "a\n");
    write("doc/b.txt", "b\n");
    load("  <project Name=\"Stage\">\n    <configuration Name=\"Common\" project_type=\"Staging\" "
         "build_output_directory=\"staged\" />\n" +
         file("doc/a.txt") + file("doc/b.txt") + "  </project>\n");
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(readFileBytes(path("staged/doc/a.txt")), "a\n");
    EXPECT_EQ(run(), BuildNothing);
    EXPECT_TRUE(has("message: nothing to do"));
    touch("doc/b.txt");
    EXPECT_EQ(run(), BuildSomething);
    EXPECT_EQ(m_events.filter("begin: Copying").size(), 1) << m_events.join('\n').toStdString();

    // An output that lands on a source fails the project and touches nothing.
    load("  <project Name=\"Stage\">\n    <configuration Name=\"Common\" project_type=\"Staging\" "
         "stage_output_filepath=\"doc/b.txt\" />\n" +
         file("doc/a.txt") + file("doc/b.txt") + "  </project>\n");
    EXPECT_EQ(run(), BuildFailed);
    EXPECT_TRUE(has("error: Output file " + QString::fromStdString(path("doc/b.txt")) +
                    " is a source file of the project"))
        << m_events.join('\n').toStdString();
    EXPECT_EQ(readFileBytes(path("doc/b.txt")), "b\n");
}

} // namespace

namespace {

// A driver that also links: without -c it writes the program and runs the -patch command.
constexpr const char *kLinkingDriver = R"sh(#!/bin/sh
while [ $# -gt 0 ]; do
    case "$1" in
    -depend) dep=$2; shift ;;
    -c) src=$2; shift ;;
    -o) out=$2; shift ;;
    -patch) patch=$2; shift ;;
    esac
    shift
done
if [ -z "$src" ]; then echo link >> steps.log; echo linked > "$out"; exec sh -c "${patch:-:}"; fi
echo "compile $(basename "$src")" >> steps.log
cat "$src" > "$out"
echo "$out: $src" > "$dep"
)sh";

class UserStepsTest : public BuildEngineTest {
protected:
    UserStepsTest() {
        ::chmod(write("bin/cc", kLinkingDriver).c_str(), 0755);
        write("board.ld", "\n");
        write("a.c", "int a;\n");
        write("b.c", "int b;\n");
        // Every user command logs its name to steps.log through this script; an external
        // link command writes its target as well.
        write("step.sh", "echo \"$1\" >> \"$(dirname \"$0\")/steps.log\"\n"
                         "[ -z \"$2\" ] || echo linked > \"$2\"\n");
    }
    // An Executable linked with the manual script; `attributes` add to its configuration.
    void executable(const std::string &attributes) {
        load("  <project Name=\"App\">\n    <configuration Name=\"Common\" "
             "project_type=\"Executable\" build_intermediate_directory=\"obj\" "
             "link_use_linker_script_file=\"Yes\" link_linker_script_file=\"board.ld\" "
             "linker_map_file=\"No\" " +
             attributes + " />\n" + file("a.c") + file("b.c") + "  </project>\n");
    }
    // One worker, so that the steps log in a fixed order.
    BuildResult build(BuildRequest::Kind kind = BuildRequest::Kind::Build) {
        return run(kind, {}, false, 1);
    }
    // Runs make on app.mak, exported from the solution first when `write` is set.
    int make(const QStringList &arguments, bool write = false) {
        if (write) {
            BuildRequest request;
            request.configuration = "Debug";
            RecordingBuilder log;
            const std::vector<StepPlan> plans =
                BuildEngine(*m_system.solution(), m_registry, m_macros).exportSteps(request, log);
            EXPECT_FALSE(plans.empty()) << log.events.join('\n').toStdString();
            MakefileWriter::write(QString::fromStdString(path("app.mak")), plans, m_dir.path());
        }
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start("make", QStringList{"-s", "-f", "app.mak"} + arguments);
        process.waitForFinished(60000);
        const QByteArray output = process.readAll();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << output.toStdString();
        return process.exitCode();
    }
    // The steps logged since the last call, one a line.
    std::string steps() {
        QFile log(QString::fromStdString(path("steps.log")));
        std::string result;
        if (log.open(QIODevice::ReadOnly))
            result = log.readAll().toStdString();
        log.remove();
        return result;
    }
};

TEST_F(UserStepsTest, AChangedPatchCommandRelinks) {
    // The built-in driver and an external link command: the patch runs with the link in both.
    for (const std::string link :
         {"", "external_link_command=\"sh step.sh link $(TargetPath)\" "}) {
        SCOPED_TRACE(link);
        executable(link + "linker_patch_build_command=\"sh step.sh patch-A\"");
        EXPECT_EQ(build(BuildRequest::Kind::Rebuild), BuildSomething);
        EXPECT_EQ(steps(), "compile a.c\ncompile b.c\nlink\npatch-A\n");
        EXPECT_EQ(build(), BuildNothing);

        executable(link + "linker_patch_build_command=\"sh step.sh patch-B\"");
        EXPECT_EQ(build(BuildRequest::Kind::IsUpToDate), BuildSomething);
        EXPECT_EQ(build(), BuildSomething);
        EXPECT_EQ(steps(), "link\npatch-B\n");
        EXPECT_EQ(build(), BuildNothing);
        EXPECT_EQ(steps(), "");

        // A macro the patch command names counts as much as its text.
        executable(link + "linker_patch_build_command=\"sh step.sh patch-$(Which)\"");
        m_expander.setGlobalMacrosFromList("TovanDir=" + m_dir.path().toStdString() + ";Which=C");
        EXPECT_EQ(build(), BuildSomething);
        EXPECT_EQ(steps(), "link\npatch-C\n");
        m_expander.setGlobalMacrosFromList("TovanDir=" + m_dir.path().toStdString() + ";Which=D");
        EXPECT_EQ(build(), BuildSomething);
        EXPECT_EQ(steps(), "link\npatch-D\n");
        EXPECT_EQ(build(), BuildNothing);
        m_expander.setGlobalMacrosFromList("TovanDir=" + m_dir.path().toStdString());
    }
}

// `build_always_rebuild` on the project makes its program out of date, also when its files
// turn it off for their objects.
TEST_F(UserStepsTest, AlwaysRebuildOnTheProjectRelinks) {
    load("  <project Name=\"App\">\n    <configuration Name=\"Common\" "
         "project_type=\"Executable\" build_intermediate_directory=\"obj\" "
         "link_use_linker_script_file=\"Yes\" link_linker_script_file=\"board.ld\" "
         "linker_map_file=\"No\" build_always_rebuild=\"Yes\" />\n"
         "    <file file_name=\"a.c\">\n"
         "      <configuration Name=\"Common\" build_always_rebuild=\"No\" />\n"
         "    </file>\n  </project>\n");
    EXPECT_EQ(build(), BuildSomething);
    EXPECT_EQ(steps(), "compile a.c\nlink\n");
    EXPECT_EQ(build(BuildRequest::Kind::IsUpToDate), BuildSomething);
    EXPECT_EQ(build(), BuildSomething);
    EXPECT_EQ(steps(), "link\n");
}

// A relative working directory of a user step lies in the project directory, wherever the
// build was started from.
TEST_F(UserStepsTest, RelativeWorkingDirectoriesLieInTheProject) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("scripts"));
    std::string attributes;
    for (const char *step : {"pre_build", "linker_pre_build", "post_build"})
        attributes += std::string(step) + "_command=\"sh ../step.sh " + step + "\" " + step +
                      "_command_wd=\"scripts\" ";
    executable(attributes);
    EXPECT_EQ(build(), BuildSomething) << m_events.join('\n').toStdString();
    EXPECT_EQ(steps(), "pre_build\ncompile a.c\ncompile b.c\nlinker_pre_build\nlink\npost_build\n");
}

// Commands that always run are steps that ran: the project does not claim it had nothing to do.
TEST_F(UserStepsTest, AlwaysRunCommandsAreWorkDone) {
    executable("pre_build_command=\"sh step.sh pre\" pre_build_command_control=\"Always Run\" "
               "post_build_command=\"sh step.sh post\" "
               "post_build_command_control=\"Always Run\"");
    EXPECT_EQ(build(), BuildSomething);
    steps();
    EXPECT_EQ(build(), BuildSomething);
    EXPECT_EQ(steps(), "pre\npost\n");
    EXPECT_FALSE(has("message: nothing to do")) << m_events.join('\n').toStdString();
    EXPECT_EQ(build(BuildRequest::Kind::IsUpToDate), BuildNothing);
}

// A project taken out of the build runs nothing at all: no user step, no link of nothing.
TEST_F(UserStepsTest, AnExcludedProjectIsSkipped) {
    executable("build_exclude_from_build=\"Yes\" pre_build_command=\"sh step.sh pre\" "
               "pre_build_command_control=\"Always Run\"");
    EXPECT_EQ(build(BuildRequest::Kind::IsUpToDate), BuildNothing);
    EXPECT_EQ(build(), BuildNothing);
    EXPECT_EQ(steps(), "");
    EXPECT_TRUE(has("message: nothing to do"));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("Output/Debug/Exe/App.elf"))));
}

// The user steps of a project, in a make file of its build: make runs the same commands in
// the same order and under the same conditions as the engine, and "make -q" agrees with it.
TEST_F(UserStepsTest, AnExportedMakefileRunsTheUserStepsInTheEngineOrder) {
    REQUIRE_TOOL("make", "make");
    const std::string commands =
        "pre_build_command=\"sh step.sh pre-build\" "
        "compile_pre_build_command=\"sh step.sh pre-compile-$(InputName)\" "
        "compile_post_build_command=\"sh step.sh post-compile-$(InputName)\" "
        "linker_pre_build_command=\"sh step.sh pre-link\" "
        "linker_patch_build_command=\"sh step.sh patch\" "
        "post_build_command=\"sh step.sh post-build\" ";
    // The built-in driver with a post-link command that makes nothing; an external link with
    // one that writes a file of its own.
    const std::string builtIn = commands + "linker_post_build_command=\"sh step.sh post-link\"";
    const std::string external =
        commands + "external_link_command=\"sh step.sh link $(TargetPath)\" "
                   "linker_post_build_command=\"sh step.sh post-link $(PostLinkOutputFilePath)\" "
                   "linker_post_build_command_output_file=\"$(OutDir)/app.bin\"";
    const std::string all = "pre-build\npre-compile-a\ncompile a.c\npost-compile-a\n"
                            "pre-compile-b\ncompile b.c\npost-compile-b\n"
                            "pre-link\nlink\npatch\npost-link\npost-build\n";
    const std::string relink = "pre-build\npre-compile-b\ncompile b.c\npost-compile-b\n"
                               "pre-link\nlink\npatch\npost-link\npost-build\n";
    for (const std::string &attributes : {builtIn, external}) {
        SCOPED_TRACE(attributes);
        executable(attributes);
        EXPECT_EQ(build(BuildRequest::Kind::Rebuild), BuildSomething);
        EXPECT_EQ(steps(), all);
        EXPECT_EQ(build(), BuildNothing);
        touch("b.c");
        EXPECT_EQ(build(), BuildSomething);
        EXPECT_EQ(steps(), relink);

        EXPECT_EQ(make({"-q"}, true), 0);
        EXPECT_EQ(make({}), 0);
        EXPECT_EQ(steps(), ""); // nothing to do: no user step either
        touch("b.c");
        EXPECT_EQ(make({"-q"}), 1);
        EXPECT_EQ(steps(), "");
        EXPECT_EQ(make({}), 0);
        EXPECT_EQ(steps(), relink);
        EXPECT_EQ(build(), BuildNothing);
        EXPECT_EQ(build(BuildRequest::Kind::Clean), BuildSomething);
        EXPECT_EQ(make({}), 0);
        EXPECT_EQ(steps(), all);
        EXPECT_EQ(build(), BuildNothing);
        // In parallel the compiles may interleave, never the commands around the project's.
        EXPECT_EQ(build(BuildRequest::Kind::Clean), BuildSomething);
        EXPECT_EQ(make({"-j4"}), 0);
        const std::string parallel = steps();
        EXPECT_EQ(parallel.size(), all.size());
        EXPECT_EQ(parallel.rfind("pre-build\n", 0), 0u) << parallel;
        EXPECT_TRUE(parallel.ends_with("\npre-link\nlink\npatch\npost-link\npost-build\n"))
            << parallel;
        // A pre- and post-build command that always run do so with nothing else to do.
        executable(attributes + " pre_build_command_control=\"Always Run\" "
                                "post_build_command_control=\"Always Run\"");
        EXPECT_EQ(build(), BuildSomething);
        EXPECT_EQ(steps(), "pre-build\npost-build\n");
        EXPECT_EQ(make({"-q"}, true), 0);
        EXPECT_EQ(make({}), 0);
        EXPECT_EQ(steps(), "pre-build\npost-build\n");
        EXPECT_EQ(build(BuildRequest::Kind::Clean), BuildSomething);
    }
}

// An Object file project's pre- and post-build commands go with its compiles.
TEST_F(UserStepsTest, AnObjectFileProjectsCommandsUnderMake) {
    REQUIRE_TOOL("make", "make");
    load(project("Objs", "", file("a.c") + file("b.c"),
                 "pre_build_command=\"sh step.sh pre-build\" "
                 "post_build_command=\"sh step.sh post-build\""));
    EXPECT_EQ(make({}, true), 0);
    EXPECT_EQ(steps(), "pre-build\ncompile a.c\ncompile b.c\npost-build\n");
    EXPECT_EQ(make({}), 0);
    EXPECT_EQ(steps(), "");
    EXPECT_EQ(build(), BuildNothing);
    touch("a.c");
    EXPECT_EQ(make({}), 0);
    EXPECT_EQ(steps(), "pre-build\ncompile a.c\npost-build\n");
}

// Exporting the steps of a rebuild writes them all and removes nothing.
TEST_F(UserStepsTest, ExportingARebuildRemovesNothing) {
    load(project("Objs", "", file("a.c") + file("b.c")));
    EXPECT_EQ(build(), BuildSomething);
    BuildRequest request;
    request.kind = BuildRequest::Kind::Rebuild;
    request.configuration = "Debug";
    RecordingBuilder log;
    const std::vector<StepPlan> plans =
        BuildEngine(*m_system.solution(), m_registry, m_macros).exportSteps(request, log);
    EXPECT_EQ(plans.size(), 2u);
    EXPECT_TRUE(QFile::exists(obj("Objs/a")));
    EXPECT_TRUE(QFile::exists(obj("Objs/b.d")));
    EXPECT_EQ(build(), BuildNothing);
}

// A program or post-link output named like a source would overwrite it.
TEST_F(UserStepsTest, ALinkNeverWritesOverASource) {
    for (const std::string attributes :
         {"build_output_file_name=\"b.c\"",
          "linker_post_build_command=\"sh step.sh post-link $(PostLinkOutputFilePath)\" "
          "linker_post_build_command_output_file=\"a.c\""}) {
        SCOPED_TRACE(attributes);
        executable(attributes);
        const std::string source = attributes.starts_with("build_output") ? "b.c" : "a.c";
        EXPECT_EQ(build(), BuildFailed);
        EXPECT_TRUE(has("error: Output file " + QString::fromStdString(path(source)) +
                        " is a source file of the project"))
            << m_events.join('\n').toStdString();
        EXPECT_EQ(readFileBytes(path(source)), "int " + source.substr(0, 1) + ";\n");
        EXPECT_EQ(build(BuildRequest::Kind::IsUpToDate), BuildSomething);
    }
}

} // namespace
