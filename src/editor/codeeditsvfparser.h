#pragma once

#include "editor/codeeditparser.h"

// Serial vector format (JTAG test vectors; case-insensitive).
//
// Line states: 0 commands, 1 inside a parenthesised hexadecimal field that continues on the
// next line.
// Styles: "!" and "//" comments Comment; commands (SIR, SDR, RUNTEST, ...) Keyword; their
// parameters (TDI, TDO, MASK, ...) Keyword; TAP states (IDLE, DRPAUSE, ...) Preprocessor
// Control; hexadecimal fields and numbers Literal; parentheses and ';' Operator.
class CodeEditSVFParser : public CodeEditParser {
public:
    CodeEditSVFParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
};
