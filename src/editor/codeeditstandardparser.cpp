#include "editor/codeeditstandardparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

// Documentation commands drawn in the DovIve Keyword style.
const KeywordList &docCommands() {
    static const KeywordList list{
        "a",        "addtogroup",  "attention", "author",    "b",         "brief",
        "bug",      "c",           "class",     "code",      "date",      "def",
        "defgroup", "deprecated",  "details",   "e",         "em",        "endcode",
        "endlink",  "endverbatim", "enum",      "example",   "exception", "file",
        "fn",       "image",       "include",   "ingroup",   "invariant", "li",
        "link",     "n",           "name",      "namespace", "note",      "p",
        "page",     "par",         "param",     "post",      "pre",       "ref",
        "remark",   "remarks",     "return",    "returns",   "retval",    "sa",
        "section",  "see",         "short",     "since",     "struct",    "subsection",
        "throw",    "throws",      "todo",      "tparam",    "typedef",   "union",
        "var",      "verbatim",    "version",   "warning"};
    return list;
}

// Commands whose next word is their argument (DovIve Argument style).
const KeywordList &docCommandsWithArgument() {
    static const KeywordList list{
        "a",      "addtogroup", "b",       "c",         "class",  "def",     "defgroup", "e",
        "em",     "enum",       "example", "exception", "file",   "fn",      "include",  "ingroup",
        "link",   "namespace",  "p",       "page",      "param",  "ref",     "retval",   "section",
        "struct", "subsection", "throw",   "throws",    "tparam", "typedef", "union",    "var"};
    return list;
}

bool isDocCodeStart(std::u16string_view word) {
    return word == u"code" || word == u"verbatim";
}

bool isDocCodeEnd(std::u16string_view word) {
    return word == u"endcode" || word == u"endverbatim";
}

} // namespace

bool CodeEditStandardParser::isStandardParser() const {
    return true;
}

bool CodeEditStandardParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

long CodeEditStandardParser::writeDocComment(MarkupWriter &out, const char16_t *text, long i,
                                             std::uint32_t &state, bool closer, int &braces) {
    while (text[i]) {
        if (closer && text[i] == '*' && text[i + 1] == '/') {
            out.style(StyleComment);
            out.put(text + i, 2);
            --braces;
            state = Code;
            return i + 2;
        }
        if ((text[i] == '\\' || text[i] == '@') && lex::isAsciiLetter(text[i + 1]) &&
            (i == 0 || !lex::isIdentifierChar(text[i - 1]))) {
            long end = i + 1;
            while (lex::isAsciiLetter(text[end]))
                ++end;
            std::u16string_view command(text + i + 1, std::size_t(end - i - 1));
            bool inCode = state == DocCode;
            if ((inCode && isDocCodeEnd(command)) || (!inCode && docCommands().contains(command))) {
                out.style(StyleDocKeyword);
                // "\param[in]": the direction belongs to the command
                if (text[end] == '[')
                    while (text[end] && text[end] != ']' &&
                           !(text[end] == '*' && text[end + 1] == '/'))
                        ++end;
                if (text[end] == ']')
                    ++end;
                out.put(text + i, end - i);
                i = end;
                if (inCode) {
                    state = DocComment;
                } else if (isDocCodeStart(command)) {
                    state = DocCode;
                } else if (docCommandsWithArgument().contains(command)) {
                    out.style(StyleComment);
                    while (lex::isSpace(text[i]))
                        out.put(text[i++]);
                    out.style(StyleDocArgument);
                    while (text[i] && !lex::isSpace(text[i]) &&
                           !(closer && text[i] == '*' && text[i + 1] == '/'))
                        out.put(text[i++]);
                }
                continue;
            }
        }
        // plain text up to the next place a command or the closer may start
        long end = i + 1;
        while (text[end] && text[end] != '\\' && text[end] != '@' && text[end] != '*')
            ++end;
        if (state == DocCode) {
            out.style(StyleDocCode);
            out.put(text + i, end - i);
        } else {
            writeCommentText(out, text, i, end, StyleComment);
        }
        i = end;
    }
    return i;
}

long CodeEditStandardParser::parseString(MarkupWriter &out, const char16_t *text, long i,
                                         char16_t quote, bool opened) {
    if (opened) {
        out.forceStyle(StyleStringDelimiter);
        out.put(quote);
        out.forceStyle(StyleString);
        ++i;
    } else {
        out.style(StyleString);
    }
    while (char16_t c = text[i]) {
        if (c == '\\') {
            out.style(StyleStringEscape);
            out.put(c);
            char16_t escaped = text[++i];
            if (escaped == 0) {
                m_lineState = quote; // the string goes on in the next line
                return i;
            }
            out.put(escaped);
            ++i;
            int digits = 0;
            bool (*digit)(char16_t) = lex::isHexDigit;
            if (escaped == 'x' || escaped == 'u') {
                digits = 4;
            } else if (escaped == 'U') {
                digits = 8;
            } else if (lex::isOctalDigit(escaped)) {
                digits = 2;
                digit = lex::isOctalDigit;
            }
            for (; digits > 0 && digit(text[i]); --digits)
                out.put(text[i++]);
            out.style(StyleString);
            continue;
        }
        if (c == quote) {
            out.style(StyleStringDelimiter);
            out.put(c);
            m_lineState = Code;
            return i + 1;
        }
        out.put(c);
        ++i;
    }
    m_lineState = Code; // an unterminated string ends with its line
    return i;
}

long CodeEditStandardParser::parseBlockComment(MarkupWriter &out, const char16_t *text, long i,
                                               int &braces) {
    long end = i;
    while (text[end] && !(text[end] == '*' && text[end + 1] == '/'))
        ++end;
    writeCommentText(out, text, i, end, StyleComment);
    if (!text[end]) {
        m_lineState = BlockComment;
        return end;
    }
    out.put(text + end, 2);
    --braces;
    m_lineState = Code;
    return end + 2;
}

long CodeEditStandardParser::parseRawString(MarkupWriter &out, const char16_t *text, long i) {
    std::uint32_t delimiter = m_lineState >> 8;
    out.style(StyleString);
    while (text[i]) {
        int length = 0;
        if (text[i] == ')' && matchRawStringEnd(text + i, delimiter, length)) {
            out.style(StyleStringDelimiter);
            out.put(text + i, length);
            m_lineState = Code;
            return i + length;
        }
        out.put(text[i++]);
    }
    return i;
}

long CodeEditStandardParser::parseIdentifier(MarkupWriter &out, const char16_t *text, long i) {
    long start = i;
    while (lex::isIdentifierChar(text[i]))
        ++i;
    std::u16string_view word(text + start, std::size_t(i - start));
    int style = StyleText;
    auto has = [&](const KeywordList &list) {
        return m_caseSensitive ? list.contains(word) : lex::containsNoCase(list, word);
    };
    if (has(m_keywords[0]) || has(m_keywords[1]))
        style = StyleKeyword;
    else if (has(m_keywords[2]))
        style = StyleControl;
    char16_t *control = out.forceStyle(style);
    out.put(text + start, i - start);
    if (style == StyleText) {
        long next = i;
        while (lex::isSpace(text[next]))
            ++next;
        if (text[next] == '(')
            out.restyle(control, StyleFunction);
    }
    return i;
}

long CodeEditStandardParser::parseDirective(MarkupWriter &out, const char16_t *text, long i) {
    out.style(StyleControl);
    out.put(text[i++]);
    while (lex::isSpace(text[i]))
        out.put(text[i++]);
    long word = i;
    while (lex::isAsciiLetter(text[i]) || lex::isDigit(text[i]))
        out.put(text[i++]);
    out.style(StyleText);
    if (std::u16string_view(text + word, std::size_t(i - word)) != u"include")
        return i;
    while (lex::isSpace(text[i]))
        out.put(text[i++]);
    if (text[i] != '<')
        return i;
    out.forceStyle(StyleStringDelimiter);
    out.put(text[i++]);
    out.forceStyle(StyleString);
    while (text[i] && text[i] != '>')
        out.put(text[i++]);
    if (text[i] == '>') {
        out.forceStyle(StyleStringDelimiter);
        out.put(text[i++]);
    }
    out.style(StyleText);
    return i;
}

char16_t *CodeEditStandardParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    switch (m_lineState & 0xFF) {
    case BlockComment:
        w.style(StyleComment);
        i = parseBlockComment(w, text, i, braces);
        break;
    case DocComment:
    case DocCode: {
        std::uint32_t state = m_lineState;
        w.style(StyleComment);
        i = writeDocComment(w, text, i, state, true, braces);
        m_lineState = state;
        break;
    }
    case RawString:
        i = parseRawString(w, text, i);
        break;
    case DoubleQuoted:
    case SingleQuoted:
        i = parseString(w, text, i, char16_t(m_lineState), false);
        break;
    default:
        m_lineState = Code;
        break;
    }
    while (m_lineState == Code && text[i]) {
        char16_t c = text[i];
        int length = 0;
        std::uint32_t delimiter = 0;
        if (matchRawStringStart(text + i, length, delimiter)) {
            w.style(StyleStringDelimiter);
            w.put(text + i, length);
            m_lineState = RawString | (delimiter << 8);
            i = parseRawString(w, text, i + length);
        } else if (c == '/' && text[i + 1] == '*') {
            w.style(StyleComment);
            ++braces;
            if (text[i + 2] == '!') {
                w.put(text + i, 3);
                std::uint32_t state = DocComment;
                i = writeDocComment(w, text, i + 3, state, true, braces);
                m_lineState = state;
            } else {
                w.put(text + i, 2);
                i = parseBlockComment(w, text, i + 2, braces);
            }
        } else if (c == '/' && text[i + 1] == '/') {
            w.style(StyleComment);
            w.put(text + i, 2);
            i += 2;
            while (lex::isSpace(text[i]))
                w.put(text[i++]);
            long word = i;
            while (lex::isIdentifierChar(text[i]))
                ++i;
            int tag = commentTagStyle(std::u16string_view(text + word, std::size_t(i - word)));
            if (tag >= 0) {
                w.style(tag);
                w.put(text + word, i - word);
            } else {
                i = word;
            }
            long end = i;
            while (text[end])
                ++end;
            writeCommentText(w, text, i, end, StyleComment);
            i = end;
        } else if (c == '"' || c == '\'') {
            i = parseString(w, text, i, c, true);
        } else if (c == '#') {
            i = parseDirective(w, text, i);
        } else if (lex::isIdentifierStart(c)) {
            i = parseIdentifier(w, text, i);
        } else if (lex::isDigit(c) || (c == '.' && lex::isDigit(text[i + 1]))) {
            i = lex::writeNumber(w, text, i, u"'");
        } else if (c == '\\') {
            w.put(text[i++]);
            while (lex::isAsciiLetter(text[i]) || lex::isDigit(text[i]))
                w.put(text[i++]);
        } else if (lex::isOperator(c)) {
            w.style(StyleOperator);
            w.put(c);
            if (c == '{')
                ++braces;
            else if (c == '}')
                --braces;
            ++i;
        } else {
            w.style(StyleText);
            w.put(c);
            ++i;
        }
    }
    return w.finish();
}
