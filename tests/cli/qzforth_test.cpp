// qzforth as a user runs it: options, files, -e code, console input and exit status.
#include "golden.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

class Qzforth : public ::testing::Test {
protected:
    std::string file(const std::string &name, const std::string &text) {
        std::string path = m_dir.path().toStdString() + "/" + name;
        writeFileBytes(path, text);
        return path;
    }
    QTemporaryDir m_dir;
};

TEST_F(Qzforth, HelpVersionAndWordList) {
    ToolResult help = runTool("qzforth", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzforth [-e CODE]... [FILE]...\n", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    ToolResult version = runTool("qzforth", {"--version"});
    EXPECT_EQ(version.out, "Palindor Forth 1.0.0\n");
    ToolResult words = runTool("qzforth", {"--words"});
    EXPECT_EQ(words.exitCode, 0);
    EXPECT_NE(words.out.find("\nDUP              primitive\n"), std::string::npos);
    EXPECT_NE(words.out.find("\nIF               immediate\n"), std::string::npos);
    EXPECT_NE(words.out.find("\nCREATE           ordinary\n"), std::string::npos);
    for (const char *line : {"\nUM/MOD           primitive\n", "\nS\\\"              immediate\n",
                             "\n{:               immediate\n", "\nSUBSTITUTE       ordinary\n",
                             "\nD.R              primitive\n", "\nDEFER            ordinary\n"})
        EXPECT_NE(words.out.find(line), std::string::npos) << line;
}

TEST_F(Qzforth, BadOptions) {
    ToolResult unknown = runTool("qzforth", {"--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err.rfind("error: unknown option --frobnicate\nusage:", 0), 0u)
        << unknown.err;
    ToolResult missing = runTool("qzforth", {"-e"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err.rfind("error: -e needs an argument\n", 0), 0u);
}

TEST_F(Qzforth, CodeFromTheCommandLine) {
    ToolResult run = runTool("qzforth", {"-e", "1 2 + . S\" text\" TYPE"}, "99 .\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "3 text") << "no banner, no prompt, standard input not read";
    EXPECT_EQ(run.err, "");
    run = runTool("qzforth", {"-e", ": SQ DUP * ;", "-e", "7 SQ ."});
    EXPECT_EQ(run.out, "49 ");
}

TEST_F(Qzforth, AnUncaughtErrorEndsCommandLineCode) {
    ToolResult run = runTool("qzforth", {"-e", "1 . FOO 2 .", "-e", "3 ."});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "1 ");
    EXPECT_EQ(run.err, "undefined word: FOO\n");
    run = runTool("qzforth", {"-e", ": X IF ;"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "control structure mismatch: no <colon-sys> on control stack; "
                       "unterminated control structure?\n");
    run = runTool("qzforth", {"-e", "-300 THROW"});
    EXPECT_EQ(run.err, "-300 THROW undefined\n");
    run = runTool("qzforth", {"-e", "-1 ABORT\" stop here\""});
    EXPECT_EQ(run.err, "stop here\n");
}

TEST_F(Qzforth, FilesThenStandardInput) {
    std::string first = file("first.fs", ": GREET .\" hello \" ;\n");
    std::string second = file("second.fs", "GREET 1 .\n");
    ToolResult run = runTool("qzforth", {first, second}, "GREET 2 .\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "hello 1 hello 2 ");
    // Files and code interleave in command-line order.
    run = runTool("qzforth", {"-e", "5", first, second, "-e", "."});
    EXPECT_EQ(run.out, "hello 1 5 ");
}

TEST_F(Qzforth, AnErrorInAFileEndsTheRunWithItsLocation) {
    std::string bad = file("bad.fs", "1 .\n\n2 . OOPS 3 .\n4 .\n");
    ToolResult run = runTool("qzforth", {bad}, "5 .\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "1 2 ");
    EXPECT_EQ(run.err, "undefined word: OOPS\n  at " + bad + ":3\n");
    std::string missing = m_dir.path().toStdString() + "/missing.fs";
    run = runTool("qzforth", {missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "i/o error 2\n");
    std::string nested = file("nested.fs", "INCLUDE " + bad + "\n");
    run = runTool("qzforth", {nested});
    EXPECT_EQ(run.err, "undefined word: OOPS\n  at " + bad + ":3\n");
}

TEST_F(Qzforth, ADirectoryIsNotASourceFile) {
    std::string dir = m_dir.path().toStdString();
    ToolResult run = runTool("qzforth", {dir});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "i/o error 21: " + dir + " is a directory\n");
    run = runTool("qzforth", {"-e", "S\" " + dir + "\" INCLUDED 1 ."});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "i/o error 21: " + dir + " is a directory\n");
    // OPEN-FILE answers the error instead of a handle that reads nothing.
    run = runTool("qzforth", {"-e", "S\" " + dir + "\" R/O OPEN-FILE . ."});
    EXPECT_EQ(run.out, "21 0 ");
}

// Standard output going to a full device: the run must not claim success.
TEST_F(Qzforth, UnwritableOutputFails) {
    for (const QStringList &arguments :
         {QStringList{"-e", "1 ."}, QStringList{"--help"}, QStringList{}}) {
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        process.start(QString::fromStdString(toolPath("qzforth")), arguments);
        process.write("1 .\n");
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(process.readAllStandardError().startsWith(
            "error: cannot write standard output: No space left on device"))
            << arguments.join(' ').toStdString();
    }
}

TEST_F(Qzforth, ConsoleGoesOnAfterAnError) {
    ToolResult run = runTool("qzforth", {}, "1 2\nNOPE 3 .\n.S\n1 0 /\n4 .\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "<0> 4 ");
    EXPECT_EQ(run.err, "undefined word: NOPE\ndivide by zero\n");
}

TEST_F(Qzforth, ConsoleInputSpansLines) {
    ToolResult run = runTool("qzforth", {},
                             ": SUM ( a b -- c )\n  +\n;\n2 3 SUM .\n"
                             "0 [IF]\n1 .\n[ELSE]\n2 .\n[THEN]\n( a\ncomment ) 6 .\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "5 2 ");
    EXPECT_EQ(run.err, "undefined word: comment\n") << "a console comment ends with its line";
}

TEST_F(Qzforth, ByeEndsTheRun) {
    ToolResult run = runTool("qzforth", {}, "1 . BYE\n2 .\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "1 ");
    run = runTool("qzforth", {"-e", "7 . BYE 8 ."});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "7 ");
}

TEST_F(Qzforth, RunawayRecursionIsAnErrorNotACrash) {
    ToolResult run = runTool("qzforth", {"-e", ": DOWN RECURSE ; DOWN"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "return stack overflow\n");
}

} // namespace
