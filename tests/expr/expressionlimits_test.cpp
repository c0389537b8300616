// Hostile sizes: deep nesting, long chains and self-amplifying text must end in a result or a
// ParserException, never in a stack overflow or unbounded memory.
#include "expr/expression.h"
#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include <gtest/gtest.h>

namespace {

// A recursive walk would overflow the stack long before these lengths; the sanitizer's
// allocator makes the full million slow, so checked builds walk a fifth of it.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kChainTerms = 200000;
#else
constexpr std::size_t kChainTerms = 1000000;
#endif
constexpr std::size_t kPostfixChain = kChainTerms / 5;

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

TEST(ExpressionLimits, LongChainIsWalkedWithoutRecursion) {
    SimpleExpressionParser parser;
    const std::string text = "1" + repeated("+1", kChainTerms - 1);
    auto tree = parser.parse(text);
    ASSERT_TRUE(tree);
    EXPECT_EQ(tree->evaluate().toSigned(), std::int64_t(kChainTerms));

    const std::string shown = tree->toString();
    EXPECT_EQ(shown.size(), (kChainTerms - 1) * 6 + 3);
    EXPECT_EQ(shown.substr(shown.size() - 10), "+0x1)+0x1)");

    auto copy = tree->duplicate();
    std::size_t visited = 0;
    copy->visit([](Expression &, void *count) { ++*static_cast<std::size_t *>(count); }, &visited);
    EXPECT_EQ(visited, 2 * kChainTerms - 1);
    tree.reset();
    copy.reset();
}

TEST(ExpressionLimits, LongPostfixChainsEvaluateIteratively) {
    SimpleExpressionParser parser;
    auto calls = parser.parse("f" + repeated("()", kPostfixChain));
    ASSERT_TRUE(calls);
    EXPECT_EQ(calls->nodeCount(), kPostfixChain + 1);
    try {
        calls->evaluate();
        FAIL() << "no error";
    } catch (const ParserException &error) {
        EXPECT_STREQ(error.what(), "f symbol not found");
    }
    auto members = parser.parse("s" + repeated(".m", kPostfixChain));
    EXPECT_EQ(members->toString().size(), 2 * kPostfixChain + 1);
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
