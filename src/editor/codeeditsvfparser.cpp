#include "editor/codeeditsvfparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

CodeEditSVFParser::CodeEditSVFParser() {
    m_keywords[0] = KeywordList{"enddr",   "endir", "frequency", "hdr",   "hir", "pio", "piomap",
                                "runtest", "sdr",   "sir",       "state", "tdr", "tir", "trst"};
    m_keywords[1] = KeywordList{"tdi",     "tdo",      "mask", "smask", "tck", "sck",    "sec",
                                "maximum", "endstate", "on",   "off",   "z",   "absent", "hz"};
    m_keywords[2] =
        KeywordList{"reset",   "idle",    "drselect", "drcapture", "drshift",   "drexit1",
                    "drpause", "drexit2", "drupdate", "irselect",  "ircapture", "irshift",
                    "irexit1", "irpause", "irexit2",  "irupdate"};
}

char16_t *CodeEditSVFParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    auto field = [&](long from) {
        w.style(StyleLiteral);
        long end = from;
        while (text[end] && text[end] != ')')
            ++end;
        w.put(text + from, end - from);
        if (!text[end]) {
            m_lineState = 1;
            return end;
        }
        w.style(StyleOperator);
        w.put(text[end]);
        m_lineState = 0;
        return end + 1;
    };
    if (m_lineState == 1)
        i = field(0);
    else
        m_lineState = 0;
    while (m_lineState == 0 && text[i]) {
        char16_t c = text[i];
        long start = i;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
        } else if (c == '!' || (c == '/' && text[i + 1] == '/')) {
            i = lex::writeLineComment(w, text, i, c == '!' ? 1 : 2, commentTagStyle,
                                      writeCommentText);
        } else if (c == '(') {
            w.style(StyleOperator);
            w.put(text[i++]);
            i = field(i);
        } else if (lex::isDigit(c) || (c == '.' && lex::isDigit(text[i + 1]))) {
            i = lex::writeNumber(w, text, i, u"_");
        } else if (lex::isIdentifierStart(c)) {
            while (lex::isIdentifierChar(text[i]))
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = StyleText;
            if (lex::containsNoCase(m_keywords[0], word) ||
                lex::containsNoCase(m_keywords[1], word))
                style = StyleKeyword;
            else if (lex::containsNoCase(m_keywords[2], word))
                style = StyleControl;
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i);
        }
    }
    return w.finish();
}
