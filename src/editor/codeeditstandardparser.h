#pragma once

#include "editor/codeeditparser.h"

// The table-driven parser of the C-like languages: comments, strings and character literals,
// preprocessor lines, numbers, operators and identifiers looked up in the keyword lists
// (lists 0 and 1: Keyword, list 2: Preprocessor Control).
//
// Line states (the low byte; the C parser keeps a raw string's delimiter id above it):
//   0        code
//   1        inside a block comment
//   3        inside a documentation comment opened by "/*!"
//   4        inside a \code or \verbatim block of a documentation comment
//   5        inside a raw string literal
//   34, 39   inside a string continued by a backslash at the end of the previous line; the
//            value is the quote character
class CodeEditStandardParser : public CodeEditParser {
public:
    enum LineState : std::uint32_t {
        Code = 0,
        BlockComment = 1,
        DocComment = 3,
        DocCode = 4,
        RawString = 5,
        DoubleQuoted = '"',
        SingleQuoted = '\'',
    };

    explicit CodeEditStandardParser(bool caseSensitive = true) : m_caseSensitive(caseSensitive) {}

    char16_t *parse(const char16_t *text, char16_t *out, int &braces) override;
    bool isCodePosition(const QString &line, int column) override;
    bool isStandardParser() const override;

    bool caseSensitive() const { return m_caseSensitive; }

    // Writes the body of a documentation comment from text[i] in state `state` (DocComment or
    // DocCode) up to and including "*/" when `closer` is set, else to the end; returns the
    // position reached and leaves in `state` the state there (Code after "*/"). Shared with
    // the documentation-comment parsers.
    static long writeDocComment(MarkupWriter &out, const char16_t *text, long i,
                                std::uint32_t &state, bool closer, int &braces);

private:
    long parseString(MarkupWriter &out, const char16_t *text, long i, char16_t quote, bool opened);
    long parseBlockComment(MarkupWriter &out, const char16_t *text, long i, int &braces);
    long parseRawString(MarkupWriter &out, const char16_t *text, long i);
    long parseIdentifier(MarkupWriter &out, const char16_t *text, long i);
    long parseDirective(MarkupWriter &out, const char16_t *text, long i);

    bool m_caseSensitive;
};
