// Hostile sizes: deep nesting, long chains and self-amplifying text must end in a result or a
// ParserException, never in a stack overflow or unbounded memory.
#include "target/expression.h"
#include "target/parserexception.h"
#include "target/simpleexpressionparser.h"

#include <gtest/gtest.h>

namespace {

std::string repeated(std::string_view piece, std::size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::string parseError(const std::string &text) {
    SimpleExpressionParser parser;
    try {
        parser.parse(text);
    } catch (const ParserException &error) {
        return error.what();
    }
    return "no error";
}

TEST(ExpressionLimits, DeepNestingIsRefused) {
    const std::string tooDeep = "expression too deeply nested";
    EXPECT_EQ(parseError(repeated("(", 100000) + "1" + repeated(")", 100000)), tooDeep);
    EXPECT_EQ(parseError(repeated("-", 100000) + "1"), tooDeep);
    EXPECT_EQ(parseError(repeated("!~", 50000) + "1"), tooDeep);
    EXPECT_EQ(parseError("a" + repeated("[a", 100000)), tooDeep);
    EXPECT_EQ(parseError(repeated("(int)", 100000) + "1"), tooDeep);
    EXPECT_EQ(parseError("(int" + repeated("*", 100000) + ")x"), tooDeep);
    EXPECT_EQ(parseError("sizeof(int" + repeated("[1]", 100000) + ")"), tooDeep);
    EXPECT_EQ(parseError("(" + repeated("struct{", 100000)), tooDeep);

    // Ordinary depths still work.
    SimpleExpressionParser parser;
    EXPECT_EQ(parser.evaluate(repeated("(", 200) + "7" + repeated(")", 200)).toSigned(), 7);
    EXPECT_EQ(parser.evaluate(repeated("- ", 200) + "7").toSigned(), 7);
}

TEST(ExpressionLimits, MillionTermChainIsWalkedWithoutRecursion) {
    SimpleExpressionParser parser;
    const std::string text = "1" + repeated("+1", 999999);
    auto tree = parser.parse(text);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->evaluate().toSigned(), 1000000);

    const std::string shown = tree->toString();
    EXPECT_EQ(shown.size(), 999999 * 6 + 3);
    EXPECT_EQ(shown.substr(shown.size() - 10), "+0x1)+0x1)");

    auto copy = tree->duplicate();
    std::size_t visited = 0;
    copy->visit([](Expression &, void *count) { ++*static_cast<std::size_t *>(count); }, &visited);
    EXPECT_EQ(visited, 1999999u);
    tree.reset();
    copy.reset();
}

TEST(ExpressionLimits, LongPostfixChainsEvaluateIteratively) {
    SimpleExpressionParser parser;
    auto calls = parser.parse("f" + repeated("()", 200000));
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls->nodeCount(), 200001u);
    try {
        calls->evaluate();
        FAIL() << "no error";
    } catch (const ParserException &error) {
        EXPECT_STREQ(error.what(), "f symbol not found");
    }
    auto members = parser.parse("s" + repeated(".m", 200000));
    EXPECT_EQ(members->toString().size(), 400001u);
}

TEST(ExpressionLimits, SelfCopyingTextIsBounded) {
    // Each postfix increment copies its whole operand, so the tree would double per "++".
    EXPECT_EQ(parseError("x" + repeated("++", 60)), "expression too complex");
    EXPECT_EQ(parseError("x" + repeated("+=1", 60)), "expression too complex");
    EXPECT_EQ(parseError(repeated("--", 60) + "x"), "expression too complex");
    // Ordinary copies are unaffected.
    SimpleExpressionParser parser;
    auto tree = parser.parse("a.b[c].d += 1");
    EXPECT_EQ(tree->toString(), "(a.b[c].d=(a.b[c].d+0x1))");
}

} // namespace
