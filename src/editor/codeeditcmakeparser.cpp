#include "editor/codeeditcmakeparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

// The number of '=' of a bracket opener "[==[" at text[i], or -1.
long bracketOpener(const char16_t *text, long i) {
    if (text[i] != '[')
        return -1;
    long n = 0;
    while (text[i + 1 + n] == '=')
        ++n;
    return text[i + 1 + n] == '[' ? n : -1;
}

// The length of a variable reference or generator expression at text[i] ("${A_${B}}",
// "$ENV{PATH}", "$<CONFIG>"), nested ones included, or 0. The look-ahead is bounded so that
// a line of unclosed "${" stays linear.
long referenceLength(const char16_t *text, long i) {
    constexpr long kLongest = 1024;
    long j = i + 1;
    while (lex::isAsciiLetter(text[j]))
        ++j;
    char16_t open = text[j];
    if ((open != '{' && open != '<') || (open == '<' && j != i + 1))
        return 0;
    char16_t close = open == '{' ? '}' : '>';
    long depth = 0;
    for (; text[j] && j - i < kLongest; ++j) {
        if (text[j] == open)
            ++depth;
        else if (text[j] == close && --depth == 0)
            return j + 1 - i;
        else if (text[j] == '"' || lex::isSpace(text[j]))
            return 0;
    }
    return 0;
}

} // namespace

CodeEditCMakeParser::CodeEditCMakeParser() {
    m_keywords[0] =
        KeywordList{"block",      "break",       "continue", "else",     "elseif",   "endblock",
                    "endforeach", "endfunction", "endif",    "endmacro", "endwhile", "foreach",
                    "function",   "if",          "macro",    "return",   "while"};
}

bool CodeEditCMakeParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

long CodeEditCMakeParser::parseBracket(MarkupWriter &out, const char16_t *text, long i,
                                       std::uint32_t state) {
    std::uint32_t length = state >> 8;
    int style = (state & 0xFF) == BracketComment ? StyleComment : StyleString;
    long end = i;
    for (; text[end]; ++end) {
        if (text[end] != ']')
            continue;
        std::uint32_t n = 0;
        while (text[end + 1 + n] == '=')
            ++n;
        if (n == length && text[end + 1 + n] == ']')
            break;
    }
    if (style == StyleComment)
        writeCommentText(out, text, i, end, StyleComment);
    else {
        out.style(StyleString);
        out.put(text + i, end - i);
    }
    if (!text[end]) {
        m_lineState = state;
        return end;
    }
    out.style(style == StyleComment ? StyleComment : StyleStringDelimiter);
    out.put(text + end, long(length) + 2);
    m_lineState = Code;
    return end + long(length) + 2;
}

long CodeEditCMakeParser::parseQuoted(MarkupWriter &out, const char16_t *text, long i) {
    out.style(StyleString);
    while (text[i]) {
        char16_t c = text[i];
        if (c == '\\' && text[i + 1]) {
            out.style(StyleStringEscape);
            out.put(text + i, 2);
            out.style(StyleString);
            i += 2;
        } else if (c == '"') {
            out.style(StyleStringDelimiter);
            out.put(c);
            m_lineState = Code;
            return i + 1;
        } else if (long length = c == '$' ? referenceLength(text, i) : 0) {
            out.style(StyleRegister);
            out.put(text + i, length);
            out.style(StyleString);
            i += length;
        } else {
            out.put(c);
            ++i;
        }
    }
    m_lineState = Quoted;
    return i;
}

char16_t *CodeEditCMakeParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    switch (m_lineState & 0xFF) {
    case BracketComment:
    case BracketArgument:
        i = parseBracket(w, text, 0, m_lineState);
        break;
    case Quoted:
        i = parseQuoted(w, text, 0);
        break;
    default:
        m_lineState = Code;
    }
    while (m_lineState == Code && text[i]) {
        char16_t c = text[i];
        long start = i;
        long brackets = 0;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
        } else if (c == '#' && (brackets = bracketOpener(text, i + 1)) >= 0) {
            w.style(StyleComment);
            w.put(text + i, brackets + 3);
            i = parseBracket(w, text, i + brackets + 3,
                             BracketComment | (std::uint32_t(brackets) << 8));
        } else if (c == '#') {
            i = lex::writeLineComment(w, text, i, 1, commentTagStyle, writeCommentText);
        } else if ((brackets = bracketOpener(text, i)) >= 0) {
            w.style(StyleStringDelimiter);
            w.put(text + i, brackets + 2);
            i = parseBracket(w, text, i + brackets + 2,
                             BracketArgument | (std::uint32_t(brackets) << 8));
        } else if (c == '"') {
            w.style(StyleStringDelimiter);
            w.put(text[i++]);
            i = parseQuoted(w, text, i);
        } else if (long length = c == '$' ? referenceLength(text, i) : 0) {
            w.style(StyleRegister);
            w.put(text + i, length);
            i += length;
        } else if (c == '(' || c == ')') {
            w.style(StyleOperator);
            w.put(text[i++]);
            braces += c == '(' ? 1 : -1;
        } else if (lex::isIdentifierStart(c)) {
            while (lex::isIdentifierChar(text[i]))
                ++i;
            long next = i;
            while (lex::isSpace(text[next]))
                ++next;
            int style = StyleText;
            if (text[next] == '(')
                style =
                    lex::containsNoCase(m_keywords[0],
                                        std::u16string_view(text + start, std::size_t(i - start)))
                        ? StyleKeyword
                        : StyleFunction;
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else if (c == '\\' && text[i + 1]) {
            w.style(StyleStringEscape);
            w.put(text + i, 2);
            i += 2;
        } else {
            w.style(StyleText);
            w.put(text[i++]);
        }
    }
    return w.finish();
}
