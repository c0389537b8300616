#include "editor/codeeditdoviveparser.h"

#include "editor/codeeditstandardparser.h"
#include "editor/styletable.h"

char16_t *CodeEditDovIveParser::parse(const char16_t *text, char16_t *out, int &braces) {
    m_text = text;
    MarkupWriter w(out);
    std::uint32_t state = m_lineState == CodeEditStandardParser::DocCode
                              ? std::uint32_t(CodeEditStandardParser::DocCode)
                              : std::uint32_t(CodeEditStandardParser::DocComment);
    w.style(state == CodeEditStandardParser::DocCode ? StyleDocCode : StyleComment);
    CodeEditStandardParser::writeDocComment(w, text, 0, state, false, braces);
    m_lineState = state == CodeEditStandardParser::DocCode ? state : 0;
    return w.finish();
}

char16_t *CodeEditQzDocParser::parse(const char16_t *text, char16_t *out, int &braces) {
    if (text[0] != '#' || m_lineState == CodeEditStandardParser::DocCode)
        return CodeEditDovIveParser::parse(text, out, braces);
    m_text = text;
    m_lineState = 0;
    MarkupWriter w(out);
    w.style(StyleKeyword);
    for (long i = 0; text[i]; ++i)
        w.put(text[i]);
    return w.finish();
}
