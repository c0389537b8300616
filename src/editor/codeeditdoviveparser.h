#pragma once

#include "editor/codeeditparser.h"

// Documentation files: the text of a documentation comment without the comment around it.
//
// Line states: 0 text, 4 inside a \code or \verbatim block (as in the standard parser's
// documentation comments).
// Styles: text Comment (spell-checked); commands (\brief, @param, ...) DovIve Keyword; the
// argument of a command that takes one DovIve Argument; code and verbatim blocks DovIve
// Code/Verbatim.
class CodeEditDovIveParser : public CodeEditParser {
public:
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
};

// The same with headings: a line starting with '#' is a heading in Keyword style (outside
// code blocks).
class CodeEditQzDocParser : public CodeEditDovIveParser {
public:
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
};
