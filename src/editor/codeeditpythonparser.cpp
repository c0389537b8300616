#include "editor/codeeditpythonparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

bool isPrefixChar(char16_t c) {
    char16_t lower = lex::toLower(c);
    return lower == 'r' || lower == 'b' || lower == 'u' || lower == 'f';
}

} // namespace

CodeEditPythonParser::CodeEditPythonParser() {
    m_keywords[0] =
        KeywordList{"False",   "None",  "True",     "and",      "as",   "assert", "async", "await",
                    "break",   "class", "continue", "def",      "del",  "elif",   "else",  "except",
                    "finally", "for",   "from",     "global",   "if",   "import", "in",    "is",
                    "lambda",  "match", "case",     "nonlocal", "not",  "or",     "pass",  "raise",
                    "return",  "try",   "while",    "with",     "yield"};
    m_keywords[1] = KeywordList{"self", "cls"};
}

bool CodeEditPythonParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

long CodeEditPythonParser::parseString(MarkupWriter &out, const char16_t *text, long i,
                                       char16_t quote, bool triple, std::uint32_t flags) {
    const bool raw = flags & Raw;
    out.style(StyleString);
    while (text[i]) {
        char16_t c = text[i];
        if ((flags & Formatted) && c == '{' && text[i + 1] == '{') {
            out.put(text + i, 2);
            i += 2;
            continue;
        }
        if ((flags & Formatted) && c == '{') {
            i = parseReplacementField(out, text, i, quote);
            continue;
        }
        if (c == '\\') {
            if (!text[i + 1]) {
                out.style(raw ? StyleString : StyleStringEscape);
                out.put(c);
                m_lineState = flags | (triple ? (quote == '"' ? std::uint32_t(TripleDouble)
                                                              : std::uint32_t(TripleSingle))
                                              : std::uint32_t(quote));
                return i + 1;
            }
            out.style(raw ? StyleString : StyleStringEscape);
            char16_t escaped = text[i + 1];
            out.put(text + i, 2);
            i += 2;
            if (!raw) {
                // \xhh, \uhhhh, \Uhhhhhhhh and up to three octal digits
                int digits = escaped == 'x' ? 2 : escaped == 'u' ? 4 : escaped == 'U' ? 8 : 0;
                bool octal = lex::isOctalDigit(escaped);
                for (int n = octal ? 2 : digits;
                     n > 0 && (octal ? lex::isOctalDigit(text[i]) : lex::isHexDigit(text[i])); --n)
                    out.put(text[i++]);
            }
            out.style(StyleString);
            continue;
        }
        if (c == quote && (!triple || (text[i + 1] == quote && text[i + 2] == quote))) {
            out.style(StyleStringDelimiter);
            out.put(text + i, triple ? 3 : 1);
            m_lineState = Code;
            return i + (triple ? 3 : 1);
        }
        out.put(c);
        ++i;
    }
    m_lineState = triple ? ((quote == '"' ? TripleDouble : TripleSingle) | flags) : Code;
    return i;
}

long CodeEditPythonParser::parseReplacementField(MarkupWriter &out, const char16_t *text, long i,
                                                 char16_t quote) {
    // "{expression!r:format}": the braces as escapes, the expression as code
    out.style(StyleStringEscape);
    out.put(text[i++]);
    int depth = 0;
    while (text[i] && text[i] != quote) {
        char16_t c = text[i];
        if (c == '}' && depth == 0) {
            out.style(StyleStringEscape);
            out.put(text[i++]);
            break;
        }
        if (c == '{' || c == '[' || c == '(')
            ++depth;
        else if ((c == '}' || c == ']' || c == ')') && depth > 0)
            --depth;
        if (lex::isDigit(c) && !lex::isIdentifierChar(text[i - 1])) {
            out.style(StyleLiteral);
            while (lex::isIdentifierChar(text[i]) || text[i] == '.')
                out.put(text[i++]);
            continue;
        }
        if (lex::isIdentifierStart(c)) {
            long start = i;
            while (lex::isIdentifierChar(text[i]))
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            out.style(m_keywords[0].contains(word) ? StyleKeyword : StyleText);
            out.put(text + start, i - start);
            continue;
        }
        i = lex::writePunctuation(out, text, i);
    }
    out.style(StyleString);
    return i;
}

char16_t *CodeEditPythonParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    std::uint32_t flags = m_lineState & (Raw | Formatted);
    switch (m_lineState & 0xFF) {
    case TripleSingle:
    case TripleDouble:
        i = parseString(w, text, 0, (m_lineState & 0xFF) == TripleDouble ? '"' : '\'', true, flags);
        break;
    case '"':
    case '\'':
        i = parseString(w, text, 0, char16_t(m_lineState & 0xFF), false, flags);
        break;
    default:
        m_lineState = Code;
    }
    bool defines = false;
    bool statementStart = true;
    while (m_lineState == Code && text[i]) {
        char16_t c = text[i];
        long start = i;
        long prefix = 0;
        while (prefix < 2 && isPrefixChar(text[i + prefix]))
            ++prefix;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
            continue;
        }
        if (c == '#') {
            i = lex::writeLineComment(w, text, i, 1, commentTagStyle, writeCommentText);
        } else if (text[i + prefix] == '"' || text[i + prefix] == '\'') {
            std::uint32_t stringFlags = 0;
            for (long k = 0; k < prefix; ++k) {
                if (lex::toLower(text[i + k]) == 'r')
                    stringFlags |= Raw;
                if (lex::toLower(text[i + k]) == 'f')
                    stringFlags |= Formatted;
            }
            char16_t quote = text[i + prefix];
            bool triple = text[i + prefix + 1] == quote && text[i + prefix + 2] == quote;
            w.style(StyleStringDelimiter);
            w.put(text + i, prefix + (triple ? 3 : 1));
            i = parseString(w, text, i + prefix + (triple ? 3 : 1), quote, triple, stringFlags);
        } else if (c == '@' && statementStart && lex::isIdentifierStart(text[i + 1])) {
            w.style(StyleFunction);
            w.put(text[i++]);
            while (lex::isIdentifierChar(text[i]) || text[i] == '.')
                w.put(text[i++]);
        } else if (lex::isDigit(c) || (c == '.' && lex::isDigit(text[i + 1]))) {
            i = lex::writeNumber(w, text, i, u"_");
        } else if (lex::isIdentifierStart(c)) {
            while (lex::isIdentifierChar(text[i]))
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = StyleText;
            long next = i;
            while (lex::isSpace(text[next]))
                ++next;
            if (defines)
                style = StyleFunction;
            else if (m_keywords[0].contains(word) || m_keywords[1].contains(word))
                style = StyleKeyword;
            else if (text[next] == '(')
                style = StyleFunction;
            defines = word == u"def" || word == u"class";
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i, &braces);
        }
        statementStart = false;
    }
    return w.finish();
}
