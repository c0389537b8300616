#include "editor/parserhelpers.h"

#include "editor/styletable.h"

namespace lex {

long writeQuotedBody(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool escapes,
                     bool &closed, bool &continued) {
    closed = continued = false;
    out.style(StyleString);
    while (char16_t c = text[i]) {
        if (escapes && c == '\\') {
            out.style(StyleStringEscape);
            out.put(c);
            if (!text[i + 1]) {
                continued = true;
                return i + 1;
            }
            out.put(text[i + 1]);
            out.style(StyleString);
            i += 2;
            continue;
        }
        if (c == quote) {
            out.style(StyleStringDelimiter);
            out.put(c);
            closed = true;
            return i + 1;
        }
        out.put(c);
        ++i;
    }
    return i;
}

long writeQuoted(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool escapes,
                 bool &closed, bool &continued) {
    out.style(StyleStringDelimiter);
    out.put(text[i]);
    return writeQuotedBody(out, text, i + 1, quote, escapes, closed, continued);
}

long writeSpace(MarkupWriter &out, const char16_t *text, long i) {
    out.style(StyleText);
    while (isSpace(text[i]))
        out.put(text[i++]);
    return i;
}

long writeLineComment(MarkupWriter &out, const char16_t *text, long i, long openerLength,
                      int (*tagStyle)(std::u16string_view),
                      void (*commentText)(MarkupWriter &, const char16_t *, long, long, int)) {
    out.style(StyleComment);
    out.put(text + i, openerLength);
    i += openerLength;
    while (isSpace(text[i]))
        out.put(text[i++]);
    long word = i;
    while (isIdentifierChar(text[i]))
        ++i;
    int tag = tagStyle(std::u16string_view(text + word, std::size_t(i - word)));
    if (tag >= 0) {
        out.style(tag);
        out.put(text + word, i - word);
    } else {
        i = word;
    }
    long end = i;
    while (text[end])
        ++end;
    commentText(out, text, i, end, StyleComment);
    return end;
}

long writeNumber(MarkupWriter &out, const char16_t *text, long i, std::u16string_view extra) {
    const bool hex = text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    out.style(StyleLiteral);
    out.put(text[i++]);
    for (;;) {
        char16_t c = text[i];
        char16_t previous = toLower(text[i - 1]);
        if (isLetter(c) || isDigit(c) || c == '.' ||
            (c != 0 && extra.find(c) != std::u16string_view::npos) ||
            ((c == '+' || c == '-') && previous == (hex ? 'p' : 'e')))
            out.put(text[i++]);
        else
            return i;
    }
}

long writePunctuation(MarkupWriter &out, const char16_t *text, long i, int *braces) {
    char16_t c = text[i];
    out.style(isOperator(c) ? StyleOperator : StyleText);
    out.put(c);
    if (braces && c == '{')
        ++*braces;
    else if (braces && c == '}')
        --*braces;
    return i + 1;
}

} // namespace lex
