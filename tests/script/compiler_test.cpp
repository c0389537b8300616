#include "scripttesting.h"

#include "script/escode.h"
#include "script/escontext.h"
#include "script/esexception.h"
#include "script/eslexer.h"
#include "script/esobject.h"
#include "script/estoken.h"

#include "golden.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QString listingOf(const QString &source) {
    ESContext context;
    QString listing;
    context.setListingOutput([&](const QString &text) { listing += text; });
    context.setDebugFlags(ESContext::kDebugListing);
    ScriptOutcome outcome = runScript(context, source);
    EXPECT_FALSE(outcome.threw) << outcome.text.toStdString();
    return listing;
}

} // namespace

// The listing of representative constructs, one golden file per group.
class CompilerListing : public testing::TestWithParam<const char *> {};

TEST_P(CompilerListing, MatchesGolden) {
    std::string dir = testDataPath(std::string("script/listing/") + GetParam());
    QString source = QString::fromStdString(readFileBytes(dir + "/input.js"));
    expectMatchesGolden(listingOf(source).toStdString(), dir + "/expected.txt");
}

INSTANTIATE_TEST_SUITE_P(Constructs, CompilerListing,
                         testing::Values("expressions", "assignments", "calls", "closures", "loops",
                                         "switch_with", "literals"));

TEST(CompilerListing, FormatsEveryOperandKind) {
    QString listing = listingOf(QStringLiteral("function f(a) { var l; return a + l; }\n"
                                               "x = 3.5; f(x); z = [1, 2]; y = 'text';"));
    EXPECT_TRUE(listing.contains(QStringLiteral("0000:  GETA\ta\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("  GETL\tl\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("  NUM\t3.5\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("  STR\ttext\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("  MKARRAY\t#2\n")));
    EXPECT_TRUE(listing.contains(QStringLiteral("  CLOSURE\t#0\n")));
    EXPECT_TRUE(
        listing.contains(QRegularExpression(QStringLiteral("  CALLG\tf \\[idx=\\d+\\], #1\n"))));
    EXPECT_TRUE(listing.contains(QRegularExpression(QStringLiteral("  PUTG\tx \\[idx=\\d+\\]\n"))));
}

TEST(CompilerListing, IsOnlyPrintedWhenAsked) {
    ESContext context;
    QString listing;
    context.setListingOutput([&](const QString &text) { listing += text; });
    runScript(context, QStringLiteral("function f() {} f();"));
    EXPECT_TRUE(listing.isEmpty());
}

// Code generation choices that the listing shows.
TEST(CompilerCode, LiteralKeysCompileToNamedAccess) {
    QString dot = listingOf(QStringLiteral("var o = {}; o.a;"));
    QString quoted = listingOf(QStringLiteral("var o = {}; o[\"a\"];"));
    EXPECT_EQ(dot, quoted);
    EXPECT_TRUE(listingOf(QStringLiteral("var o = {}; o[1];")).contains(QStringLiteral("GETF\t1")));
}

TEST(CompilerCode, ValuesNotNeededAndWithoutEffectEmitNothing) {
    QString listing = listingOf(QStringLiteral("var a; a + 1; a.b; 'x'; 2;"));
    EXPECT_FALSE(listing.contains(QStringLiteral("ADD")));
    EXPECT_FALSE(listing.contains(QStringLiteral("GETF")));
    EXPECT_TRUE(listingOf(QStringLiteral("var a; a = 1; 2;")).contains(QStringLiteral("PUTG")));
}

TEST(CompilerCode, ForConditionLessThanUsesJlt) {
    EXPECT_TRUE(
        listingOf(QStringLiteral("for (var i = 0; i < 3; i++) ;")).contains(QStringLiteral("JLT")));
    EXPECT_FALSE(listingOf(QStringLiteral("for (var i = 0; i != 3; i++) ;"))
                     .contains(QStringLiteral("JLT")));
}

TEST(CompilerCode, MaterialisedFunctionsUseActivationForms) {
    QString listing =
        listingOf(QStringLiteral("function f(p) { var l = p; return function() { return l; }; }"));
    EXPECT_TRUE(listing.contains(QStringLiteral("GETAM\tp")));
    EXPECT_TRUE(listing.contains(QStringLiteral("PUTLM\tl")));
    EXPECT_TRUE(listing.contains(QStringLiteral("GETW\tl")));
    EXPECT_FALSE(listing.contains(QStringLiteral("GETA\t")));
}

// Every compile-time message, with the line it names and that line's text.
struct CompileError {
    const char *source;
    const char *message;
    int line;
    const char *sourceLine;
};

void PrintTo(const CompileError &e, std::ostream *os) {
    *os << testLabel(e.message) << "__" << testLabel(e.source);
}

class CompilerErrors : public testing::TestWithParam<CompileError> {};

TEST_P(CompilerErrors, ReportMessageLineAndSourceLine) {
    const CompileError &e = GetParam();
    ESContext context;
    ScriptOutcome outcome = runScript(context, QString::fromUtf8(e.source));
    ASSERT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.text, QString::fromUtf8(e.message));
    EXPECT_EQ(outcome.line, e.line);
    EXPECT_EQ(outcome.sourceLine, QString::fromUtf8(e.sourceLine));
    EXPECT_EQ(outcome.fileName, QStringLiteral("test.js"));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CompilerErrors,
    testing::Values(
        CompileError{"x = 1;\ny = @;", "unknown character '@'", 2, "y = @;"},
        CompileError{"x = \"caf\xc3\xa9\";\ny = \xc3\xa9;", "unknown character '\xc3\xa9'", 2,
                     "y = \xc3\xa9;"},
        CompileError{"x = 019;", "digit '9' is not radix 8", 1, "x = 019;"},
        CompileError{"x = 0xfg;", "digit 'g' is not radix 16", 1, "x = 0xfg;"},
        CompileError{"x = 'abc\nd';", "newline in string constant", 1, "x = 'abc"},
        CompileError{"\nx = \"abc", "end of file in string constant", 2, "x = \"abc"},
        CompileError{"x = '\\x4';", "malformed hex escape sequence", 1, "x = '\\x4';"},
        CompileError{"x = '\\u12g4';", "malformed hex escape sequence", 1, "x = '\\u12g4';"},
        CompileError{"a === b;", "expected ; found ===", 1, "a === b;"},
        CompileError{"x !== y;", "expected ; found !==", 1, "x !== y;"},
        CompileError{"if (a b", "expected ) found an identifier", 1, "if (a b"},
        CompileError{"f(1,\n", "expected an expression, found end of input", 2, ""},
        CompileError{"x = try;", "expected an expression, found try", 1, "x = try;"},
        CompileError{"throw 5;", "expected an expression, found throw", 1, "throw 5;"},
        CompileError{"x = [1\n2];", "']' or ',' expected, found a number", 2, "2];"},
        CompileError{"x = {if: 1};", "number, string, or identifier expected in object initialiser",
                     1, "x = {if: 1};"},
        CompileError{"for (var a, b in o);", "too many variables in for-in expression", 1,
                     "for (var a, b in o);"},
        CompileError{"for (var in o);", "too many variables in for-in expression", 1,
                     "for (var in o);"},
        CompileError{"x = 1;\nreturn x;", "return not in a function", 2, "return x;"},
        CompileError{"switch (x) {\ndefault: ;\ndefault: ;\n}", "default case already defined", 3,
                     "default: ;"},
        CompileError{"switch (x) { x; }",
                     "expected 'case' or 'default' but found 'an "
                     "identifier'",
                     1, "switch (x) { x; }"},
        CompileError{"x = 1;\nbreak;\ny = 2;", "'break' not in a 'for' or 'while' loop", 2,
                     "break;"},
        CompileError{"while (x) {\n  break nowhere;\n}", "can't find label nowhere", 2,
                     "  break nowhere;"},
        CompileError{"L: {\n  continue L;\n}", "labeled 'continue' doesn't mark a loop", 2,
                     "  continue L;"},
        CompileError{"x = 1;\n1 = x;", "not lsh?", 2, "1 = x;"},
        CompileError{"f() += 1;", "not lsh?", 1, "f() += 1;"},
        CompileError{"++x++;", "not lsh?", 1, "++x++;"},
        CompileError{"delete 5;", "not lsh?", 1, "delete 5;"},
        CompileError{"for (f() in o);", "not lsh?", 1, "for (f() in o);"},
        CompileError{"function f() {\n  return 1\n}\n}", "expected an expression, found }", 4, "}"},
        CompileError{"o.if = 1;", "expected an identifier found if", 1, "o.if = 1;"}));

TEST(CompilerErrors, CarryNoFileNameWhenTheEvaluationHasNone) {
    ESContext context;
    ScriptOutcome outcome = runScript(context, QStringLiteral("x = ;"), QString());
    ASSERT_TRUE(outcome.threw);
    EXPECT_FALSE(outcome.hasFileName);
    EXPECT_EQ(outcome.line, 1);
}

TEST(CompilerErrors, FailedCompilationRegistersNothing) {
    ESContext context;
    int functions = context.functionCount();
    int globals = context.globalObject()->m_properties.size();
    ScriptOutcome outcome =
        runScript(context, QStringLiteral("function f() {}\nnewGlobal = 1;\nx = ;"));
    ASSERT_TRUE(outcome.threw);
    EXPECT_EQ(context.functionCount(), functions);
    EXPECT_EQ(context.globalObject()->m_properties.size(), globals);
    EXPECT_EQ(runScript(context, QStringLiteral("typeof f")).text, QStringLiteral("undefined"));
}

// One code object is limited to 64 KiB because jump targets are 16 bits.
TEST(CompilerLimits, JumpBeyond64KiBIsFatal) {
    QString straight = QStringLiteral("x = 1;\n").repeated(20000);
    ESContext context;
    EXPECT_EQ(runScript(context, straight + QStringLiteral("x")).text, QStringLiteral("1"));
    try {
        context.evaluate(QString(), straight + QStringLiteral("if (x) y = 2;"));
        FAIL() << "no fatal error";
    } catch (const ESFatalError &e) {
        EXPECT_STREQ(e.what(), "compiler error: patch constant too large");
    }
    // The context stays usable.
    EXPECT_EQ(runScript(context, QStringLiteral("2 + 2")).text, QStringLiteral("4"));
}

TEST(CompilerLimits, DeepNestingIsASyntaxErrorNotACrash) {
    for (const QString &source :
         {QStringLiteral("x = ") + QStringLiteral("(").repeated(100000) + QStringLiteral("1"),
          QStringLiteral("if (1) ").repeated(100000) + QStringLiteral("x = 1;"),
          QStringLiteral("x = ") + QStringLiteral("[").repeated(100000),
          QStringLiteral("x = ") + QStringLiteral("!").repeated(100000) + QStringLiteral("1"),
          QStringLiteral("x = ") + QStringLiteral("f(").repeated(100000),
          QStringLiteral("x = 1") + QStringLiteral("+1").repeated(300000),
          // Declarations nest through source elements, not statements.
          QStringLiteral("function f() {").repeated(30000)}) {
        ESContext context;
        ScriptOutcome outcome = runScript(context, source);
        ASSERT_TRUE(outcome.threw);
        EXPECT_EQ(outcome.text, QStringLiteral("nesting too deep"));
    }
}

TEST(CompilerLimits, LongFlatProgramsCompile) {
    QString sum = QStringLiteral("x = 0") + QStringLiteral("+1").repeated(5000);
    EXPECT_EQ(evalText(sum), "5000");
    QString statements =
        QStringLiteral("y = 0;") + QStringLiteral("y++;").repeated(100000) + QStringLiteral("y");
    EXPECT_EQ(evalText(statements), "100000");
}

TEST(CompilerLimits, ArrayLiteralsBeyondTheCountOperandAreFatal) {
    QString many =
        QStringLiteral("x = [") + QStringLiteral("1,").repeated(70000) + QStringLiteral("1];");
    ESContext context;
    EXPECT_THROW(context.evaluate(QString(), many), ESFatalError);
}

TEST(CompilerLexer, EndsOfInputInComments) {
    expectValues({{"x = 1; // trailing", "1"},
                  {"x = 2; /* never closed", "2"},
                  {"x = 3; /* two\nlines */ x", "3"}});
}

TEST(CompilerLexer, CountsLinesAtLineFeedsOnly) {
    ESContext context;
    ScriptOutcome outcome = runScript(context, QStringLiteral("x = 1;\r\ny = 2;\r\nz = ;"));
    ASSERT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.line, 3);
    EXPECT_EQ(outcome.sourceLine, QStringLiteral("z = ;"));
    outcome = runScript(context, QStringLiteral("x = 1;\ry = ;"));
    EXPECT_EQ(outcome.line, 1);
}

TEST(CompilerLexer, KeywordTableHasExactlyTheLanguageWords) {
    const char *words[] = {"break",    "case",    "catch",   "class",  "const",    "continue",
                           "debugger", "default", "delete",  "do",     "else",     "enum",
                           "export",   "extends", "finally", "for",    "function", "if",
                           "import",   "in",      "new",     "return", "super",    "switch",
                           "this",     "throw",   "try",     "typeof", "var",      "void",
                           "while",    "with",    "true",    "false",  "null"};
    ASSERT_EQ(std::size(words), std::size_t(kKeywordCount));
    for (const char *w : words) {
        int code = esKeyword(QString::fromLatin1(w));
        EXPECT_NE(code, 0) << w;
        EXPECT_EQ(esTokenName(code), QString::fromLatin1(w));
    }
    for (const char *notKeyword : {"instanceof", "let", "Break", "functions", ""})
        EXPECT_EQ(esKeyword(QString::fromLatin1(notKeyword)), 0) << notKeyword;
    // A code beyond the table is named, not read past its end.
    EXPECT_EQ(esTokenName(300), QStringLiteral("token<300>"));
}
