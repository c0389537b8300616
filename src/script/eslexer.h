#pragma once

#include <QString>

#include <cstdint>

class ESContext;
class ESSource;
class ESString;

struct ESToken {
    int code = 0;
    double number = 0;          // T_NUMBER
    ESString *string = nullptr; // T_IDENT and T_STRING: the pooled text
    int line = 1;
    bool newlineBefore = false;
    qsizetype end = 0; // position after the token
};

// Character classes of the code units below 256; code units from 256 on have none.
enum ESCharClass : std::uint8_t {
    CC_LOWER = 1,
    CC_UPPER = 2,
    CC_IDENT = 4, // $ and _
    CC_DIGIT = 8,
    CC_SIGN = 16,
    CC_EXPONENT = 32,
    CC_HEX = 64,
    CC_OCTAL = 128,
};
std::uint8_t esCharClass(char16_t c);

// Turns source text into tokens, with one token of look-ahead. Errors are raised as
// SyntaxErrors through the context.
class ESLexer {
public:
    explicit ESLexer(ESContext &context);

    void start(const QString &text, const ESSource *source);
    ESToken next();
    const ESToken &peek();
    // The line the lexer has reached.
    int line() const { return m_line; }
    // Whether the text from `position` on starts, after blanks, with `c`.
    bool followedBy(qsizetype position, char16_t c) const;

private:
    ESToken lex();
    void skipSpaceAndComments(ESToken &token);
    void lexNumber(ESToken &token);
    void lexString(ESToken &token, char16_t quote);
    void lexIdentifier(ESToken &token);
    int lexOperator(char16_t c);
    bool at(qsizetype i, char16_t c) const { return i < m_size && m_text[i] == c; }
    [[noreturn]] void error(const QString &message);

    ESContext &m_context;
    const ESSource *m_source = nullptr;
    const char16_t *m_text = nullptr;
    qsizetype m_size = 0;
    qsizetype m_pos = 0;
    int m_line = 1;
    bool m_hasPeek = false;
    ESToken m_peek;
};
