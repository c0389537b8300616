#pragma once

#include "editor/codeeditparser.h"

// YAML.
//
// Line states (low byte; a block scalar keeps the indentation of its parent line above it):
//   0  block context
//   1  inside a double-quoted scalar that spans lines
//   2  inside a single-quoted scalar that spans lines
//   3  inside a block scalar ("|" or ">"): lines indented deeper than the parent are text
// Styles: comments Comment; mapping keys XML Attribute; the indicators "-", "?", ":", ",",
// "[", "]", "{", "}", "|", ">" Operator; quoted and block scalars String (quotes in String
// Delimiter, escapes in String Escape); anchors, aliases and tags (&a, *a, !tag) Register;
// directives (%YAML) Preprocessor Control; document markers (---, ...) and the constants
// true, false, null, ~ Keyword; numbers Literal; other plain scalars Editor Text.
class CodeEditYAMLParser : public CodeEditParser {
public:
    enum LineState : std::uint32_t {
        Block = 0,
        DoubleQuoted = 1,
        SingleQuoted = 2,
        BlockScalar = 3
    };

    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;

private:
    long parseQuoted(MarkupWriter &out, const char16_t *text, long i, char16_t quote);
};
