#include "expr/expressionparser.h"

#include "expr/expression.h"
#include "expr/expressiongrammar.h"
#include "expr/expressionlexer.h"
#include "expr/expressiontypes.h"
#include "expr/parserexception.h"

ExpressionParser::ExpressionParser() : m_lexer(std::make_unique<CStyleLexer>()) {}

ExpressionParser::ExpressionParser(std::unique_ptr<CStyleLexer> lexer)
    : m_lexer(std::move(lexer)) {}

ExpressionParser::~ExpressionParser() = default;

std::unique_ptr<Expression> ExpressionParser::parse(std::string_view text, std::size_t *position) {
    // A macro of the lexer may parse text of its own; the outer text resumes afterwards.
    struct LexerStateKeeper {
        Lexer &lexer;
        Lexer::State state = lexer.save();
        ~LexerStateKeeper() { lexer.restore(std::move(state)); }
    } keeper{*m_lexer};

    m_lexer->start(text);
    std::unique_ptr<Expression> tree;
    if (m_lexer->current().number != TokenEnd) {
        ExpressionGrammar grammar(*this, *m_lexer);
        tree = grammar.parseExpression();
    }
    if (position)
        *position = m_lexer->position();
    else if (m_lexer->current().number != TokenEnd)
        throw ParserException("unexpected token " + m_lexer->current().text);
    return tree;
}

ExpressionValue ExpressionParser::evaluate(std::string_view text) {
    std::unique_ptr<Expression> tree = parse(text);
    return tree ? tree->evaluate() : ExpressionValue();
}

bool ExpressionParser::isPointerType(const BaseType *type) {
    return type && type->kind() == BaseType::Kind::Pointer;
}

bool ExpressionParser::isArrayType(const BaseType *type) {
    return type && type->kind() == BaseType::Kind::Array;
}

ExpressionValue ExpressionParser::addressOf(const ExpressionValue &) {
    throw ParserException("addressof not implemented");
}

ExpressionValue ExpressionParser::sizeOf(const ExpressionValue &) {
    throw ParserException("sizeof expression not implemented");
}

ExpressionValue ExpressionParser::sizeOfType(const BaseType &) {
    throw ParserException("sizeof(typename) not implemented");
}

ExpressionValue ExpressionParser::addressOfLine(const std::string &, std::int64_t) {
    throw ParserException("addressof not implemented");
}

ExpressionValue ExpressionParser::call(const ExpressionValue &,
                                       const std::vector<ExpressionValue> &) {
    throw ParserException("function calling not implemented");
}

ExpressionValue ExpressionParser::pointerAdd(const ExpressionValue &, const ExpressionValue &) {
    throw ParserException("addressof not implemented");
}
