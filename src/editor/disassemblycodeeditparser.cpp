#include "editor/disassemblycodeeditparser.h"

#include "editor/codeeditassemblyparser.h"
#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

// The length of a run of hexadecimal digits at text[i].
long hexLength(const char16_t *text, long i) {
    long n = 0;
    while (lex::isHexDigit(text[i + n]))
        ++n;
    return n;
}

} // namespace

char16_t *DisassemblyCodeEditParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    m_lineState = 0;
    MarkupWriter w(out);
    long i = lex::writeSpace(w, text, 0);
    long prefix = text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') ? 2 : 0;
    long address = hexLength(text, i + prefix);
    char16_t after = text[i + prefix + address];
    if (address < 4 || !(after == ':' || lex::isSpace(after))) {
        w.style(StyleText);
        while (text[i])
            w.put(text[i++]);
        return w.finish();
    }
    w.style(StyleLiteral);
    w.put(text + i, prefix + address);
    i += prefix + address;
    if (text[i] == ':') {
        w.style(StyleOperator);
        w.put(text[i++]);
    }
    i = lex::writeSpace(w, text, i);
    if (text[i] == '<') {
        // a label line: 08000120 <main>:
        w.style(StyleFunction);
        while (text[i])
            w.put(text[i++]);
        return w.finish();
    }
    // opcode bytes: groups of 2, 4 or 8 hexadecimal digits followed by white space
    for (;;) {
        long n = hexLength(text, i);
        if (!((n == 2 || n == 4 || n == 8) && lex::isSpace(text[i + n])))
            break;
        long spaces = i + n;
        while (lex::isSpace(text[spaces]))
            ++spaces;
        if (!text[spaces])
            break;
        w.style(StyleDisassembly);
        w.put(text + i, n);
        i = lex::writeSpace(w, text, i + n);
    }
    bool mnemonic = true;
    while (text[i]) {
        char16_t c = text[i];
        long start = i;
        if (lex::isSpace(c)) {
            i = lex::writeSpace(w, text, i);
        } else if (c == ';' || c == '@' || (c == '/' && text[i + 1] == '/')) {
            i = lex::writeLineComment(w, text, i, c == '/' ? 2 : 1, commentTagStyle,
                                      writeCommentText);
        } else if (c == '<') {
            w.style(StyleFunction);
            while (text[i] && text[i] != '>')
                w.put(text[i++]);
            if (text[i])
                w.put(text[i++]);
        } else if (lex::isDigit(c) ||
                   ((c == '#' || c == '$') && (lex::isDigit(text[i + 1]) || text[i + 1] == '-'))) {
            w.style(StyleLiteral);
            w.put(text[i++]);
            while (lex::isIdentifierChar(text[i]) || text[i] == '-')
                w.put(text[i++]);
        } else if (lex::isIdentifierStart(c) || c == '.') {
            while (lex::isIdentifierChar(text[i]) || text[i] == '.')
                ++i;
            std::u16string_view word(text + start, std::size_t(i - start));
            int style = StyleText;
            if (lex::containsNoCase(CodeEditAssemblyParser::registerNames(), word))
                style = StyleRegister;
            else if (mnemonic)
                style = StyleKeyword;
            mnemonic = false;
            w.forceStyle(style);
            w.put(text + start, i - start);
        } else {
            i = lex::writePunctuation(w, text, i);
        }
    }
    return w.finish();
}
