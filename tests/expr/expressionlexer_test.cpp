#include "expr/expressionlexer.h"
#include "expr/parserexception.h"

#include "expressiontestengine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

namespace {

using Tokens = std::vector<std::pair<int, std::string>>;

Tokens tokensOf(Lexer &lexer, std::string_view text) {
    Tokens tokens;
    for (lexer.start(text); lexer.current().number != TokenEnd; lexer.advance())
        tokens.emplace_back(lexer.current().number, lexer.current().text);
    return tokens;
}

Tokens tokensOf(std::string_view text) {
    CStyleLexer lexer;
    return tokensOf(lexer, text);
}

std::string lexError(std::string_view text) {
    try {
        tokensOf(text);
    } catch (const ParserException &error) {
        return error.what();
    }
    return "no error";
}

TEST(ExpressionLexer, FirstRecogniserInOrderWins) {
    const std::pair<const char *, Tokens> cases[] = {
        {"0x1FULL", {{TokenHex, "0x1FULL"}}},
        {"0x10uL", {{TokenHex, "0x10u"}, {TokenIdentifier, "L"}}},
        {"0x", {{TokenHex, "0x"}}},
        {"0xfg", {{TokenHex, "0xf"}, {TokenIdentifier, "g"}}},
        {"0b1012", {{TokenBinary, "0b101"}, {TokenDecimal, "2"}}},
        {"1.5", {{TokenFraction, "1.5"}}},
        {"1.", {{TokenDecimal, "1"}, {TokenDot, "."}}},
        {"1.x", {{TokenDecimal, "1"}, {TokenDot, "."}, {TokenIdentifier, "x"}}},
        {"12ulL", {{TokenDecimal, "12ul"}, {TokenIdentifier, "L"}}},
        {"$a_1$", {{TokenIdentifier, "$a_1$"}}},
        {"@r0+@", {{TokenRegister, "@r0"}, {TokenPlus, "+"}, {TokenRegister, "@"}}},
        {"\"a\\\"b\"c", {{TokenString, "\"a\\\"b\""}, {TokenIdentifier, "c"}}},
        {"a->b", {{TokenIdentifier, "a"}, {TokenArrow, "->"}, {TokenIdentifier, "b"}}},
        {"a-->b",
         {{TokenIdentifier, "a"}, {TokenDecrement, "--"}, {TokenGt, ">"}, {TokenIdentifier, "b"}}},
        {"!==", {{TokenNe, "!="}, {TokenAssign, "="}}},
        {"&&=", {{TokenAndAnd, "&&"}, {TokenAssign, "="}}},
        {">>>=>>=>>>",
         {{TokenUnsignedRshiftAssign, ">>>="},
          {TokenRshiftAssign, ">>="},
          {TokenUnsignedRshift, ">>>"}}},
        {":::", {{TokenScope, "::"}, {TokenColon, ":"}}},
        {"+++", {{TokenIncrement, "++"}, {TokenPlus, "+"}}},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(tokensOf(text), expected) << text;
}

TEST(ExpressionLexer, SkipsUnicodeSpaceSeparatorsOnly) {
    // U+00A0, U+2009 and U+3000 are space separators; tab and line feed are not.
    EXPECT_EQ(tokensOf(" 1\xC2\xA0+\xE2\x80\x89 2\xE3\x80\x80"),
              (Tokens{{TokenDecimal, "1"}, {TokenPlus, "+"}, {TokenDecimal, "2"}}));
    EXPECT_EQ(lexError("1\t+2"), "unrecognised token: \t+2");
    EXPECT_EQ(lexError("1\n"), "unrecognised token: \n");
}

TEST(ExpressionLexer, UnrecognisedTokenShowsTheRestOfTheInput) {
    EXPECT_EQ(lexError("1 + # 2"), "unrecognised token: # 2");
    EXPECT_EQ(lexError("\"open"), "unrecognised token: \"open");
    EXPECT_EQ(lexError("'c'"), "unrecognised token: 'c'");
}

TEST(ExpressionLexer, MacrosAreReadInPlaceOfTheirIdentifier) {
    TableLexer lexer;
    lexer.macros = {{"SIZE", "4*K"}, {"K", "1024"}, {"SAME", "SAME"}};
    EXPECT_EQ(tokensOf(lexer, "SIZE+SAME"), (Tokens{{TokenDecimal, "4"},
                                                    {TokenStar, "*"},
                                                    {TokenDecimal, "1024"},
                                                    {TokenPlus, "+"},
                                                    {TokenIdentifier, "SAME"}}));

    // A token of a replacement reports the position after the replaced identifier.
    lexer.start("1 + SIZE ;");
    lexer.advance();
    lexer.advance();
    EXPECT_EQ(lexer.current().text, "4");
    EXPECT_EQ(lexer.position(), 8u);
}

TEST(ExpressionLexer, RecursiveMacroStopsAtDepth100) {
    TableLexer lexer;
    lexer.macros = {{"X", "X+1"}};
    const Tokens tokens = tokensOf(lexer, "X");
    ASSERT_EQ(tokens.size(), 1 + 2 * Lexer::kMaxMacroDepth);
    EXPECT_EQ(tokens.front(), (std::pair<int, std::string>{TokenIdentifier, "X"}));
}

TEST(ExpressionLexer, MacroExpansionIsBounded) {
    TableLexer lexer;
    auto error = [&lexer](std::string_view text) -> std::string {
        try {
            tokensOf(lexer, text);
        } catch (const ParserException &error) {
            return error.what();
        }
        return "no error";
    };
    // Doubling at every level, and a single huge replacement.
    lexer.macros = {{"A", "B B"}, {"B", "C C"}, {"C", "A A"}, {"HUGE", std::string(2 << 20, ' ')}};
    EXPECT_EQ(error("A"), "macro expansion too large");
    EXPECT_EQ(error("HUGE"), "macro expansion too large");
    lexer.macros = {{"ONE", "1"}};
    std::string manyUses;
    for (int i = 0; i < 5000; ++i)
        manyUses += "ONE+";
    EXPECT_EQ(error(manyUses + "1"), "no error");
}

TEST(ExpressionLexer, IntegerLiterals) {
    EXPECT_EQ(readIntegerLiteral("0x1f")->value, 31u);
    EXPECT_EQ(readIntegerLiteral("0X1f"), std::nullopt);
    EXPECT_EQ(readIntegerLiteral("0x")->value, 0u);
    EXPECT_EQ(readIntegerLiteral("0b101")->value, 5u);
    EXPECT_EQ(readIntegerLiteral("42")->value, 42u);
    EXPECT_FALSE(readIntegerLiteral("42")->isUnsigned);
    EXPECT_TRUE(readIntegerLiteral("42ul")->isUnsigned);
    EXPECT_EQ(readIntegerLiteral("42uL"), std::nullopt);
    EXPECT_TRUE(readIntegerLiteral("0xffUL")->isUnsigned);
    EXPECT_EQ(readIntegerLiteral("18446744073709551615")->value, UINT64_MAX);
    EXPECT_EQ(readIntegerLiteral("0xffffffffffffffff")->value, UINT64_MAX);
    EXPECT_EQ(readIntegerLiteral("12a"), std::nullopt);
    EXPECT_EQ(readIntegerLiteral(""), std::nullopt);
    EXPECT_EQ(readIntegerLiteral("-1"), std::nullopt);
    EXPECT_THROW(readIntegerLiteral("18446744073709551616"), ParserException);
    EXPECT_THROW(readIntegerLiteral("0x10000000000000000"), ParserException);
    EXPECT_THROW(readIntegerLiteral("0b" + std::string(65, '1')), ParserException);
}

TEST(ExpressionLexer, FractionLiterals) {
    EXPECT_EQ(readFractionLiteral("1.25"), 1.25);
    EXPECT_EQ(readFractionLiteral("1" + std::string(400, '0') + ".5"),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(readFractionLiteral("000.0" + std::string(400, '0') + "1"), 0.0);
}

TEST(ExpressionLexer, StringLiteralEscapes) {
    EXPECT_EQ(readStringLiteral(R"("a\tb\n")"), "a\tb\n");
    EXPECT_EQ(readStringLiteral(R"("\x41\101\0z")"), std::string("AA\0z", 4));
    EXPECT_EQ(readStringLiteral(R"("\"\\\q")"), "\"\\q");
    EXPECT_EQ(readStringLiteral(R"("\x")"), "x");
    EXPECT_EQ(readStringLiteral(R"("\x1234")"), "\x34");
}

} // namespace
