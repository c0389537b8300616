#include "editor/codeeditforthparser.h"

#include "editor/parserhelpers.h"
#include "editor/styletable.h"

namespace {

// Words whose next word is a name they define.
const KeywordList &definingWords() {
    static const KeywordList list{":",       "constant", "2constant", "create",    "defer",
                                  "value",   "variable", "2variable", "fvariable", "fconstant",
                                  "buffer:", "synonym",  "marker",    "code"};
    return list;
}

bool isNumber(std::u16string_view word) {
    std::size_t i = 0;
    if (word.size() == 3 && word[0] == '\'' && word[2] == '\'')
        return true;
    int base = 10;
    if (i < word.size() && (word[i] == '$' || word[i] == '#' || word[i] == '%' || word[i] == '&')) {
        base = word[i] == '$' ? 16 : word[i] == '%' ? 2 : 10;
        ++i;
    }
    if (i < word.size() && word[i] == '-')
        ++i;
    if (base == 10 && i + 1 < word.size() && word[i] == '0' && lex::toLower(word[i + 1]) == 'x') {
        base = 16;
        i += 2;
    }
    std::size_t digits = 0;
    bool exponent = false;
    for (; i < word.size(); ++i) {
        char16_t c = lex::toLower(word[i]);
        bool digit = base == 16  ? lex::isHexDigit(c)
                     : base == 2 ? (c == '0' || c == '1')
                                 : lex::isDigit(c);
        if (digit) {
            ++digits;
        } else if (c == '.' && base == 10) {
            continue;
        } else if (c == 'e' && base == 10 && digits > 0 && !exponent) {
            exponent = true;
            if (i + 1 < word.size() && (word[i + 1] == '-' || word[i + 1] == '+'))
                ++i;
        } else if (c == '.' || c == ',') {
            continue; // a double-cell number
        } else {
            return false;
        }
    }
    return digits > 0;
}

} // namespace

CodeEditForthParser::CodeEditForthParser() {
    m_keywords[0] =
        KeywordList{"!",       "#",         "#>",       "#s",       "'",       "(",       "*",
                    "*/",      "*/mod",     "+",        "+!",       "+loop",   ",",       "-",
                    ".",       ".\"",       ".(",       ".s",       "/",       "/mod",    "0<",
                    "0<>",     "0=",        "0>",       "1+",       "1-",      "2!",      "2*",
                    "2/",      "2@",        "2drop",    "2dup",     "2over",   "2swap",   ":",
                    ";",       "<",         "<#",       "<>",       "=",       ">",       ">body",
                    ">in",     ">number",   ">r",       "?do",      "?dup",    "@",       "abort",
                    "abort\"", "abs",       "accept",   "again",    "align",   "aligned", "allot",
                    "and",     "base",      "begin",    "bl",       "buffer:", "c!",      "c\"",
                    "c,",      "c@",        "case",     "cell+",    "cells",   "char",    "char+",
                    "chars",   "constant",  "count",    "cr",       "create",  "decimal", "defer",
                    "depth",   "do",        "does>",    "drop",     "dup",     "else",    "emit",
                    "endcase", "endof",     "erase",    "evaluate", "execute", "exit",    "false",
                    "fill",    "find",      "fm/mod",   "here",     "hex",     "hold",    "i",
                    "if",      "immediate", "include",  "included", "invert",  "is",      "j",
                    "key",     "leave",     "literal",  "loop",     "lshift",  "m*",      "marker",
                    "max",     "min",       "mod",      "move",     "negate",  "nip",     "of",
                    "or",      "over",      "pick",     "postpone", "quit",    "r>",      "r@",
                    "recurse", "refill",    "repeat",   "roll",     "rot",     "rshift",  "s\"",
                    "s>d",     "sign",      "sm/rem",   "source",   "space",   "spaces",  "state",
                    "swap",    "then",      "throw",    "catch",    "to",      "true",    "tuck",
                    "type",    "u.",        "u<",       "u>",       "um*",     "um/mod",  "unloop",
                    "until",   "value",     "variable", "while",    "within",  "word",    "words",
                    "xor",     "[",         "[']",      "[char]",   "]",       "bye"};
}

bool CodeEditForthParser::isCodePosition(const QString &line, int column) {
    return isOutsideCommentsAndStrings(line, column);
}

char16_t *CodeEditForthParser::parse(const char16_t *text, char16_t *out, int &) {
    m_text = text;
    MarkupWriter w(out);
    long i = 0;
    auto parenComment = [&](long from) {
        long end = from;
        while (text[end] && text[end] != ')')
            ++end;
        writeCommentText(w, text, from, end, StyleComment);
        if (!text[end]) {
            m_lineState = 1;
            return end;
        }
        w.put(text[end]);
        m_lineState = 0;
        return end + 1;
    };
    // the text of ." and its kind up to `closer`, which ends it in String Delimiter style
    auto stringUntil = [&](long from, char16_t closer) {
        long end = from;
        while (text[end] && text[end] != closer)
            ++end;
        w.style(StyleString);
        w.put(text + from, end - from);
        if (!text[end])
            return end;
        w.style(StyleStringDelimiter);
        w.put(text[end]);
        return end + 1;
    };
    if (m_lineState == 1)
        i = parenComment(0);
    else
        m_lineState = 0;
    bool defines = false;
    while (m_lineState == 0 && text[i]) {
        if (lex::isSpace(text[i])) {
            i = lex::writeSpace(w, text, i);
            continue;
        }
        long start = i;
        while (text[i] && !lex::isSpace(text[i]))
            ++i;
        std::u16string_view word(text + start, std::size_t(i - start));
        if (defines) {
            w.forceStyle(StyleFunction);
            w.put(text + start, i - start);
            defines = false;
            continue;
        }
        if (word == u"\\") {
            i = lex::writeLineComment(w, text, start, 1, commentTagStyle, writeCommentText);
            continue;
        }
        if (word == u"(" || word == u".(") {
            w.style(word == u"(" ? StyleComment : StyleKeyword);
            w.put(text + start, i - start);
            i = word == u".(" ? stringUntil(i, ')') : parenComment(i);
            continue;
        }
        if (word.size() >= 2 && word.back() == '"' && lex::containsNoCase(m_keywords[0], word)) {
            // ." s" c" abort": the text up to the next quote
            w.forceStyle(StyleKeyword);
            w.put(text + start, i - start);
            if (text[i])
                w.put(text[i++]); // the one blank that ends the word belongs to it
            i = stringUntil(i, '"');
            continue;
        }
        int style = StyleText;
        if (lex::containsNoCase(m_keywords[0], word))
            style = StyleKeyword;
        else if (isNumber(word))
            style = StyleLiteral;
        defines = lex::containsNoCase(definingWords(), word);
        w.forceStyle(style);
        w.put(text + start, i - start);
    }
    return w.finish();
}
