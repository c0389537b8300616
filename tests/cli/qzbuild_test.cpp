// qzbuild as a user runs it: -parse-log (records, summaries, exit status, bad input),
// -export-compile-commands on a solution, and builds with their exit status and interrupts.
#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>

#include <signal.h>
#include <unistd.h>

namespace {

class Qzbuild : public ScratchDirTest {
protected:
    ToolResult parseLog(const std::string &log) {
        return runTool("qzbuild", {"-parse-log", "-"}, log, path(""));
    }
};

TEST_F(Qzbuild, HelpAndBadUsage) {
    ToolResult help = runTool("qzbuild", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzbuild SOLUTION -config NAME [-project NAME]\n", 0), 0u)
        << help.out;
    EXPECT_NE(help.out.find("  -parse-log FILE|-"), std::string::npos);
    EXPECT_EQ(help.err, "");

    ToolResult none = runTool("qzbuild", {});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, help.out);

    ToolResult unknown = runTool("qzbuild", {"-frobnicate"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err.rfind("error: unknown mode -frobnicate\nusage:", 0), 0u) << unknown.err;

    for (std::vector<std::string> arguments :
         {std::vector<std::string>{"-parse-log"}, {"-parse-log", "a", "b"}}) {
        ToolResult missing = runTool("qzbuild", arguments);
        EXPECT_EQ(missing.exitCode, 1);
        EXPECT_EQ(missing.err, "error: -parse-log needs one file name, or - for standard input\n");
        EXPECT_EQ(missing.out, "");
    }
}

TEST_F(Qzbuild, PrintsRecordsAndSummary) {
    write("src/main.c", "int main(void) { return 0 }\n");
    const std::string main = path("src/main.c");
    ToolResult run = parseLog("gcc -c src/main.c\n"
                              "src/main.c: In function 'main':\n"
                              "src/main.c:2:2: warning: #warning \"error: board not configured\"\n"
                              "    2 | #warning \"error: board not configured\"\n"
                              "      |  ^~~~~~~\n"
                              "src/main.c:1:27: error: expected ';' before '}' token\n"
                              "    3 |   printf(\"error: %d\\n\", v);\n"
                              "src/main.c:1:1: note: declared here\n"
                              "missing.c:4: warning: gone\n"
                              "collect2: error: ld returned 1 exit status\n"
                              "make: *** [all] Error 2\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, main + ":2:2: warning: #warning \"error: board not configured\"\n" + main +
                           ":1:27: error: expected ';' before '}' token\n" + main +
                           ":1:1: note: declared here\n"
                           ":4:0: warning: gone\n"
                           ":0:0: error: ld returned 1 exit status\n"
                           "2 Errors\n"
                           "2 Warnings\n"
                           "1 Note\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(Qzbuild, ALogWithoutErrorsSucceeds) {
    ToolResult warnings = parseLog("a.c:1:1: warning: w\nInfo: done\n");
    EXPECT_EQ(warnings.exitCode, 0);
    EXPECT_EQ(warnings.out, ":1:1: warning: w\n:0:0: note: done\n1 Warning\n1 Note\n");
    ToolResult empty = parseLog("");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");
}

TEST_F(Qzbuild, AwkwardBytes) {
    write("a.c", "\n");
    const std::string a = path("a.c");
    // CRLF, colours, invalid UTF-8, and a last line without a line break.
    ToolResult run = parseLog("a.c:1:1: warning: crlf\r\n"
                              "\x1b[01m\x1b[Ka.c:2:3:\x1b[m\x1b[K \x1b[01;31merror: \x1b[mcolour\n"
                              "a.c:3:1: note: bad \xff byte\n"
                              "a.c:4:1: error: no newline");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, a + ":1:1: warning: crlf\n" + a + ":2:3: error: colour\n" + a +
                           ":3:1: note: bad \xef\xbf\xbd byte\n" + a +
                           ":4:1: error: no newline\n2 Errors\n1 Warning\n1 Note\n");
    EXPECT_EQ(run.err, "");

    // Binary garbage: NUL bytes in what looks like a file name are no file, and say nothing.
    ToolResult binary = parseLog(std::string("a\0b.c:1:1: error: x\n\x01\xfe:\0:\n", 26));
    EXPECT_EQ(binary.exitCode, 1);
    EXPECT_EQ(binary.out, ":1:1: error: x\n1 Error\n");
    EXPECT_EQ(binary.err, "");
}

TEST_F(Qzbuild, ReadsFilesAndRefusesWhatItCannotRead) {
    write("build.log", "x.c:9:1: error: e\n");
    ToolResult file = runTool("qzbuild", {"-parse-log", path("build.log")}, {}, path(""));
    EXPECT_EQ(file.exitCode, 1);
    EXPECT_EQ(file.out, ":9:1: error: e\n1 Error\n");

    ToolResult missing = runTool("qzbuild", {"-parse-log", path("none.log")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "error: cannot open " + path("none.log") + ": No such file or directory\n");

    ToolResult directory = runTool("qzbuild", {"-parse-log", path("")});
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_EQ(directory.out, "");
    EXPECT_EQ(directory.err, "error: cannot read " + path("") + ": Is a directory\n");
}

TEST_F(Qzbuild, LongLogsStreamThrough) {
    std::string log;
    for (int i = 1; i <= 50000; ++i)
        log += "f.c:" + std::to_string(i) + ":1: warning: w\n    " + std::to_string(i) +
               " | int error: x;\n";
    ToolResult run = parseLog(log);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 50001);
    EXPECT_EQ(run.out.rfind(":1:1: warning: w\n:2:1: warning: w\n", 0), 0u);
    const std::string tail = ":50000:1: warning: w\n50000 Warnings\n";
    ASSERT_GE(run.out.size(), tail.size());
    EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail);
}

class QzbuildExport : public ScratchDirTest {
protected:
    QzbuildExport() {
        write("compile.qzProject", readFileBytes(testDataPath("build/compile/compile.qzProject")));
    }
    ToolResult run(std::vector<std::string> arguments) {
        return runTool("qzbuild", arguments, {}, path(""));
    }
    QJsonArray entries(const std::string &name) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(readFileBytes(path(name))))
            .array();
    }
    static QStringList arguments(const QJsonValue &entry) {
        QStringList words;
        for (const QJsonValue &word : entry[QStringLiteral("arguments")].toArray())
            words << word.toString();
        return words;
    }
};

TEST_F(QzbuildExport, WritesBesideTheSolutionAndOnlyWhenChanged) {
    const std::string json = path("compile_commands.json");
    ToolResult first = run({"compile.qzProject", "-config", "Debug", "-export-compile-commands",
                            "-D", "TovanDir=/opt/tovan"});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "Wrote " + json + " (6 entries)\n");
    EXPECT_EQ(first.err, "");
    const QJsonArray all = entries("compile_commands.json");
    ASSERT_EQ(all.size(), 6);
    EXPECT_EQ(all[0][QStringLiteral("file")].toString().toStdString(), path("src/main.c"));
    EXPECT_EQ(all[0][QStringLiteral("directory")].toString().toStdString(),
              m_dir.path().toStdString());
    const QStringList main = arguments(all[0]);
    EXPECT_EQ(main.mid(0, 4),
              QStringList({"/opt/tovan/bin/cc", "-xc", "-DSOLUTION_WIDE", "-DDEBUG=1"}));
    EXPECT_EQ(all[5][QStringLiteral("file")].toString().toStdString(), path("cpp/lib.c"));

    ToolResult again = run({"compile.qzProject", "-config", "Debug", "-DTovanDir=/opt/tovan",
                            "-export-compile-commands"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "Unchanged " + json + " (6 entries)\n");
}

TEST_F(QzbuildExport, OneProjectToANamedFile) {
    ToolResult run = this->run({"-export-compile-commands", "cpp.json", "-config", "Release",
                                "-project", "App", "compile.qzProject"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("compile_commands.json"))));
    const QJsonArray app = entries("cpp.json");
    // Release leaves out the file excluded there, and the other project.
    ASSERT_EQ(app.size(), 4);
    EXPECT_TRUE(arguments(app[0]).contains("-we"));
    EXPECT_TRUE(arguments(app[0]).contains("-UDEBUG"));
}

TEST_F(QzbuildExport, RefusesBadRequestsWithoutWriting) {
    const std::string solution = "compile.qzProject";
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{solution, "-export-compile-commands"}, "no configuration given (-config NAME)"},
        {{"-config", "Debug", "-export-compile-commands"}, "no solution file given"},
        {{solution, "-config", "Nope", "-export-compile-commands"},
         "configuration Nope is not defined in compile.qzProject"},
        {{solution, "-config", "Debug", "-project", "Nope", "-export-compile-commands"},
         "no project Nope in compile.qzProject"},
        {{solution, "-config", "Debug", "-clean", "-rebuild"},
         "-clean and -rebuild cannot be combined"},
        {{solution, "-config", "Debug", "-j", "129"},
         "-j needs a number from 0 to 128, not \"129\""},
        {{solution, "-config", "Debug", "-export-compile-commands", "-frobnicate"},
         "unknown option -frobnicate"},
        {{solution, "-config"}, "-config needs a value"},
        // An empty value is none, not every project nor a build instead of an export.
        {{solution, "-config", "Debug", "-project", "", "-export-compile-commands"},
         "-project needs a value"},
        {{solution, "-config", "Debug", "-export-makefile", ""}, "-export-makefile needs a value"},
        {{solution, "-config", "Debug", "-export-compile-commands", ""},
         "-export-compile-commands needs a value"},
        {{solution, "-config", "Debug", "-D", "=1", "-export-compile-commands"},
         "-D needs NAME=VALUE, not \"=1\""},
        {{solution, "other.qzProject", "-config", "Debug", "-export-compile-commands"},
         "more than one solution given: compile.qzProject and other.qzProject"},
    };
    for (const Case &c : cases) {
        ToolResult run = this->run(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.error;
        EXPECT_EQ(run.err, "error: " + c.error + "\n");
        EXPECT_EQ(run.out, "");
    }
    // A solution that does not load: its loader's message.
    write("broken.qzProject", "<solution Name=\"x\"");
    ToolResult broken = run({"broken.qzProject", "-config", "Debug", "-export-compile-commands"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err.rfind("error: ", 0), 0u) << broken.err;
    ToolResult missing = run({"missing.qzProject", "-config", "Debug", "-export-compile-commands"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("error: ", 0), 0u) << missing.err;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("compile_commands.json"))));
}

// An export never lands on the solution's own files or its sources, however they are named.
TEST_F(QzbuildExport, NeverWritesOverTheSolutionOrASource) {
    write("src/main.c", "int main;\n");
    write("inner.qzProject", "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"Inner\" />\n");
    std::string outer = readFileBytes(path("compile.qzProject"));
    outer.insert(outer.rfind("</solution>"), "<import file_name=\"inner.qzProject\" />\n");
    write("compile.qzProject", outer);
    ASSERT_EQ(::symlink("src/main.c", path("link.c").c_str()), 0);
    // The name given, and the file it names as the error shows it.
    const std::pair<std::string, std::string> names[] = {{"compile.qzProject", "compile.qzProject"},
                                                         {"./src/main.c", "src/main.c"},
                                                         {"link.c", "link.c"},
                                                         {"inner.qzProject", "inner.qzProject"}};
    for (const std::string option : {"-export-makefile", "-export-compile-commands"}) {
        for (const auto &[name, shown] : names) {
            // There a solution's name is taken for the solution, never for the file.
            if (option == "-export-compile-commands" && name.ends_with(".qzProject"))
                continue;
            const std::string before = readFileBytes(path(shown));
            ToolResult run = this->run({"compile.qzProject", "-config", "Debug", option, name});
            EXPECT_EQ(run.exitCode, 1) << option << " " << name;
            EXPECT_EQ(run.err,
                      "error: Output file " + path(shown) + " is a source file of the project\n");
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(readFileBytes(path(shown)), before) << option << " " << name;
        }
    }
}

// A language server reads an entry as written: the definitions and include directories it
// carries are what makes the source parse.
TEST_F(QzbuildExport, ClangdAcceptsAnEntry) {
    REQUIRE_TOOL("clangd", "clangd");
    write("include/board.h", "#define BOARD_LEDS 4\n");
    const std::string source =
        write("src/main.c", "#include \"board.h\"\n"
                            "int leds(void) { return BOARD_LEDS + DEBUG; }\n");
    const std::string clangd = QStandardPaths::findExecutable("clangd").toStdString();
    for (const char *configuration : {"Debug", "Release"}) {
        ToolResult run =
            this->run({"compile.qzProject", "-config", configuration, "-export-compile-commands"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ToolResult check = runTool(clangd, {"--check=" + source}, {}, path(""), 120000);
        if (std::string(configuration) == "Debug") {
            EXPECT_EQ(check.exitCode, 0) << check.err;
            EXPECT_NE(check.err.find("All checks completed, 0 errors"), std::string::npos)
                << check.err;
        } else {
            // Release undefines DEBUG: the same source must now fail.
            EXPECT_NE(check.exitCode, 0) << check.err;
            EXPECT_NE(check.err.find("use of undeclared identifier 'DEBUG'"), std::string::npos)
                << check.err;
        }
    }
}

} // namespace

// Building from the shell with a stand-in compiler driver in the scratch directory's bin/:
// it copies the source to the object and names the source in the dependency file, or, with the flag
// file "sleep" present, writes half an object and waits for a sleep it started (pid in cc.pid).
class QzbuildBuild : public ScratchDirTest {
protected:
    QzbuildBuild() {
        write("bin/cc", "#!/bin/sh\n"
                        "while [ $# -gt 0 ]; do case \"$1\" in -c) src=$2; shift ;; -o) out=$2; "
                        "shift ;; -depend) dep=$2; shift ;; esac; shift; done\n"
                        "if [ -e sleep ]; then echo half > \"$out\"; sleep 30 & echo $! > "
                        "cc.pid; wait; fi\n"
                        "if grep -q SYNTAX \"$src\"; then echo \"$src:1:1: error: bad\"; exit 1; "
                        "fi\n"
                        "cat \"$src\" > \"$out\"\necho \"$out: $src\" > \"$dep\"\n");
        QFile::setPermissions(QString::fromStdString(path("bin/cc")), QFileDevice::ReadOwner |
                                                                          QFileDevice::WriteOwner |
                                                                          QFileDevice::ExeOwner);
        write("s.qzProject", "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"S\">\n"
                             "  <configuration Name=\"Debug\" />\n  <project Name=\"App\">\n"
                             "    <configuration Name=\"Common\" project_type=\"Object file\" "
                             "build_intermediate_directory=\"obj\" />\n"
                             "    <file file_name=\"a.c\" />\n  </project>\n</solution>\n");
        write("a.c", "int a;\n");
    }
    std::vector<std::string> build(std::vector<std::string> extra = {}) {
        std::vector<std::string> words{"s.qzProject", "-config", "Debug", "-D",
                                       "TovanDir=" + m_dir.path().toStdString()};
        words.insert(words.end(), extra.begin(), extra.end());
        return words;
    }
    ToolResult run(std::vector<std::string> extra = {}) {
        return runTool("qzbuild", build(std::move(extra)), {}, path(""));
    }
    static std::string lastLine(const std::string &text) {
        const std::size_t end = text.find_last_not_of('\n');
        const std::size_t start = text.rfind('\n', end);
        return text.substr(start == std::string::npos ? 0 : start + 1, end - start);
    }
};

TEST_F(QzbuildBuild, ExitStatusFollowsTheResult) {
    ToolResult outOfDate = run({"-uptodate"});
    EXPECT_EQ(outOfDate.exitCode, 1);
    EXPECT_EQ(outOfDate.out, "Project out of date\n");

    ToolResult first = run();
    EXPECT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(lastLine(first.out), "Build complete");
    ToolResult again = run({"-j", "1"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(lastLine(again.out), "Build up to date");
    ToolResult upToDate = run({"-uptodate"});
    EXPECT_EQ(upToDate.exitCode, 0);
    EXPECT_EQ(upToDate.out, "Project up to date\n");

    // The tool's own line goes through verbatim, then the final status line.
    write("a.c", "SYNTAX\n");
    ToolResult failed = run({"-rebuild"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.out.find("\n" + path("a.c") + ":1:1: error: bad\n"), std::string::npos)
        << failed.out;
    EXPECT_EQ(lastLine(failed.out), "Build failed");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("obj/a"))));
}

TEST_F(QzbuildBuild, AnInterruptKillsTheToolsAndExits130) {
    write("sleep", "");
    QProcess qzbuild;
    qzbuild.setWorkingDirectory(m_dir.path());
    QStringList arguments;
    for (const std::string &word : build())
        arguments << QString::fromStdString(word);
    qzbuild.start(QString::fromStdString(toolPath("qzbuild")), arguments);
    ASSERT_TRUE(qzbuild.waitForStarted());
    const QString pidFile = QString::fromStdString(path("cc.pid"));
    for (int i = 0; i < 1000 && QFileInfo(pidFile).size() == 0; ++i)
        QThread::msleep(20);
    const pid_t sleeper = std::stoi(readFileBytes(path("cc.pid")));
    ::kill(pid_t(qzbuild.processId()), SIGINT);
    ASSERT_TRUE(qzbuild.waitForFinished(20000));
    EXPECT_EQ(qzbuild.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(qzbuild.exitCode(), 130);
    EXPECT_EQ(lastLine(qzbuild.readAllStandardOutput().toStdString()), "Build terminated");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("obj/a"))));
    bool gone = false;
    for (int i = 0; i < 250 && !gone; ++i) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(sleeper));
        gone = !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        if (!gone)
            QThread::msleep(20);
    }
    EXPECT_TRUE(gone) << "the compiler's child outlived the build";
}

// The external builder's side: requests on standard input, each answered with the build's
// output and final status line; a bad line costs only itself.
TEST_F(QzbuildBuild, ServerAnswersRequestsOfTheProtocol) {
    const std::string tovan = "TovanDir=" + m_dir.path().toStdString();
    ToolResult served = runTool(
        "qzbuild", {"-server", "s.qzProject", "-D", tovan},
        "build 1 'Debug' 1\nbogus\nbuild 1 'Debug' 1\n"
        "modified 1 'build_always_rebuild' Yes\nbuildonly 1 'Debug' 0\nbuild 42 'Debug' 1\n",
        path(""));
    EXPECT_EQ(served.exitCode, 0) << served.err;
    const std::string out = served.out;
    const std::size_t first = out.find("Build complete\n");
    const std::size_t bad = out.find("error: line 2: unknown request 'bogus'\n");
    const std::size_t second = out.find("Build up to date\n");
    const std::size_t third = out.find("Build complete\n", second);
    EXPECT_TRUE(first < bad && bad < second && second < third && third != std::string::npos) << out;
    EXPECT_NE(out.find("error: no node #42\n"), std::string::npos) << out;

    ToolResult missing = runTool("qzbuild", {"-server"}, {}, path(""));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "error: -server needs a solution file\n");
}
