#pragma once

#include "editor/codeeditparser.h"

// Markdown, line by line (no line states):
//   a line starting with '#': the leading '#' characters in Disassembly style, the rest in
//   Keyword style;
//   a line starting with "* ": the bullet in Keyword style; then the text in Comment style,
//   where "**" before a non-blank turns bold on and a single '*' before a non-blank (or "**"
//   before a blank or the end) turns italic on, to the end of the line. The star marks are
//   drawn in Disassembly style.
class CodeEditMarkdownParser : public CodeEditParser {
public:
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
};
