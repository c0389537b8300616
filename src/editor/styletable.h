#pragma once

#include <string_view>

// The display styles a marked-up line refers to by index, written once: the colour-scheme
// reader and writer, the painters and the highlighter all read this table.

constexpr int kStyleCount = 59;

enum class StyleKind {
    Text,   // characters drawn in it: colour, background, bold, italic, underline
    Colour, // furniture of the editor: one colour
};

struct StyleInfo {
    int index;
    const char *displayName;
    const char *xmlName;
    StyleKind kind;
};

// Styles the parsers name; the rest are furniture of the editor.
enum Style : int {
    StyleText = 0,
    StyleLiteral = 1,
    StyleComment = 2,
    StyleKeyword = 3,
    StyleDisassembly = 4,
    StyleXmlMarkup = 5,
    StyleControl = 6,
    StyleOperator = 7,
    StyleRegister = 8,
    StyleFunction = 9,
    StyleFixme = 10,
    StyleAttention = 11,
    StyleLint = 12,
    StyleDocKeyword = 13,
    StyleDocArgument = 14,
    StyleDocCode = 15,
    StyleXmlAttribute = 16,
    StyleEditorBackground = 17,
    StyleString = 29,
    StyleStringDelimiter = 30,
    StyleStringEscape = 31,
    StyleXmlDelimiter = 32,
    StyleSpellingError = 33,
};

// All 59 entries, in index order.
const StyleInfo *styleTable();

// The entry with this XML name, or nullptr.
const StyleInfo *styleByXmlName(std::string_view xmlName);

// Whether text in this style is inside a comment or a string (not code).
bool isCommentOrStringStyle(int style);
