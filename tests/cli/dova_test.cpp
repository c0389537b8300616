// dova as a user runs it: every case directory below tests/data/dova holds the input files,
// the arguments (one per line, run inside the directory, the output file added last) and the
// expected script, standard output and standard error.

#include "golden.h"
#include "toolrunner.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> readArguments(const std::string &path) {
    std::istringstream lines(readFileBytes(path));
    std::vector<std::string> arguments;
    for (std::string line; std::getline(lines, line);)
        arguments.push_back(line);
    return arguments;
}

// Standard output and error are compared only for the cases that expect something there.
void expectStream(const std::string &text, const std::string &golden) {
    bool exists = QFileInfo::exists(QString::fromStdString(testDataPath(golden)));
    if (exists || !text.empty())
        expectMatchesGolden(text, golden);
}

class DovaGolden : public ::testing::TestWithParam<const char *> {};

TEST_P(DovaGolden, WritesTheExpectedScript) {
    const std::string name = std::string("dova/") + GetParam();
    QTemporaryDir scratch;
    const std::string output = scratch.path().toStdString() + "/out.ld";
    std::vector<std::string> arguments = readArguments(testDataPath(name + "/args"));
    arguments.push_back(output);

    ToolResult result = runTool("dova", arguments, {}, testDataPath(name));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    expectMatchesGolden(readFileBytes(output), name + "/expected.ld");
    expectStream(result.out, name + "/expected.stdout");
    expectStream(result.err, name + "/expected.stderr");
}

INSTANTIATE_TEST_SUITE_P(Cases, DovaGolden,
                         ::testing::Values("worked-text", "no-placement", "memory-map-sections",
                                           "checks", "runin", "attributes", "wrap-riscv", "verbose",
                                           "place-from-end-warning", "discard", "candidates",
                                           "segments-option", "placement-segments",
                                           "vantrel-worked", "vantrel-attributes", "stack-sizes",
                                           "demo", "demo-without-core-ram",
                                           "place-from-end-aligned"),
                         [](const auto &info) {
                             std::string name = info.param;
                             for (char &c : name) {
                                 if (c == '-')
                                     c = '_';
                             }
                             return name;
                         });

} // namespace
