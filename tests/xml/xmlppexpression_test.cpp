#include "xml/xmlppexpression.h"

#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include <gtest/gtest.h>

namespace {

// Texts the direct reading accepts and texts it must leave to the evaluator; every one must
// give what the evaluator alone gives.
const char *const kTexts[] = {
    "0",
    "4",
    "+4",
    "0010",
    "0x20000000",
    "+0x100",
    "0xffffFFFF",
    "0x100000000",
    "0xFFFFFFFFFFFFFFFF",
    "0x10000000000000000",
    "9223372036854775807",
    "9223372036854775808",
    "18446744073709551615",
    "18446744073709551616",
    "0000000000000000000000012",
    "+",
    "",
    "0x",
    "0X10",
    "0x1G",
    "1u",
    "0x10UL",
    "0b101",
    "1.5",
    "-1",
    "+-1",
    "++1",
    "+ 4",
    " 4",
    "4 ",
    "1+2",
    "(3)",
    "0x1 0x2",
    "'a'",
    "\"s\"",
    "x",
};

std::optional<std::uint64_t> evaluatorUnsigned(const char *text) {
    try {
        return evaluateUnsignedConstant(text);
    } catch (const ParserException &) {
        return std::nullopt;
    }
}

std::optional<std::int64_t> evaluatorSigned(const char *text) {
    try {
        return evaluateSignedConstant(text);
    } catch (const ParserException &) {
        return std::nullopt;
    }
}

bool evaluatorCondition(const char *text) {
    try {
        return *text && evaluateConstantExpression(text).toBoolean();
    } catch (const ParserException &) {
        return false;
    }
}

} // namespace

TEST(DocumentExpressions, SameResultsAsTheEvaluator) {
    for (const char *text : kTexts) {
        EXPECT_EQ(evaluateDocumentUnsigned(text), evaluatorUnsigned(text)) << text;
        EXPECT_EQ(evaluateDocumentSigned(text), evaluatorSigned(text)) << text;
        EXPECT_EQ(evaluateDocumentCondition(text), evaluatorCondition(text)) << text;
    }
}

TEST(DocumentExpressions, LineBreaksAndTabsCountAsBlanks) {
    EXPECT_EQ(evaluateDocumentUnsigned("\n\t0x10 *\r\n 2\t"), 32u);
    EXPECT_EQ(evaluateDocumentSigned("1 -\n3"), -2);
    EXPECT_TRUE(evaluateDocumentCondition("\t1 ==\n1"));
    EXPECT_FALSE(evaluateDocumentCondition("\t0\n"));
    EXPECT_FALSE(evaluateDocumentUnsigned("\t"));
}

TEST(DocumentExpressions, UpperHex) {
    char buffer[19];
    EXPECT_EQ(formatUpperHex(0, buffer), "0x0");
    EXPECT_EQ(formatUpperHex(0x4000, buffer), "0x4000");
    EXPECT_EQ(formatUpperHex(0xDEADbeef, buffer), "0xDEADBEEF");
    EXPECT_EQ(formatUpperHex(UINT64_MAX, buffer), "0xFFFFFFFFFFFFFFFF");
}

TEST(DocumentValues, PlainNumbersInCNotation) {
    EXPECT_EQ(readPlainNumber("42"), 42u);
    EXPECT_EQ(readPlainNumber(" 0x1F\n"), 31u);
    EXPECT_EQ(readPlainNumber("0X10"), 16u);
    EXPECT_EQ(readPlainNumber("017"), 15u);
    EXPECT_EQ(readPlainNumber("0"), 0u);
    EXPECT_EQ(readPlainNumber("18446744073709551615"), UINT64_MAX);
    EXPECT_FALSE(readPlainNumber("18446744073709551616"));
    EXPECT_FALSE(readPlainNumber("08"));
    EXPECT_FALSE(readPlainNumber("0x"));
    EXPECT_FALSE(readPlainNumber(""));
    EXPECT_FALSE(readPlainNumber("12k"));
    EXPECT_FALSE(readPlainNumber("-1"));
    EXPECT_FALSE(readPlainNumber("$(SIZE)"));
}

TEST(DocumentValues, YesFlagsAndBlanks) {
    EXPECT_TRUE(isYesValue("Yes"));
    EXPECT_TRUE(isYesValue("yEs"));
    EXPECT_FALSE(isYesValue("yes "));
    EXPECT_FALSE(isYesValue("Y"));
    EXPECT_FALSE(isYesValue("yeS!"));
    EXPECT_EQ(trimDocumentBlanks(" \t\r\n a b\n"), "a b");
    EXPECT_EQ(trimDocumentBlanks("\t"), "");
}
