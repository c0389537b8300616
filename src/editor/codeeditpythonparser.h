#pragma once

#include "editor/codeeditparser.h"

// Python.
//
// Line states (low byte; bit 0x100 marks a raw string, whose backslashes are not escapes,
// and bit 0x200 a formatted string, whose {fields} are code):
//   0       code
//   1       inside a ''' string
//   2       inside a """ string
//   34, 39  inside a one-line string continued by a backslash at the end of the line
// Styles: comments Comment; strings String, their quotes and prefixes (r, b, f, u) String
// Delimiter, escapes and the braces of a formatted string's fields String Escape (the field
// itself as code); keywords (list 0) and the built-in constants and
// functions (list 1) Keyword; the name after "def" or "class", decorators, and other names
// called with '(' Function; numbers Literal; punctuation Operator. Braces count.
class CodeEditPythonParser : public CodeEditParser {
public:
    enum LineState : std::uint32_t {
        Code = 0,
        TripleSingle = 1,
        TripleDouble = 2,
        Raw = 0x100,
        Formatted = 0x200,
    };

    CodeEditPythonParser();
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;

private:
    long parseString(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool triple,
                     std::uint32_t flags);
    long parseReplacementField(MarkupWriter &out, const char16_t *text, long i, char16_t quote);
};
