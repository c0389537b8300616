#pragma once

#include "editor/codeeditparser.h"

// Forth: words are separated by white space and matched without regard to case.
//
// Line states: 0 code, 1 inside a "( ... )" comment that continues on the next line.
// Styles: "\ ..." and "( ... )" comments Comment; the standard words (list 0) Keyword; the
// name after ":", "variable", "constant", "value", "create" and the like Function; the
// text of ." s" c" abort" and .( String with the closing delimiter in String Delimiter
// (and the opening word in Keyword); numbers ($FF, #10, %101, -5, 1.5e3, 'c', 10.) Literal;
// other words Editor Text.
class CodeEditForthParser : public CodeEditParser {
public:
    CodeEditForthParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;
};
