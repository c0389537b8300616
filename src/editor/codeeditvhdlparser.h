#pragma once

#include "editor/codeeditparser.h"

// VHDL (case-insensitive).
//
// Line states: 0 code, 1 inside a /* */ comment (VHDL-2008).
// Styles: "--" comments and block comments Comment; reserved words (list 0) and the standard
// types and functions of IEEE libraries (list 1) Keyword; attributes after a tick ('event,
// 'range) Preprocessor Control; numbers (16#FF#, 1.0E-3, 1_000) Literal; strings and bit
// strings (x"FF", b"0101") String with delimiters; character literals ('0') String;
// operators and punctuation Operator. A label before ':' at the start of a line
// and the name after "entity", "architecture", "component", "function", "procedure" and
// "package" are Function.
class CodeEditVHDLParser : public CodeEditParser {
public:
    CodeEditVHDLParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;
};
