#pragma once

#include "editor/codeeditparser.h"

// Device-tree sources (.dts, .dtsi) with their C preprocessor lines.
//
// Line states: 0 code, 1 inside a /* */ comment.
// Styles: comments Comment; preprocessor lines ("#include", "#define") and directives
// ("/dts-v1/", "/delete-node/") Preprocessor Control, an included <file> String; labels
// ("uart0:") and references ("&uart0", "&{/soc}") Register; node names (a name before '{')
// Function; property names (a name before '=' or ';') XML Attribute; strings String with
// delimiters; numbers in cells and byte strings Literal; punctuation Operator. Braces count.
class CodeEditDTSParser : public CodeEditParser {
public:
    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;
};
