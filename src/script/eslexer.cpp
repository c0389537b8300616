#include "script/eslexer.h"

#include "script/escontext.h"
#include "script/esnumber.h"
#include "script/esstring.h"
#include "script/estoken.h"

#include <array>

namespace {

constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> t{};
    for (int c = 'a'; c <= 'z'; ++c)
        t[std::size_t(c)] |= CC_LOWER;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[std::size_t(c)] |= CC_UPPER;
    t['$'] |= CC_IDENT;
    t['_'] |= CC_IDENT;
    for (int c = '0'; c <= '9'; ++c)
        t[std::size_t(c)] |= CC_DIGIT | CC_HEX;
    t['+'] |= CC_SIGN;
    t['-'] |= CC_SIGN;
    t['e'] |= CC_EXPONENT;
    t['E'] |= CC_EXPONENT;
    for (int c = 'a'; c <= 'f'; ++c)
        t[std::size_t(c)] |= CC_HEX;
    for (int c = 'A'; c <= 'F'; ++c)
        t[std::size_t(c)] |= CC_HEX;
    for (int c = '0'; c <= '7'; ++c)
        t[std::size_t(c)] |= CC_OCTAL;
    return t;
}

constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

int hexValue(char16_t c) {
    int d = esDigitValue(c);
    return d < 16 ? d : -1;
}

} // namespace

std::uint8_t esCharClass(char16_t c) {
    return c < 256 ? kClasses[c] : 0;
}

ESLexer::ESLexer(ESContext &context) : m_context(context) {}

void ESLexer::start(const QString &text, const ESSource *source) {
    m_source = source;
    m_text = reinterpret_cast<const char16_t *>(text.utf16());
    m_size = text.size();
    m_pos = 0;
    m_line = 1;
    m_hasPeek = false;
}

void ESLexer::error(const QString &message) {
    m_context.throwSyntaxError(message, m_source, m_line);
}

ESToken ESLexer::next() {
    if (m_hasPeek) {
        m_hasPeek = false;
        return m_peek;
    }
    return lex();
}

const ESToken &ESLexer::peek() {
    if (!m_hasPeek) {
        m_peek = lex();
        m_hasPeek = true;
    }
    return m_peek;
}

bool ESLexer::followedBy(qsizetype position, char16_t c) const {
    while (position < m_size && (m_text[position] == u' ' || m_text[position] == u'\t'))
        ++position;
    return at(position, c);
}

void ESLexer::skipSpaceAndComments(ESToken &token) {
    while (m_pos < m_size) {
        char16_t c = m_text[m_pos];
        if (c == u'\t' || c == 11 || c == 12 || c == 26 || c == u' ') {
            ++m_pos;
        } else if (c == u'\n') {
            ++m_line;
            token.newlineBefore = true;
            ++m_pos;
        } else if (c == u'\r') {
            token.newlineBefore = true;
            ++m_pos;
        } else if (c == u'/' && at(m_pos + 1, u'/')) {
            while (m_pos < m_size && m_text[m_pos] != u'\n' && m_text[m_pos] != u'\r')
                ++m_pos;
        } else if (c == u'/' && at(m_pos + 1, u'*')) {
            m_pos += 2;
            while (m_pos < m_size && !(m_text[m_pos] == u'*' && at(m_pos + 1, u'/'))) {
                if (m_text[m_pos] == u'\n') {
                    ++m_line;
                    token.newlineBefore = true;
                }
                ++m_pos;
            }
            // An unterminated comment ends the input.
            m_pos = std::min(m_pos + 2, m_size);
        } else {
            return;
        }
    }
}

ESToken ESLexer::lex() {
    ESToken token;
    skipSpaceAndComments(token);
    token.line = m_line;
    if (m_pos >= m_size) {
        token.code = T_EOF;
        token.end = m_size;
        return token;
    }
    char16_t c = m_text[m_pos];
    std::uint8_t cls = esCharClass(c);
    if ((cls & CC_DIGIT) ||
        (c == u'.' && m_pos + 1 < m_size && (esCharClass(m_text[m_pos + 1]) & CC_DIGIT))) {
        lexNumber(token);
    } else if (c == u'"' || c == u'\'') {
        lexString(token, c);
    } else if (cls & (CC_LOWER | CC_UPPER | CC_IDENT)) {
        lexIdentifier(token);
    } else {
        token.code = lexOperator(c);
    }
    token.end = m_pos;
    return token;
}

void ESLexer::lexNumber(ESToken &token) {
    QStringView text(m_text, m_size);
    ESNumberScan scan = esScanNumber(text, m_pos, ScanFraction | ScanHex | ScanOctal);
    if (scan.status == ESNumberScan::BadDigit) {
        m_pos = scan.end;
        error(QStringLiteral("digit '%1' is not radix %2").arg(scan.badDigit).arg(scan.radix));
    }
    token.code = T_NUMBER;
    token.number = scan.value;
    m_pos = scan.end;
}

void ESLexer::lexString(ESToken &token, char16_t quote) {
    QString value;
    ++m_pos;
    for (;;) {
        if (m_pos >= m_size)
            error(QStringLiteral("end of file in string constant"));
        char16_t c = m_text[m_pos++];
        if (c == quote)
            break;
        if (c == u'\n' || c == u'\r') {
            --m_pos;
            error(QStringLiteral("newline in string constant"));
        }
        if (c != u'\\') {
            value.append(QChar(c));
            continue;
        }
        if (m_pos >= m_size)
            error(QStringLiteral("end of file in string constant"));
        c = m_text[m_pos++];
        switch (c) {
        case u'b':
            value.append(QChar(8));
            break;
        case u'f':
            value.append(QChar(12));
            break;
        case u'n':
            value.append(QChar(10));
            break;
        case u't':
            value.append(QChar(9));
            break;
        case u'r':
            value.append(QChar(13));
            break;
        case u'x':
        case u'u': {
            int digits = c == u'x' ? 2 : 4;
            int code = 0;
            for (int i = 0; i < digits; ++i) {
                int v = m_pos < m_size ? hexValue(m_text[m_pos]) : -1;
                if (v < 0)
                    error(QStringLiteral("malformed hex escape sequence"));
                code = code * 16 + v;
                ++m_pos;
            }
            value.append(QChar(char16_t(code)));
            break;
        }
        default:
            if (c >= u'0' && c <= u'7') {
                // Up to three octal digits; the third only while the value is below 32.
                int code = c - u'0';
                if (m_pos < m_size && (esCharClass(m_text[m_pos]) & CC_OCTAL)) {
                    code = code * 8 + (m_text[m_pos++] - u'0');
                    if (code < 32 && m_pos < m_size && (esCharClass(m_text[m_pos]) & CC_OCTAL))
                        code = code * 8 + (m_text[m_pos++] - u'0');
                }
                value.append(QChar(char16_t(code)));
            } else {
                // Any other escaped character stands for itself.
                if (c == u'\n')
                    ++m_line;
                value.append(QChar(c));
            }
        }
    }
    token.code = T_STRING;
    token.string = m_context.intern(value);
}

void ESLexer::lexIdentifier(ESToken &token) {
    qsizetype start = m_pos;
    while (m_pos < m_size &&
           (esCharClass(m_text[m_pos]) & (CC_LOWER | CC_UPPER | CC_IDENT | CC_DIGIT)))
        ++m_pos;
    QStringView word(m_text + start, m_pos - start);
    if (int keyword = esKeyword(word)) {
        token.code = keyword;
        return;
    }
    token.code = T_IDENT;
    token.string = m_context.intern(word);
}

int ESLexer::lexOperator(char16_t c) {
    ++m_pos;
    auto follows = [this](char16_t d) {
        if (at(m_pos, d)) {
            ++m_pos;
            return true;
        }
        return false;
    };
    switch (c) {
    case u'(':
    case u')':
    case u',':
    case u':':
    case u';':
    case u'?':
    case u'[':
    case u']':
    case u'{':
    case u'}':
    case u'~':
    case u'.':
        return c;
    case u'!':
        if (follows(u'='))
            return follows(u'=') ? T_NIDENTITY : T_NE;
        return c;
    case u'=':
        if (follows(u'='))
            return follows(u'=') ? T_IDENTITY : T_EQ;
        return c;
    case u'<':
        if (follows(u'='))
            return T_LE;
        if (follows(u'<'))
            return follows(u'=') ? T_SHL_ASSIGN : T_SHL;
        return c;
    case u'>':
        if (follows(u'='))
            return T_GE;
        if (follows(u'>')) {
            if (follows(u'>'))
                return follows(u'=') ? T_USHR_ASSIGN : T_USHR;
            return follows(u'=') ? T_SHR_ASSIGN : T_SHR;
        }
        return c;
    case u'&':
        if (follows(u'='))
            return T_AND_ASSIGN;
        return follows(u'&') ? int(T_ANDAND) : int(c);
    case u'|':
        if (follows(u'='))
            return T_OR_ASSIGN;
        return follows(u'|') ? int(T_OROR) : int(c);
    case u'+':
        if (follows(u'='))
            return T_ADD_ASSIGN;
        return follows(u'+') ? int(T_INC) : int(c);
    case u'-':
        if (follows(u'='))
            return T_SUB_ASSIGN;
        return follows(u'-') ? int(T_DEC) : int(c);
    case u'*':
        return follows(u'=') ? int(T_MUL_ASSIGN) : int(c);
    case u'/':
        return follows(u'=') ? int(T_DIV_ASSIGN) : int(c);
    case u'%':
        return follows(u'=') ? int(T_MOD_ASSIGN) : int(c);
    case u'^':
        return follows(u'=') ? int(T_XOR_ASSIGN) : int(c);
    default:
        --m_pos;
        error(QStringLiteral("unknown character '%1'").arg(QChar(c)));
    }
}
