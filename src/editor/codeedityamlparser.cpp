#include "editor/codeedityamlparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

bool isBlankOrEnd(char16_t c) {
    return c == 0 || lex::isSpace(c);
}

bool isFlowIndicator(char16_t c) {
    return c == ',' || c == '[' || c == ']' || c == '{' || c == '}';
}

const KeywordList &constants() {
    static const KeywordList list{"true", "false", "null", "~", "yes", "no", "on", "off"};
    return list;
}

bool isNumber(std::u16string_view word) {
    std::size_t i = 0;
    if (i < word.size() && (word[i] == '-' || word[i] == '+'))
        ++i;
    if (word.size() > i + 1 && word[i] == '0' && (word[i + 1] == 'x' || word[i + 1] == 'o')) {
        bool hex = word[i + 1] == 'x';
        i += 2;
        if (i == word.size())
            return false;
        for (; i < word.size(); ++i)
            if (!(hex ? lex::isHexDigit(word[i]) : lex::isOctalDigit(word[i])))
                return false;
        return true;
    }
    std::size_t digits = 0;
    bool dot = false, exponent = false;
    for (; i < word.size(); ++i) {
        char16_t c = word[i];
        if (lex::isDigit(c) || c == '_') {
            digits += c != '_';
        } else if (c == '.' && !dot && !exponent) {
            dot = true;
        } else if ((c == 'e' || c == 'E') && digits && !exponent) {
            exponent = true;
            if (i + 1 < word.size() && (word[i + 1] == '-' || word[i + 1] == '+'))
                ++i;
        } else {
            return false;
        }
    }
    return digits > 0;
}

} // namespace

bool CodeEditYAMLParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

long CodeEditYAMLParser::parseQuoted(MarkupWriter &out, const char16_t *text, long i,
                                     char16_t quote) {
    out.style(StyleString);
    while (text[i]) {
        char16_t c = text[i];
        if (quote == '"' && c == '\\' && text[i + 1]) {
            out.style(StyleStringEscape);
            out.put(text + i, 2);
            out.style(StyleString);
            i += 2;
        } else if (quote == '\'' && c == '\'' && text[i + 1] == '\'') {
            out.style(StyleStringEscape);
            out.put(text + i, 2);
            out.style(StyleString);
            i += 2;
        } else if (c == quote) {
            out.style(StyleStringDelimiter);
            out.put(c);
            m_lineState = Block;
            return i + 1;
        } else {
            out.put(c);
            ++i;
        }
    }
    m_lineState = quote == '"' ? DoubleQuoted : SingleQuoted;
    return i;
}

char16_t *CodeEditYAMLParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long indent = 0;
    while (text[indent] == ' ' || text[indent] == 0xB7)
        ++indent;
    long i = 0;
    switch (m_lineState & 0xFF) {
    case DoubleQuoted:
    case SingleQuoted:
        i = parseQuoted(w, text, 0, (m_lineState & 0xFF) == DoubleQuoted ? '"' : '\'');
        break;
    case BlockScalar:
        if (!text[indent] || indent > long(m_lineState >> 8)) {
            w.style(StyleString);
            while (text[i])
                w.put(text[i++]);
            return w.finish();
        }
        m_lineState = Block;
        break;
    default:
        m_lineState = Block;
    }
    if (m_lineState != Block)
        return w.finish();
    if (i == 0 && (lex::startsWith(text, "---") || lex::startsWith(text, "...")) &&
        isBlankOrEnd(text[3])) {
        w.style(StyleKeyword);
        w.put(text, 3);
        i = 3;
    } else if (i == 0 && text[0] == '%') {
        w.style(StyleControl);
        while (text[i] && !(text[i] == '#' && i > 0 && lex::isSpace(text[i - 1])))
            w.put(text[i++]);
    }
    int flow = 0; // depth of [ ] and { }
    while (m_lineState == Block && text[i]) {
        char16_t c = text[i];
        long start = i;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
        } else if (c == '#' && (i == 0 || lex::isSpace(text[i - 1]))) {
            i = lex::writeLineComment(w, text, i, 1, commentTagStyle, writeCommentText);
        } else if (((c == '-' || c == '?' || c == ':') && isBlankOrEnd(text[i + 1])) ||
                   (c == ':' && flow > 0)) {
            w.style(StyleOperator);
            w.put(text[i++]);
        } else if (isFlowIndicator(c)) {
            w.style(StyleOperator);
            w.put(text[i++]);
            if (c == '[' || c == '{') {
                ++flow;
                ++braces;
            } else if (c == ']' || c == '}') {
                flow -= flow > 0;
                --braces;
            }
        } else if (c == '"' || c == '\'') {
            w.style(StyleStringDelimiter);
            w.put(text[i++]);
            i = parseQuoted(w, text, i, c);
        } else if (c == '&' || c == '*' || c == '!') {
            w.style(StyleRegister);
            while (text[i] && !lex::isSpace(text[i]) && !isFlowIndicator(text[i]))
                w.put(text[i++]);
        } else if ((c == '|' || c == '>') && flow == 0) {
            w.style(StyleOperator);
            w.put(text[i++]);
            while (lex::isDigit(text[i]) || text[i] == '-' || text[i] == '+')
                w.put(text[i++]);
            // the scalar's lines are those indented deeper than this line
            long rest = i;
            while (lex::isSpace(text[rest]))
                ++rest;
            if (!text[rest] || text[rest] == '#')
                m_lineState = BlockScalar | (std::uint32_t(indent) << 8);
            i = lex::writeSpace(w, text, i);
            if (text[i] == '#')
                i = lex::writeLineComment(w, text, i, 1, commentTagStyle, writeCommentText);
        } else {
            // a plain scalar: up to ": ", " #" or, in flow context, an indicator
            while (text[i] && !(text[i] == ':' && isBlankOrEnd(text[i + 1])) &&
                   !(text[i] == '#' && lex::isSpace(text[i - 1])) &&
                   !(flow > 0 && (isFlowIndicator(text[i]) || text[i] == ':')))
                ++i;
            long end = i;
            while (end > start && lex::isSpace(text[end - 1]))
                --end;
            std::u16string_view scalar(text + start, std::size_t(end - start));
            int style = StyleText;
            if (text[i] == ':' && (isBlankOrEnd(text[i + 1]) || flow > 0))
                style = StyleXmlAttribute;
            else if (isNumber(scalar))
                style = StyleLiteral;
            else if (lex::containsNoCase(constants(), scalar))
                style = StyleKeyword;
            if (end == start) // nothing but a stop character: take it as text
                end = start + 1;
            w.style(style);
            w.put(text + start, end - start);
            i = end;
        }
    }
    return w.finish();
}
