#include "editor/codeeditassemblyparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

#include <string>

namespace {

void addNumbered(KeywordList &list, const char *prefix, int first, int last) {
    for (int n = first; n <= last; ++n) {
        std::string name = prefix + std::to_string(n);
        list.add(std::u16string(name.begin(), name.end()));
    }
}

bool isAsmIdentifierStart(char16_t c) {
    return lex::isIdentifierStart(c) || c == '.' || c == '$';
}

bool isAsmIdentifierChar(char16_t c) {
    return lex::isIdentifierChar(c) || c == '.' || c == '$';
}

} // namespace

const KeywordList &CodeEditAssemblyParser::registerNames() {
    static const KeywordList list = [] {
        KeywordList names{"sp",      "lr",        "pc",      "fp",   "ip",    "sb",
                          "sl",      "apsr",      "cpsr",    "spsr", "fpscr", "primask",
                          "basepri", "faultmask", "control", "msp",  "psp",   "xzr",
                          "wzr",     "zero",      "ra",      "gp",   "tp"};
        addNumbered(names, "r", 0, 15);
        addNumbered(names, "s", 0, 31);
        addNumbered(names, "d", 0, 31);
        addNumbered(names, "q", 0, 15);
        addNumbered(names, "x", 0, 31);
        addNumbered(names, "w", 0, 30);
        addNumbered(names, "v", 0, 31);
        addNumbered(names, "a", 0, 7);
        addNumbered(names, "t", 0, 6);
        addNumbered(names, "f", 0, 31);
        addNumbered(names, "ft", 0, 11);
        addNumbered(names, "fs", 0, 11);
        addNumbered(names, "fa", 0, 7);
        return names;
    }();
    return list;
}

CodeEditAssemblyParser::CodeEditAssemblyParser() {
    m_keywords[2] = KeywordList{"define", "elif",    "else", "endif",  "error", "if",     "ifdef",
                                "ifndef", "include", "line", "pragma", "undef", "warning"};
}

bool CodeEditAssemblyParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

char16_t *CodeEditAssemblyParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    long i = resumeBlockComment(w, text);
    bool statementStart = true;
    bool lineStart = true;
    while (m_lineState == 0 && text[i]) {
        char16_t c = text[i];
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
            continue;
        }
        if (c == '/' && text[i + 1] == '*') {
            w.style(StyleComment);
            w.put(text + i, 2);
            i = writeBlockComment(w, text, i + 2, 1);
        } else if ((c == '/' && text[i + 1] == '/') || c == ';' || c == '@' ||
                   (c == '#' && lineStart &&
                    (lex::isSpace(text[i + 1]) || !text[i + 1] || text[i + 1] == '#'))) {
            i = lex::writeLineComment(w, text, i, c == '/' ? 2 : 1, commentTagStyle,
                                      writeCommentText);
        } else if (c == '#' && lineStart && lex::isAsciiLetter(text[i + 1])) {
            long end = i + 1;
            while (lex::isAsciiLetter(text[end]))
                ++end;
            if (m_keywords[2].contains(
                    std::u16string_view(text + i + 1, std::size_t(end - i - 1)))) {
                w.style(StyleControl);
                w.put(text + i, end - i);
                i = end;
                statementStart = false;
            } else {
                w.style(StyleOperator);
                w.put(text[i++]);
            }
        } else if (c == '"' || (c == '\'' && text[i + 1] && text[i + 2] == '\'')) {
            bool closed, continued;
            i = lex::writeQuoted(w, text, i, c, true, closed, continued);
        } else if (lex::isDigit(c)) {
            w.style(StyleLiteral);
            while (lex::isIdentifierChar(text[i]) || text[i] == '.')
                w.put(text[i++]);
        } else if (isAsmIdentifierStart(c)) {
            long start = i;
            while (isAsmIdentifierChar(text[i]))
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = StyleText;
            if (text[i] == ':')
                style = StyleFunction;
            else if (c == '.')
                style = StyleControl;
            else if (lex::containsNoCase(registerNames(), word))
                style = StyleRegister;
            else if (statementStart)
                style = StyleKeyword;
            w.forceStyle(style);
            w.put(text + start, i - start);
            if (style != StyleFunction)
                statementStart = false;
        } else {
            i = lex::writePunctuation(w, text, i, &braces);
        }
        lineStart = false;
    }
    return w.finish();
}
