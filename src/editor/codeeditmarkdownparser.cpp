#include "editor/codeeditmarkdownparser.h"

#include "editor/styletable.h"

char16_t *CodeEditMarkdownParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    m_lineState = 0;
    MarkupWriter w(out);
    long i = 0;
    if (text[0] == '#') {
        w.forceStyle(StyleDisassembly);
        while (text[i] == '#')
            w.put(text[i++]);
        w.forceStyle(StyleKeyword);
        while (text[i])
            w.put(text[i++]);
        return w.finish();
    }
    if (text[0] == '*' && text[1] == ' ') {
        w.forceStyle(StyleKeyword);
        w.put(text, 2);
        i = 2;
    }
    w.forceStyle(StyleComment);
    auto isBlankOrEnd = [](char16_t c) { return c == 0 || lex::isSpace(c); };
    while (text[i]) {
        if (text[i] != '*' || isBlankOrEnd(text[i + 1])) {
            w.put(text[i++]);
            continue;
        }
        if (text[i + 1] == '*' && !isBlankOrEnd(text[i + 2])) {
            w.forceStyle(StyleDisassembly);
            w.put(text + i, 2);
            w.flags(kBoldOn);
            i += 2;
            continue;
        }
        w.forceStyle(StyleDisassembly);
        w.put(text[i]);
        w.flags(kItalicOn);
        w.put(text[i + 1]);
        i += 2;
    }
    return w.finish();
}
