// Forth programs run through the built console: the word-family cases against their expected
// output, our core test harness, and cross-checks with gforth where the two languages agree.
#include "crosstool.h"
#include "golden.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const std::string kTestDir = FORTH_TEST_DIR;

std::vector<std::string> filesIn(const std::string &directory) {
    std::vector<std::string> files;
    for (const QString &name : QDir(QString::fromStdString(directory)).entryList({"*.fs"}))
        files.push_back(directory + "/" + name.toStdString());
    return files;
}

// What a user sees: standard output, then any error lines and a failing status.
std::string transcript(const ToolResult &result) {
    std::string text = result.out;
    if (!result.err.empty())
        text += "\n--- stderr\n" + result.err;
    if (result.exitCode != 0)
        text += "--- exit " + std::to_string(result.exitCode) + "\n";
    return text;
}

class ForthCases : public ::testing::TestWithParam<std::string> {};

// Each case is fed as console input, so an error is reported and the next line runs.
TEST_P(ForthCases, MatchesExpectedOutput) {
    std::string source = kTestDir + "/cases/" + GetParam() + ".fs";
    ToolResult result =
        runTool("qzforth", {}, readFileBytes(source), QDir::tempPath().toStdString());
    expectMatchesGolden(transcript(result), kTestDir + "/cases/" + GetParam() + ".out");
}

INSTANTIATE_TEST_SUITE_P(Families, ForthCases,
                         ::testing::Values("stack", "arithmetic", "memory", "control", "defining",
                                           "strings", "search", "exceptions", "files", "console"));

// Runs one of our T{ ... -> ... }T files after the tester and returns how many cases ran; every
// one of them must pass.
int runHarness(const std::string &name) {
    QTemporaryDir scratch; // the file words' cases write there
    ToolResult result =
        runTool("qzforth", {kTestDir + "/ans/tester.fs", kTestDir + "/ans/" + name, "-e", "REPORT"},
                {}, scratch.path().toStdString());
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
    EXPECT_EQ(result.err, "") << name;
    QRegularExpression summary("^(\\d+) cases, (\\d+) passed\n$");
    QRegularExpressionMatch match = summary.match(QString::fromStdString(result.out));
    EXPECT_TRUE(match.hasMatch()) << name << ":\n" << result.out;
    EXPECT_EQ(match.captured(1), match.captured(2)) << name << ":\n" << result.out;
    return match.captured(2).toInt();
}

TEST(ForthHarness, CoreTestsPass) {
    EXPECT_GE(runHarness("core.fs"), 300);
}

// One file per word set the standard names, each case written for the typed-cell model.
TEST(ForthHarness, WordSetTestsPass) {
    EXPECT_GE(runHarness("coreplus.fs"), 90);
    EXPECT_GE(runHarness("coreext.fs"), 50);
    EXPECT_GE(runHarness("double.fs"), 55);
    EXPECT_GE(runHarness("string.fs"), 40);
    EXPECT_GE(runHarness("more.fs"), 45);
}

// gforth reads the same file and leaves with `bye`; output must agree byte for byte.
void compareWithGforth(const std::string &file) {
    ToolResult ours = runTool("qzforth", {file});
    std::string gforth = QStandardPaths::findExecutable("gforth").toStdString();
    ToolResult theirs = runTool(gforth, {file, "-e", "bye"});
    EXPECT_EQ(ours.exitCode, 0) << file << ": " << ours.err;
    EXPECT_EQ(theirs.exitCode, 0) << file << ": " << theirs.err;
    EXPECT_EQ(ours.out, theirs.out) << file;
}

TEST(ForthGforth, ProgramsPrintTheSame) {
    REQUIRE_TOOL("gforth", "gforth");
    std::vector<std::string> files = filesIn(kTestDir + "/gforth");
    ASSERT_GE(files.size(), 3u);
    for (const std::string &file : files)
        compareWithGforth(file);
}

TEST(ForthGforth, BenchmarkProgramsPrintTheSame) {
    REQUIRE_TOOL("gforth", "gforth");
    std::vector<std::string> files = filesIn(FORTH_BENCH_DIR);
    ASSERT_EQ(files.size(), 3u);
    for (const std::string &file : files)
        compareWithGforth(file);
}

} // namespace
