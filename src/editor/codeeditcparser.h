#pragma once

#include "editor/codeeditstandardparser.h"

// C and C++: the standard parser with the C keyword list and raw string literals
// (R"delimiter( ... )delimiter", with an optional L, u8, u or U prefix). Since one parser
// serves every window and lines are repainted in any order, a raw string's delimiter travels
// in the line state: state 5 with an interned delimiter id in the bits above the low byte.
class CodeEditCParser : public CodeEditStandardParser {
public:
    CodeEditCParser();

    bool matchRawStringStart(const char16_t *text, int &length, std::uint32_t &delimiter) override;
    bool matchRawStringEnd(const char16_t *text, std::uint32_t delimiter, int &length) override;

    static constexpr int kMaximumDelimiterLength = 16;
};

// The id of a raw-string delimiter, the same for the same text across parsers and windows.
// The empty delimiter is 0. Returns false once the table is full (a hostile file with
// millions of distinct delimiters); the opener is then not taken as a raw string.
bool internRawStringDelimiter(std::u16string_view delimiter, std::uint32_t &id);
// The delimiter with that id (empty for an unknown id).
std::u16string_view rawStringDelimiter(std::uint32_t id);
