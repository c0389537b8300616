#pragma once

#include "editor/codeeditparser.h"

// The disassembly views' lines, such as
//   08000120 <main>:
//   08000124:  b580        push  {r7, lr}      ; comment
//   0x08000126  af00      add r7, sp, #0
// No line states.
// Styles: the address Literal; the opcode bytes Disassembly; the mnemonic Keyword;
// registers Register; immediates and numbers Literal; symbols (<main+4>, and a label line's
// name) Function; comments (';', '@', '//') Comment; punctuation Operator. A line that does
// not start with an address is source text shown between instructions: Editor Text.
class DisassemblyCodeEditParser : public CodeEditParser {
public:
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
};
