#include "expr/expressiongrammar.h"

#include "expr/expression.h"
#include "expr/expressionlexer.h"
#include "expr/expressionparser.h"
#include "expr/expressiontypes.h"
#include "expr/parserexception.h"

namespace {

using Node = std::unique_ptr<Expression>;

template <typename T> Node makeBinary(ExpressionParser *parser, Node left, Node right) {
    return std::make_unique<T>(parser, std::move(left), std::move(right));
}

struct OperatorEntry {
    int token;
    int compoundToken; // TokenEnd when there is none
    Node (*make)(ExpressionParser *, Node, Node);
};

constexpr OperatorEntry kOperators[] = {
#define OPERATOR_EXPRESSION(Class, Operator, Text, Token, CompoundToken)                           \
    {Token, CompoundToken, makeBinary<Class>},
#include "expr/expressionoperators.def"
#undef OPERATOR_EXPRESSION
    {TokenAndAnd, TokenEnd, makeBinary<LogicalAndExpression>},
    {TokenOrOr, TokenEnd, makeBinary<LogicalOrExpression>},
    {TokenAssign, TokenEnd, makeBinary<AssignExpression>},
};

bool isBasicTypeWord(const std::string &word) {
    static constexpr const char *words[] = {"signed", "unsigned", "char",  "short",
                                            "int",    "long",     "float", "double"};
    for (const char *basic : words) {
        if (word == basic)
            return true;
    }
    return false;
}

bool isQualifier(const std::string &word) {
    return word == "const" || word == "volatile";
}

Node integerConstant(ExpressionParser *parser, std::int64_t value) {
    return std::make_unique<IntegerConstantExpression>(parser, ExpressionValue(value, 8));
}

// Copies beyond this many nodes per token read make a text "too complex".
constexpr std::size_t kCopiedNodesPerToken = 4;
constexpr std::size_t kCopiedNodesAllowance = 1024;

} // namespace

class ExpressionGrammar::NestingGuard {
public:
    explicit NestingGuard(ExpressionGrammar &grammar) : m_grammar(grammar) {
        if (m_grammar.m_nesting == kMaxNesting)
            throw ParserException("expression too deeply nested");
        ++m_grammar.m_nesting;
    }
    ~NestingGuard() { --m_grammar.m_nesting; }
    NestingGuard(const NestingGuard &) = delete;
    NestingGuard &operator=(const NestingGuard &) = delete;

private:
    ExpressionGrammar &m_grammar;
};

bool ExpressionGrammar::at(int token) const {
    return m_lexer.current().number == token;
}

bool ExpressionGrammar::atIdentifier(const char *word) const {
    return at(TokenIdentifier) && m_lexer.current().text == word;
}

bool ExpressionGrammar::atInteger() const {
    return at(TokenDecimal) || at(TokenHex) || at(TokenBinary);
}

const std::string &ExpressionGrammar::text() const {
    return m_lexer.current().text;
}

void ExpressionGrammar::advance() {
    m_lexer.advance();
}

void ExpressionGrammar::expect(int token, const char *message) {
    if (!at(token))
        throw ParserException(message);
    advance();
}

std::uint64_t ExpressionGrammar::integerValue() const {
    // The lexer only makes integer tokens of text that reads as one.
    return readIntegerLiteral(text())->value;
}

ExpressionGrammar::Node ExpressionGrammar::duplicate(const Expression &expression) {
    m_copiedNodes += expression.nodeCount();
    if (m_copiedNodes > kCopiedNodesPerToken * m_lexer.tokenCount() + kCopiedNodesAllowance)
        throw ParserException("expression too complex");
    return expression.duplicate();
}

ExpressionGrammar::Node ExpressionGrammar::parseBinary(int level) {
    Node left = parseUnary();
    for (;;) {
        const int precedence = m_lexer.current().precedence;
        if (precedence == kNotBinary || precedence < level)
            return left;
        const int token = m_lexer.current().number;
        advance();
        Node right = parseBinary(precedence + 1);
        left = combine(token, std::move(left), std::move(right));
    }
}

ExpressionGrammar::Node ExpressionGrammar::combine(int token, Node left, Node right) {
    ExpressionParser *parser = &m_parser;
    for (const OperatorEntry &entry : kOperators) {
        if (entry.token == token)
            return entry.make(parser, std::move(left), std::move(right));
        if (entry.compoundToken == token) {
            Node target = duplicate(*left);
            return std::make_unique<AssignExpression>(
                parser, std::move(target), entry.make(parser, std::move(left), std::move(right)));
        }
    }
    throw ParserException("operator not supported");
}

ExpressionGrammar::Node ExpressionGrammar::increment(Node target, bool decrement,
                                                     bool duplicateTarget) {
    // Prefix forms store into the operand and add to its copy, postfix forms the other way
    // round; either way the value is the updated one.
    Node copy = duplicate(*target);
    Node &stored = duplicateTarget ? copy : target;
    Node &added = duplicateTarget ? target : copy;
    Node one = integerConstant(&m_parser, 1);
    Node sum = decrement ? makeBinary<MinusExpression>(&m_parser, std::move(added), std::move(one))
                         : makeBinary<PlusExpression>(&m_parser, std::move(added), std::move(one));
    return std::make_unique<AssignExpression>(&m_parser, std::move(stored), std::move(sum));
}

ExpressionGrammar::Node ExpressionGrammar::parseUnary() {
    NestingGuard guard(*this);
    ExpressionParser *parser = &m_parser;
    const int token = m_lexer.current().number;
    switch (token) {
    case TokenIncrement:
    case TokenDecrement:
        advance();
        return increment(parseUnary(), token == TokenDecrement, false);
    case TokenTilde:
        advance();
        return std::make_unique<BitNotExpression>(parser, parseUnary());
    case TokenNot:
        advance();
        return std::make_unique<LogicalNotExpression>(parser, parseUnary());
    case TokenMinus:
        advance();
        return std::make_unique<NegateExpression>(parser, parseUnary());
    case TokenPlus:
        advance();
        return parseUnary();
    case TokenStar: {
        advance();
        Node pointer = parseUnary();
        return std::make_unique<LeftSquareBracketExpression>(parser, std::move(pointer),
                                                             integerConstant(parser, 0));
    }
    case TokenAmp:
        advance();
        return std::make_unique<AddressofExpression>(parser, parseUnary());
    default:
        return parsePostfix(parsePrimary());
    }
}

ExpressionGrammar::Node ExpressionGrammar::parsePrimary() {
    ExpressionParser *parser = &m_parser;
    Node node;
    switch (m_lexer.current().number) {
    case TokenDecimal:
    case TokenHex:
    case TokenBinary: {
        const IntegerLiteral literal = *readIntegerLiteral(text());
        // A "u" suffix makes the constant unsigned, which matters to shifts and comparisons.
        ExpressionValue value = literal.isUnsigned
                                    ? ExpressionValue(literal.value, 8)
                                    : ExpressionValue(std::int64_t(literal.value), 8);
        node = std::make_unique<IntegerConstantExpression>(parser, std::move(value));
        break;
    }
    case TokenFraction: {
        const double value = readFractionLiteral(text());
        node = std::make_unique<FloatConstantExpression>(parser, ExpressionValue(8u, value));
        break;
    }
    case TokenString: {
        std::string characters = readStringLiteral(text());
        const auto size = std::uint32_t(characters.size());
        node = std::make_unique<StringConstantExpression>(
            parser, ExpressionValue(std::move(characters), size));
        break;
    }
    case TokenRegister:
        node = std::make_unique<RegisterExpression>(parser, text().substr(1));
        break;
    case TokenScope: {
        // "::name" looks the name up at global scope.
        std::vector<std::string> names{""};
        do {
            advance();
            if (!at(TokenIdentifier))
                throw ParserException("identifier expected");
            names.push_back(text());
            advance();
        } while (at(TokenScope));
        return std::make_unique<ScopedIdentifierExpression>(parser, std::move(names));
    }
    case TokenLeftParen:
        return parseParenthesis();
    case TokenIdentifier:
        return parseIdentifier();
    default:
        throw ParserException("unexpected token " + text());
    }
    advance();
    return node;
}

ExpressionGrammar::Node ExpressionGrammar::parseName() {
    std::vector<std::string> names{text()};
    advance();
    while (at(TokenScope)) {
        advance();
        if (!at(TokenIdentifier))
            throw ParserException("identifier expected");
        names.push_back(text());
        advance();
    }
    if (names.size() == 1)
        return std::make_unique<IdentifierExpression>(&m_parser, std::move(names[0]));
    return std::make_unique<ScopedIdentifierExpression>(&m_parser, std::move(names));
}

ExpressionGrammar::Node ExpressionGrammar::parseIdentifier() {
    ExpressionParser *parser = &m_parser;
    if (atIdentifier("sizeof")) {
        advance();
        if (at(TokenLeftParen)) {
            Lexer::State beforeParenthesis = m_lexer.save();
            advance();
            if (std::unique_ptr<BaseType> type = parseTypeName()) {
                type = parseDeclarators(std::move(type));
                expect(TokenRightParen, "')' expected");
                return std::make_unique<SizeofExpression>(parser, std::move(type));
            }
            m_lexer.restore(std::move(beforeParenthesis));
        }
        return std::make_unique<SizeofExpression>(parser, parseUnary());
    }
    if (atIdentifier("addressof")) {
        advance();
        expect(TokenLeftParen, "'(' expected");
        if (!at(TokenString))
            throw ParserException("string expected");
        std::string file = readStringLiteral(text());
        advance();
        expect(TokenComma, "',' expected");
        if (!atInteger())
            throw ParserException("int expected");
        const auto line = std::int64_t(integerValue());
        advance();
        expect(TokenRightParen, "')' expected");
        return std::make_unique<AddressofLineExpression>(parser, std::move(file), line);
    }
    return parseName();
}

ExpressionGrammar::Node ExpressionGrammar::parseParenthesis() {
    advance();
    std::unique_ptr<BaseType> type;
    if (atIdentifier("register")) {
        advance();
        type = parseRegister();
    } else {
        type = parseTypeName();
    }
    if (type) {
        type = parseDeclarators(std::move(type));
        expect(TokenRightParen, "')' expected");
        Node operand = parseUnary();
        return std::make_unique<CastExpression>(&m_parser, std::move(type), std::move(operand));
    }
    Node inner = parseExpression();
    expect(TokenRightParen, "')' expected");
    return inner;
}

ExpressionGrammar::Node ExpressionGrammar::parsePostfix(Node operand) {
    ExpressionParser *parser = &m_parser;
    for (;;) {
        switch (m_lexer.current().number) {
        case TokenLeftBracket: {
            advance();
            Node first = parseExpression();
            if (at(TokenColon)) {
                advance();
                Node last = parseExpression();
                expect(TokenRightBracket, "expected ']'");
                operand = std::make_unique<ArraySliceExpression>(parser, std::move(operand),
                                                                 std::move(first), std::move(last));
            } else {
                expect(TokenRightBracket, "expected ']'");
                operand = std::make_unique<LeftSquareBracketExpression>(parser, std::move(operand),
                                                                        std::move(first));
            }
            break;
        }
        case TokenDot:
        case TokenArrow: {
            advance();
            const bool pointerToMember = at(TokenStar);
            if (pointerToMember)
                advance();
            if (!at(TokenIdentifier))
                throw ParserException("identifier expected");
            Node member = parseName();
            if (pointerToMember)
                operand = std::make_unique<PtrToMemberExpression>(parser, std::move(operand),
                                                                  std::move(member));
            else
                operand =
                    std::make_unique<DotExpression>(parser, std::move(operand), std::move(member));
            break;
        }
        case TokenScope: {
            advance();
            if (!at(TokenIdentifier))
                throw ParserException("identifier expected");
            Node member = std::make_unique<IdentifierExpression>(parser, text());
            advance();
            operand =
                std::make_unique<DotExpression>(parser, std::move(operand), std::move(member));
            break;
        }
        case TokenIncrement:
        case TokenDecrement: {
            const bool decrement = at(TokenDecrement);
            advance();
            operand = increment(std::move(operand), decrement, true);
            break;
        }
        case TokenLeftParen:
            operand = parseCall(std::move(operand));
            break;
        default:
            return operand;
        }
    }
}

ExpressionGrammar::Node ExpressionGrammar::parseCall(Node function) {
    // Arguments are unary expressions; a "," between two of them is a separator.
    advance();
    std::vector<Node> arguments;
    while (!at(TokenRightParen)) {
        arguments.push_back(parseUnary());
        if (at(TokenComma))
            advance();
        else if (!at(TokenRightParen))
            throw ParserException("')' expected");
    }
    advance();
    return std::make_unique<CallExpression>(&m_parser, std::move(function), std::move(arguments));
}

std::unique_ptr<BaseType> ExpressionGrammar::parseTypeName() {
    Lexer::State start = m_lexer.save();
    while (at(TokenIdentifier) && isQualifier(text()))
        advance();
    if (atIdentifier("struct")) {
        advance();
        return parseStruct();
    }
    std::unique_ptr<BaseType> type;
    if (at(TokenIdentifier) && isBasicTypeWord(text())) {
        std::string name;
        for (; at(TokenIdentifier) && (isBasicTypeWord(text()) || isQualifier(text())); advance()) {
            if (isBasicTypeWord(text()))
                name += (name.empty() ? "" : " ") + text();
        }
        return std::make_unique<SimpleType>(std::move(name));
    }
    if (at(TokenIdentifier)) {
        std::string name = text();
        advance();
        while (at(TokenScope)) {
            advance();
            if (!at(TokenIdentifier))
                break;
            name += "::" + text();
            advance();
        }
        if (!at(TokenScope) && m_parser.isTypeName(name)) {
            while (at(TokenIdentifier) && isQualifier(text()))
                advance();
            return std::make_unique<UserType>(std::move(name));
        }
    }
    // Not a type: the text is read again as an expression.
    m_lexer.restore(std::move(start));
    return nullptr;
}

std::unique_ptr<BaseType> ExpressionGrammar::parseStruct() {
    NestingGuard guard(*this);
    if (at(TokenIdentifier)) {
        std::string name = "struct " + text();
        advance();
        if (!m_parser.isTypeName(name))
            throw ParserException("struct type not found");
        return std::make_unique<UserType>(std::move(name));
    }
    expect(TokenLeftBrace, "'{' expected");
    std::vector<StructType::Member> members;
    while (!at(TokenRightBrace)) {
        StructType::Member member;
        member.type = parseTypeName();
        if (!member.type)
            throw ParserException("struct parse error");
        if (at(TokenIdentifier)) {
            member.name = text();
            advance();
        }
        if (at(TokenColon)) {
            advance();
            if (!atInteger())
                throw ParserException("integer must follow ':'");
            member.bitWidth = integerValue();
            advance();
        }
        expect(TokenSemicolon, "';' expected");
        members.push_back(std::move(member));
    }
    advance();
    return std::make_unique<StructType>(std::move(members));
}

std::unique_ptr<BaseType> ExpressionGrammar::parseRegister() {
    if (!atInteger())
        throw ParserException("size expected");
    const std::uint64_t size = integerValue();
    advance();
    std::vector<RegisterType::Field> fields;
    while (!at(TokenSemicolon)) {
        RegisterType::Field field;
        if (at(TokenIdentifier))
            field.name = text();
        else if (at(TokenString))
            field.name = readStringLiteral(text());
        else
            throw ParserException("fieldname expected");
        advance();
        if (!atInteger())
            throw ParserException("bitoffset expected");
        field.bitOffset = integerValue();
        advance();
        if (!atInteger())
            throw ParserException("bitsize expected");
        field.bitSize = integerValue();
        advance();
        fields.push_back(std::move(field));
    }
    advance();
    return std::make_unique<RegisterType>(size, std::move(fields));
}

std::unique_ptr<BaseType> ExpressionGrammar::parseDeclarators(std::unique_ptr<BaseType> type) {
    for (int count = 0;; ++count) {
        if (count > kMaxNesting)
            throw ParserException("expression too deeply nested");
        if (at(TokenStar)) {
            advance();
            type = std::make_unique<PointerType>(std::move(type));
        } else if (at(TokenLeftBracket)) {
            advance();
            if (!atInteger())
                throw ParserException("UserType expected");
            const std::uint64_t length = integerValue();
            advance();
            expect(TokenRightBracket, "']' expected");
            type = std::make_unique<ArrayType>(std::move(type), length);
        } else {
            return type;
        }
    }
}
