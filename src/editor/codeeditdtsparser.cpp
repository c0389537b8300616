#include "editor/codeeditdtsparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

bool isNameChar(char16_t c) {
    return lex::isIdentifierChar(c) || c == ',' || c == '.' || c == '+' || c == '-' || c == '#' ||
           c == '?' || c == '@';
}

} // namespace

bool CodeEditDTSParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

char16_t *CodeEditDTSParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = resumeBlockComment(w, text);
    bool lineStart = true;
    int cells = 0; // inside < ... >
    while (m_lineState == 0 && text[i]) {
        char16_t c = text[i];
        long start = i;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
            continue;
        }
        if (c == '/' && text[i + 1] == '*') {
            w.style(StyleComment);
            w.put(text + i, 2);
            i = writeBlockComment(w, text, i + 2, 1);
        } else if (c == '/' && text[i + 1] == '/') {
            i = lex::writeLineComment(w, text, i, 2, commentTagStyle, writeCommentText);
        } else if (c == '#' && lineStart && lex::isAsciiLetter(text[i + 1])) {
            w.style(StyleControl);
            w.put(text[i++]);
            while (lex::isAsciiLetter(text[i]))
                w.put(text[i++]);
            bool include =
                std::u16string_view(text + start + 1, std::size_t(i - start - 1)) == u"include";
            i = lex::writeSpace(w, text, i);
            if (include && text[i] == '<') {
                w.style(StyleStringDelimiter);
                w.put(text[i++]);
                w.style(StyleString);
                while (text[i] && text[i] != '>')
                    w.put(text[i++]);
                if (text[i]) {
                    w.style(StyleStringDelimiter);
                    w.put(text[i++]);
                }
            }
        } else if (c == '/' && lex::isAsciiLetter(text[i + 1])) {
            long end = i + 1;
            while (lex::isAsciiLetter(text[end]) || lex::isDigit(text[end]) || text[end] == '-')
                ++end;
            if (text[end] == '/') {
                w.style(StyleControl);
                w.put(text + i, end + 1 - i);
                i = end + 1;
            } else {
                w.style(StyleOperator);
                w.put(text[i++]);
            }
        } else if (c == '"') {
            bool closed, continued;
            i = lex::writeQuoted(w, text, i, '"', true, closed, continued);
        } else if (c == '&') {
            w.style(StyleRegister);
            w.put(text[i++]);
            if (text[i] == '{') {
                while (text[i] && text[i] != '}')
                    w.put(text[i++]);
                if (text[i])
                    w.put(text[i++]);
            } else {
                while (lex::isIdentifierChar(text[i]))
                    w.put(text[i++]);
            }
        } else if (lex::isDigit(c) && (cells > 0 || !isNameChar(text[i + 1]) ||
                                       lex::isDigit(text[i + 1]) || text[i + 1] == 'x')) {
            w.style(StyleLiteral);
            while (lex::isIdentifierChar(text[i]))
                w.put(text[i++]);
        } else if (isNameChar(c) && c != '#' && c != '?' && c != '@' && c != '+' && c != '-' &&
                   c != ',' && cells == 0) {
            while (isNameChar(text[i]))
                ++i;
            long next = i;
            while (lex::isSpace(text[next]))
                ++next;
            int style = StyleText;
            if (text[next] == ':' && text[i] == ':')
                style = StyleRegister;
            else if (text[next] == '{')
                style = StyleFunction;
            else if (text[next] == '=' || text[next] == ';')
                style = StyleXmlAttribute;
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else if (lex::isIdentifierStart(c)) {
            // a macro name inside cells
            while (lex::isIdentifierChar(text[i]))
                ++i;
            w.forceStyle(StyleText);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i, &braces);
            if (c == '<')
                ++cells;
            else if (c == '>' && cells > 0)
                --cells;
        }
        lineStart = false;
    }
    return w.finish();
}
