#pragma once

#include "editor/codeeditparser.h"

// GNU-style assembly for Arm and RISC-V (with the C preprocessor of .S files).
//
// Line states: 0 code, 1 inside a /* */ comment.
// Styles: a label ("name:") Function; a directive (".word") Preprocessor Control, as is a
// preprocessor line ("#include", "#define"); the first word of a statement (the mnemonic)
// Keyword; register names (r0-r15, sp, lr, pc, x0-x31, a0-a7, t0-t6, s0-s11, ...) Register;
// numbers Literal; strings String; comments ("//", "/* */", ";", "@", and "#" followed by a
// blank at the start of a line) Comment; other punctuation ("#" of an immediate included)
// Operator. Braces of register lists count as braces.
class CodeEditAssemblyParser : public CodeEditParser {
public:
    CodeEditAssemblyParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;

    // Register names of Arm (A32/T32/A64) and RISC-V, lower-case.
    static const KeywordList &registerNames();
};
