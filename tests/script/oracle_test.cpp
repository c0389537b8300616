// The same programs, run by qzscript and by two independent interpreters, must print the
// same text. The programs stay inside the language's standard rules; where this engine
// differs on purpose the programs avoid the difference. The differences are:
//   - an integral number prints all its digits however large (1e21 prints 22 digits);
//   - `!!NaN` is true and the empty text converts to NaN;
//   - there are no `===`, `!==`, `instanceof` or `in` operators, no try, catch or throw,
//     no regular expressions, no Function.prototype.call or apply, and Arrays have no
//     splice, unshift or indexOf;
//   - String replace replaces every occurrence of plain text, match answers undefined and
//     trim also collapses inner white space; strings cannot be indexed with brackets;
//   - Array join and sort treat undefined elements as the text "undefined"; the sort is a
//     Shell sort, not stable; concat keeps holes;
//   - getDay and getUTCDay count from 1 (Monday) to 7 (Sunday);
//   - parseInt needs the whole first word to be digits and reads a leading 0 as octal;
//   - toFixed rounds as printf does (an exact half goes to the even digit);
//   - Math.round is floor(x + 0.5);
//   - for-in visits names in the order of the string pool, not of insertion;
//   - a named function expression assigns itself to its name in the enclosing scope;
//   - eval of text that does not compile answers undefined;
//   - a call evaluates its arguments before its receiver.
// Programs named NAME.duk.js go where mujs itself is wrong, and are compared with duktape
// only.
#include "crosstool.h"
#include "toolrunner.h"

#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> oraclePrograms() {
    std::vector<std::string> names;
    const QStringList files =
        QDir(QStringLiteral(SCRIPT_ORACLE_DIR)).entryList({QStringLiteral("*.js")}, QDir::Files);
    for (const QString &file : files)
        names.push_back(file.toStdString());
    return names;
}

std::string absolute(const char *tool) {
    return QStandardPaths::findExecutable(QString::fromLatin1(tool)).toStdString();
}

} // namespace

class Oracle : public testing::TestWithParam<std::string> {
protected:
    void expectSameOutput(const char *peer) {
        std::string path = std::string(SCRIPT_ORACLE_DIR) + "/" + GetParam();
        ToolResult ours = runTool("qzscript", {path});
        ToolResult theirs = runTool(absolute(peer), {path});
        ASSERT_EQ(ours.exitCode, 0) << ours.err;
        ASSERT_EQ(theirs.exitCode, 0) << theirs.err;
        EXPECT_EQ(ours.out, theirs.out);
    }
};

TEST_P(Oracle, DuktapePrintsTheSame) {
    REQUIRE_TOOL("duk", "duktape");
    expectSameOutput("duk");
}

TEST_P(Oracle, MujsPrintsTheSame) {
    if (GetParam().ends_with(".duk.js"))
        GTEST_SKIP() << "mujs itself differs from the standard here";
    REQUIRE_TOOL("mujs", "mujs");
    expectSameOutput("mujs");
}

INSTANTIATE_TEST_SUITE_P(Programs, Oracle, testing::ValuesIn(oraclePrograms()),
                         [](const testing::TestParamInfo<std::string> &info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

TEST(Oracle, HasPrograms) {
    EXPECT_GE(oraclePrograms().size(), 4u);
}
