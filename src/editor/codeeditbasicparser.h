#pragma once

#include "editor/codeeditparser.h"

// BASIC dialects (case-insensitive), line by line: no line states.
// Styles: a line number at the start of a line Literal; "'" and REM comments Comment;
// statements and functions (list 0) Keyword; strings String with doubled quotes inside;
// numbers (12, 1.5E3, &HFF, &O17, &B101) Literal; operators Operator; a name followed by '('
// that is not a keyword Function.
class CodeEditBASICParser : public CodeEditParser {
public:
    CodeEditBASICParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;
};
