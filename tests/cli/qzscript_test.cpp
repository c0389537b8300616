#include "toolrunner.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <regex>

namespace {

std::string writeScript(const QTemporaryDir &dir, const char *name, const std::string &text) {
    std::string path = dir.filePath(QString::fromLatin1(name)).toStdString();
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    return path;
}

} // namespace

TEST(QzScript, PrintsTheProgramValueUnlessUndefined) {
    ToolResult r = runTool("qzscript", {"-e", "print('a', 1, null); 6 * 7"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "a 1 null\n42\n");
    EXPECT_EQ(r.err, "");
    r = runTool("qzscript", {"-e", "var x = 1"});
    EXPECT_EQ(r.out, "");
    r = runTool("qzscript", {"-e", "'text'"});
    EXPECT_EQ(r.out, "text\n");
    r = runTool("qzscript", {"-e", "[1, [2, 3]]"});
    EXPECT_EQ(r.out, "1,2,3\n");
    r = runTool("qzscript", {"-e", "print()"});
    EXPECT_EQ(r.out, "\n");
}

TEST(QzScript, RunsFilesAndStandardInputWithArguments) {
    QTemporaryDir dir;
    std::string path =
        writeScript(dir, "args.js", "print(arguments.length, arguments.join('|'))\n");
    ToolResult r = runTool("qzscript", {path, "one", "two words", "-e"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "3 one|two words|-e\n");
    r = runTool("qzscript", {"-", "x"}, "print('from stdin', arguments[0])");
    EXPECT_EQ(r.out, "from stdin x\n");
    r = runTool("qzscript", {"-e", "arguments.length", "a", "b"});
    EXPECT_EQ(r.out, "2\n");
    r = runTool("qzscript", {"-e", "'\xc3\xa9t\xc3\xa9'.length + ' \xc3\xa9t\xc3\xa9'"});
    EXPECT_EQ(r.out, "3 \xc3\xa9t\xc3\xa9\n");
}

TEST(QzScript, ReportsScriptErrorsAsTheConsoleDoes) {
    QTemporaryDir dir;
    std::string path = writeScript(dir, "fails.js", "print('before')\nvar o = {}\n  o.nothing()\n");
    ToolResult r = runTool("qzscript", {path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "before\n");
    EXPECT_EQ(r.err, "not a function object\n" + path + ":3\n  o.nothing()\n");
    r = runTool("qzscript", {"-e", "x = (1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "expected ) found end of input\n-e:1\nx = (1\n");
}

TEST(QzScript, ReportsFatalErrors) {
    ToolResult r = runTool("qzscript", {"-e", "function f() { return f(); } f()"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "fatal error: virtual machine stack too small\n");
}

TEST(QzScript, OutputThatCannotBeWrittenFails) {
    const std::string tool = toolPath("qzscript");
    for (const std::string &arguments :
         {std::string("-e 'print(1)'"), std::string("-e '1 + 1'"), std::string("--help"),
          std::string("-e 'for (var i = 0; i < 100000; i++) print(i)'")}) {
        ToolResult r = runTool("/bin/sh", {"-c", "exec " + tool + " " + arguments + " >/dev/full"});
        EXPECT_EQ(r.exitCode, 1) << arguments;
        EXPECT_EQ(r.err, "error: cannot write standard output: No space left on device\n")
            << arguments;
    }
}

TEST(QzScript, ListingPrintsByteCodeAndRuns) {
    ToolResult r = runTool("qzscript", {"--listing", "-e", "function f(a) { return a; } f(5)"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("0000:  GETA\ta\n0003:  RET\n0004:  RETU\n0000:  CLOSURE\t#0\n", 0), 0u);
    EXPECT_NE(r.out.find("CALLG\tf [idx="), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "5\n");
}

TEST(QzScript, CommandLineErrorsAndHelp) {
    ToolResult r = runTool("qzscript", {"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("usage: qzscript [--listing] FILE [ARG...]\n", 0), 0u);
    EXPECT_NE(r.out.find("--listing"), std::string::npos);
    r = runTool("qzscript", {});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error: no script given (see qzscript --help)\n");
    r = runTool("qzscript", {"-x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error: unknown option '-x' (see qzscript --help)\n");
    r = runTool("qzscript", {"-e"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error: option -e needs a SOURCE\n");
    r = runTool("qzscript", {"/nonexistent/script.js"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("error: cannot open /nonexistent/script.js: ", 0), 0u);
    EXPECT_EQ(r.out, "");
}

TEST(QzScript, MemoryLimitAndCollectorStatistics) {
    // Garbage far beyond the limit is collected; what stays reachable is not.
    const char *garbage = "for (var i = 0; i < 200000; i++) { var o = {k: i, s: 'x' + i}; } 'done'";
    ToolResult r = runTool("qzscript", {"--memory-limit", "8M", "--gc-stats", "-e", garbage});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "done\n");
    EXPECT_TRUE(std::regex_match(r.err, std::regex("collections: [1-9][0-9]*\nfreed bytes: "
                                                   "[1-9][0-9]*\ntotal pause: [0-9.]+ ms\n"
                                                   "longest pause: [0-9.]+ ms\n")))
        << r.err;
    r = runTool("qzscript", {"--memory-limit", "8M", "-e",
                             "var keep = []; for (;;) keep.push({k: keep.length})"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "fatal error: out of memory\n");
    // The statistics come also after an error; without the option nothing is added.
    r = runTool("qzscript", {"--gc-stats", "-e", "x.y"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("collections: "), std::string::npos);
    r = runTool("qzscript", {"-e", "1"});
    EXPECT_EQ(r.err, "");

    for (const char *bad : {"", "12X", "-5", "K", "99999999999999999999", "20000000000G"}) {
        r = runTool("qzscript", {"--memory-limit", bad, "-e", "1"});
        EXPECT_EQ(r.exitCode, 1) << bad;
        EXPECT_NE(r.err.find("bad --memory-limit"), std::string::npos) << bad;
    }
    r = runTool("qzscript", {"--memory-limit"});
    EXPECT_EQ(r.err, "error: option --memory-limit needs BYTES\n");
    r = runTool("qzscript", {"--memory-limit", "0", "-e", "'no limit'"});
    EXPECT_EQ(r.out, "no limit\n");
}
