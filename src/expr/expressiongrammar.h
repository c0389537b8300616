#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BaseType;
class Expression;
class ExpressionParser;
class Lexer;

// The precedence-climbing parser behind ExpressionParser::parse. Binary levels run from -4
// (",") to 9 ("*"); every level is left-associative.
class ExpressionGrammar {
public:
    // Parentheses, unary operators, nested structures and declarators may nest this deep;
    // beyond it the text fails with "expression too deeply nested" instead of exhausting
    // the stack.
    static constexpr int kMaxNesting = 256;

    ExpressionGrammar(ExpressionParser &parser, Lexer &lexer) : m_parser(parser), m_lexer(lexer) {}

    // A whole expression (level -4), starting at the lexer's current token.
    std::unique_ptr<Expression> parseExpression() { return parseBinary(-4); }

private:
    class NestingGuard;
    using Node = std::unique_ptr<Expression>;

    Node parseBinary(int level);
    Node combine(int token, Node left, Node right);
    Node parseUnary();
    Node parsePrimary();
    Node parsePostfix(Node operand);
    Node parseIdentifier();
    Node parseName();
    Node parseParenthesis();
    Node parseCall(Node function);
    Node increment(Node target, bool decrement, bool duplicateTarget);

    std::unique_ptr<BaseType> parseTypeName();
    std::unique_ptr<BaseType> parseStruct();
    std::unique_ptr<BaseType> parseRegister();
    std::unique_ptr<BaseType> parseDeclarators(std::unique_ptr<BaseType> type);

    // A copy for the operators that name their target twice ("x += 1" is "x = x + 1").
    // Copies are what could make a short text build a huge tree ("x++++++..." doubles at each
    // step), so they are bounded by the length of the text.
    Node duplicate(const Expression &expression);

    bool at(int token) const;
    bool atIdentifier(const char *word) const;
    bool atInteger() const;
    const std::string &text() const;
    void advance();
    void expect(int token, const char *message);
    std::uint64_t integerValue() const;

    ExpressionParser &m_parser;
    Lexer &m_lexer;
    int m_nesting = 0;
    std::size_t m_copiedNodes = 0;
};
