#include "editor/codeeditxmlparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

bool isNameChar(char16_t c) {
    return lex::isIdentifierChar(c) || c == '-' || c == '.' || c == ':' || c >= 0x100;
}

// An entity or character reference ("&amp;", "&#x41;") at text[i]; its length or 0.
long entityLength(const char16_t *text, long i) {
    long end = i + 1;
    if (text[end] == '#')
        ++end;
    while (lex::isIdentifierChar(text[end]))
        ++end;
    return text[end] == ';' && end > i + 1 ? end + 1 - i : 0;
}

} // namespace

QString CodeEditXMLParser::bracketPattern() const {
    return QStringLiteral("\\<\\>\\{\\}\\[\\]\\(\\)");
}

bool CodeEditXMLParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

long CodeEditXMLParser::parseUntil(MarkupWriter &out, const char16_t *text, long i,
                                   const char *closer, int style, std::uint32_t openState) {
    long end = i;
    while (text[end] && !lex::startsWith(text + end, closer))
        ++end;
    if (style == StyleComment)
        writeCommentText(out, text, i, end, style);
    else {
        out.style(style);
        out.put(text + i, end - i);
    }
    if (!text[end]) {
        m_lineState = openState;
        return end;
    }
    long length = long(std::char_traits<char>::length(closer));
    out.put(text + end, length);
    m_lineState = Text;
    return end + length;
}

long CodeEditXMLParser::parseValue(MarkupWriter &out, const char16_t *text, long i,
                                   char16_t quote) {
    out.style(StyleString);
    while (text[i]) {
        if (text[i] == quote) {
            out.style(StyleStringDelimiter);
            out.put(text[i]);
            m_lineState = Tag;
            return i + 1;
        }
        if (long length = text[i] == '&' ? entityLength(text, i) : 0) {
            out.style(StyleStringEscape);
            out.put(text + i, length);
            out.style(StyleString);
            i += length;
            continue;
        }
        out.put(text[i++]);
    }
    m_lineState = quote == '"' ? DoubleQuoted : SingleQuoted;
    return i;
}

long CodeEditXMLParser::parseTag(MarkupWriter &out, const char16_t *text, long i, int &braces) {
    m_lineState = Tag;
    while (text[i]) {
        char16_t c = text[i];
        if (lex::isSpace(c)) {
            i = lex::writeSpace(out, text, i);
        } else if (c == '>' || (c == '/' && text[i + 1] == '>')) {
            out.style(StyleXmlDelimiter);
            if (c == '/') {
                out.put(text[i++]);
                --braces;
            }
            out.put(text[i++]);
            m_lineState = Text;
            return i;
        } else if (c == '"' || c == '\'') {
            out.style(StyleStringDelimiter);
            out.put(c);
            i = parseValue(out, text, i + 1, c);
            if (m_lineState != Tag)
                return i;
        } else if (c == '=') {
            out.style(StyleOperator);
            out.put(text[i++]);
        } else if (c == '<') {
            m_lineState = Text; // a tag left open: the next one starts here
            return i;
        } else if (isNameChar(c)) {
            // an unquoted value (HTML) follows its '='
            long back = i;
            while (back > 0 && lex::isSpace(text[back - 1]))
                --back;
            bool value = back > 0 && text[back - 1] == '=';
            out.style(value ? StyleString : StyleXmlAttribute);
            while (isNameChar(text[i]))
                out.put(text[i++]);
        } else {
            i = lex::writePunctuation(out, text, i);
        }
    }
    return i;
}

char16_t *CodeEditXMLParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    switch (m_lineState) {
    case Comment:
        w.style(StyleComment);
        i = parseUntil(w, text, i, "-->", StyleComment, Comment);
        break;
    case CData:
        i = parseUntil(w, text, i, "]]>", StyleControl, CData);
        break;
    case Declaration:
        i = parseUntil(w, text, i, ">", StyleControl, Declaration);
        break;
    case DoubleQuoted:
    case SingleQuoted:
        i = parseValue(w, text, i, m_lineState == DoubleQuoted ? '"' : '\'');
        if (m_lineState == Tag)
            i = parseTag(w, text, i, braces);
        break;
    case Tag:
        i = parseTag(w, text, i, braces);
        break;
    default:
        m_lineState = Text;
        break;
    }
    while (text[i] && m_lineState == Text) {
        char16_t c = text[i];
        if (c == '<' && lex::startsWith(text + i, "<!--")) {
            w.style(StyleComment);
            w.put(text + i, 4);
            i = parseUntil(w, text, i + 4, "-->", StyleComment, Comment);
        } else if (c == '<' && lex::startsWith(text + i, "<![CDATA[")) {
            w.style(StyleControl);
            w.put(text + i, 9);
            i = parseUntil(w, text, i + 9, "]]>", StyleControl, CData);
        } else if (c == '<' && (text[i + 1] == '!' || text[i + 1] == '?')) {
            w.style(StyleControl);
            w.put(text + i, 2);
            i = parseUntil(w, text, i + 2, ">", StyleControl, Declaration);
        } else if (c == '<' && (isNameChar(text[i + 1]) || text[i + 1] == '/')) {
            w.style(StyleXmlDelimiter);
            w.put(text[i++]);
            if (text[i] == '/') {
                w.put(text[i++]);
                --braces;
            } else {
                ++braces;
            }
            w.style(StyleXmlMarkup);
            while (isNameChar(text[i]))
                w.put(text[i++]);
            i = parseTag(w, text, i, braces);
        } else if (long length = c == '&' ? entityLength(text, i) : 0) {
            w.style(StyleXmlMarkup);
            w.put(text + i, length);
            i += length;
        } else {
            w.style(StyleText);
            w.put(text[i++]);
        }
    }
    return w.finish();
}
