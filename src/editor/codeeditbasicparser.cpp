#include "editor/codeeditbasicparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

CodeEditBASICParser::CodeEditBASICParser() {
    m_keywords[0] = KeywordList{
        "abs",   "and",       "as",     "asc",    "boolean", "byref",    "byte",   "byval",
        "call",  "case",      "chr$",   "close",  "cls",     "const",    "data",   "declare",
        "def",   "dim",       "do",     "double", "each",    "else",     "elseif", "end",
        "endif", "eof",       "exit",   "false",  "for",     "function", "get",    "gosub",
        "goto",  "if",        "input",  "instr",  "int",     "integer",  "is",     "left$",
        "len",   "let",       "line",   "long",   "loop",    "mid$",     "mod",    "next",
        "not",   "on",        "open",   "or",     "output",  "peek",     "poke",   "print",
        "put",   "randomize", "read",   "redim",  "rem",     "restore",  "return", "right$",
        "rnd",   "select",    "shared", "single", "sqr",     "static",   "step",   "stop",
        "str$",  "string",    "sub",    "then",   "to",      "true",     "type",   "until",
        "val",   "wend",      "while",  "xor"};
}

bool CodeEditBASICParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

char16_t *CodeEditBASICParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    m_lineState = 0;
    MarkupWriter w(out);
    long i = 0;
    if (lex::isDigit(text[0]) || (lex::isSpace(text[0]))) {
        i = lex::writeSpace(w, text, 0);
        if (lex::isDigit(text[i])) {
            w.style(StyleLiteral);
            while (lex::isDigit(text[i]))
                w.put(text[i++]);
        }
    }
    while (text[i]) {
        char16_t c = text[i];
        long start = i;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
        } else if (c == '\'' || (lex::startsWithNoCase(text + i, "rem") &&
                                 !lex::isIdentifierChar(text[i + 3]) && text[i + 3] != '$')) {
            i = lex::writeLineComment(w, text, i, c == '\'' ? 1 : 3, commentTagStyle,
                                      writeCommentText);
        } else if (c == '"') {
            // a doubled quote is a quote inside the string
            w.style(StyleStringDelimiter);
            w.put(text[i++]);
            w.style(StyleString);
            for (;;) {
                if (!text[i])
                    break;
                if (text[i] == '"' && text[i + 1] == '"') {
                    w.style(StyleStringEscape);
                    w.put(text + i, 2);
                    w.style(StyleString);
                    i += 2;
                    continue;
                }
                if (text[i] == '"') {
                    w.style(StyleStringDelimiter);
                    w.put(text[i++]);
                    break;
                }
                w.put(text[i++]);
            }
        } else if (lex::isDigit(c) || (c == '.' && lex::isDigit(text[i + 1])) ||
                   (c == '&' && (lex::isHexDigit(text[i + 1]) || lex::toLower(text[i + 1]) == 'h' ||
                                 lex::toLower(text[i + 1]) == 'o'))) {
            i = lex::writeNumber(w, text, i, u"_#!");
        } else if (lex::isIdentifierStart(c)) {
            while (lex::isIdentifierChar(text[i]))
                ++i;
            if (text[i] == '$' || text[i] == '%' || text[i] == '!' || text[i] == '#' ||
                text[i] == '&')
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = lex::containsNoCase(m_keywords[0], word) ? StyleKeyword : StyleText;
            long next = i;
            while (lex::isSpace(text[next]))
                ++next;
            if (style == StyleText && text[next] == '(')
                style = StyleFunction;
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i);
        }
    }
    return w.finish();
}
