#pragma once

// Pieces several hand-written parsers share. Each writes through a MarkupWriter and returns
// the position it reached; none writes more than three units per character it consumes.

#include "editor/codeeditparser.h"

namespace lex {

// A quoted string from text[i] (the opening quote) with backslash escapes of one character,
// to the closing quote or the end of the line: delimiters in String Delimiter style, body in
// String, escapes in String Escape. `closed` tells whether the quote was found; `continued`
// whether the line ended right after a backslash.
long writeQuoted(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool escapes,
                 bool &closed, bool &continued);

// The body of a quoted string continued from the previous line (no opening quote).
long writeQuotedBody(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool escapes,
                     bool &closed, bool &continued);

// A run of white space in Editor Text style.
long writeSpace(MarkupWriter &out, const char16_t *text, long i);

// The rest of the line as a line comment starting at text[i] with an opener of
// `openerLength` units: the first word after it may be a FIXME, ATTENTION or Lint word.
// Returns the end of the line.
long writeLineComment(MarkupWriter &out, const char16_t *text, long i, long openerLength,
                      int (*tagStyle)(std::u16string_view),
                      void (*commentText)(MarkupWriter &, const char16_t *, long, long, int));

// A number from text[i] (its first character whatever it is) in Literal style: then letters,
// digits, '.', the characters of `extra`, and '+' or '-' right after the exponent letter ('e'
// or 'E'; 'p' or 'P' when the number starts with "0x" or "0X").
long writeNumber(MarkupWriter &out, const char16_t *text, long i, std::u16string_view extra);

// One character no other rule took: punctuation as Operator, anything else as Editor Text;
// '{' and '}' count as braces when `braces` is given. Returns i + 1.
long writePunctuation(MarkupWriter &out, const char16_t *text, long i, int *braces = nullptr);

} // namespace lex
