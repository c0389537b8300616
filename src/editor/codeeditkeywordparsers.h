#pragma once

#include "editor/codeeditstandardparser.h"

// Standard parsers that differ only in their keyword lists (list 0 and 1: Keyword, list 2:
// Preprocessor Control). Line states and styles are those of CodeEditStandardParser.

class CodeEditJavaParser : public CodeEditStandardParser {
public:
    CodeEditJavaParser();
};

class CodeEditJavaScriptParser : public CodeEditStandardParser {
public:
    CodeEditJavaScriptParser();
};

// C with the XMOS-style extensions for channels, ports and timers.
class CodeEditXCParser : public CodeEditStandardParser {
public:
    CodeEditXCParser();
};

// Linker command files: the commands and section keywords (list 0), the built-in functions
// (list 1).
class CodeEditVantrelLinkScriptParser : public CodeEditStandardParser {
public:
    CodeEditVantrelLinkScriptParser();
};

// Markdown-like plain text: no keywords, only the lexical rules.
class CodeEditMDParser : public CodeEditStandardParser {
public:
    CodeEditMDParser() = default;
};

// STAPL/JAM programs for programming devices over JTAG; case-insensitive.
class CodeEditSTAPLParser : public CodeEditStandardParser {
public:
    CodeEditSTAPLParser();
};

// Windows batch files; case-insensitive commands.
class CodeEditBatchParser : public CodeEditStandardParser {
public:
    CodeEditBatchParser();
};
