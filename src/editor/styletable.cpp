#include "editor/styletable.h"

namespace {

constexpr StyleKind T = StyleKind::Text;
constexpr StyleKind C = StyleKind::Colour;

const StyleInfo kStyles[kStyleCount] = {
    {0, "Editor Text", "editor-text", T},
    {1, "Literal", "literal", T},
    {2, "Comment", "comment", T},
    {3, "Keyword", "keyword", T},
    {4, "Disassembly", "disassembly", T},
    {5, "XML Markup", "xml-markup", T},
    {6, "Preprocessor Control", "control", T},
    {7, "Operator", "operator", T},
    {8, "Register", "register", T},
    {9, "Function", "function", T},
    {10, "FIXME", "fixme", T},
    {11, "ATTENTION", "attention", T},
    {12, "Lint", "lint", T},
    {13, "DovIve Keyword", "doc-keyword", T},
    {14, "DovIve Argument", "doc-argument", T},
    {15, "DovIve Code/Verbatim", "doc-code", T},
    {16, "XML Attribute", "xml-attribute", T},
    {17, "Editor Background", "editor-background", C},
    {18, "Editor Selection", "editor-selection", C},
    {19, "Find Highlight", "find-highlight", C},
    {20, "Focused Execution Line", "execution-focused-highlight", C},
    {21, "Non-focused Execution Line", "execution-non-focused-highlight", C},
    {22, "Brace-Match Fill", "brace-match-fill", C},
    {23, "Brace-Match Connector", "brace-match-aligned-connector", C},
    {24, "Brace-Match Misaligned Connector", "brace-match-misaligned-connector", C},
    {25, "Cursor Line Highlight", "highlight-cursor-line", C},
    {26, "Insert Cursor", "insert-cursor", C},
    {27, "Overwrite Cursor", "overwrite", C},
    {28, "Guide", "guide", C},
    {29, "String", "string", T},
    {30, "String Delimiter", "string-delimiter", T},
    {31, "String Escape", "string-escape", T},
    {32, "XML Delimiter", "xml-delimiter", T},
    {33, "Spelling Error", "spelling-error", C},
    {34, "Line Number", "line-number", C},
    {35, "Line Number Highlight", "line-number-highlight", C},
    {36, "Warning", "warning", C},
    {37, "Error", "error", C},
    {38, "Breakpoint", "breakpoint", C},
    {39, "Bookmark", "bookmark", C},
    {40, "Fold Rule", "fold-rule", C},
    {41, "Fold Rule Highlight", "fold-rule-highlight", C},
    {42, "Terminal Black", "terminal-black", C},
    {43, "Terminal Red", "terminal-red", C},
    {44, "Terminal Green", "terminal-green", C},
    {45, "Terminal Yellow", "terminal-yellow", C},
    {46, "Terminal Blue", "terminal-blue", C},
    {47, "Terminal Magenta", "terminal-magenta", C},
    {48, "Terminal Cyan", "terminal-cyan", C},
    {49, "Terminal White", "terminal-white", C},
    {50, "Terminal Bright Black", "terminal-bright-black", C},
    {51, "Terminal Bright Red", "terminal-bright-red", C},
    {52, "Terminal Bright Green", "terminal-bright-green", C},
    {53, "Terminal Bright Yellow", "terminal-bright-yellow", C},
    {54, "Terminal Bright Blue", "terminal-bright-blue", C},
    {55, "Terminal Bright Magenta", "terminal-bright-magenta", C},
    {56, "Terminal Bright Cyan", "terminal-bright-cyan", C},
    {57, "Terminal Bright White", "terminal-bright-white", C},
    {58, "Progress Bar", "progress-bar", C},
};

} // namespace

const StyleInfo *styleTable() {
    return kStyles;
}

const StyleInfo *styleByXmlName(std::string_view xmlName) {
    for (const StyleInfo &style : kStyles)
        if (xmlName == style.xmlName)
            return &style;
    return nullptr;
}

bool isCommentOrStringStyle(int style) {
    switch (style) {
    case StyleComment:
    case StyleFixme:
    case StyleAttention:
    case StyleLint:
    case StyleDocKeyword:
    case StyleDocArgument:
    case StyleDocCode:
    case StyleString:
    case StyleStringDelimiter:
    case StyleStringEscape:
        return true;
    default:
        return false;
    }
}
