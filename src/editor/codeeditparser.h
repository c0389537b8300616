#pragma once

#include "editor/keywordlist.h"
#include "editor/markup.h"

#include <QString>

#include <cstdint>
#include <string_view>

struct CommentSettings;

// A syntax parser: reads one line of text (NUL-terminated UTF-16) and writes the marked-up
// copy the painter draws from (see markup.h), counting the braces the line opens and closes.
// One instance serves every window, so nothing but the line state may survive a call: the
// editor sets the state stored with the line before the call and stores the state left after
// it as the start state of the next line.
//
// Every parser keeps its output within markupCapacity(length of the line) units, whatever
// the line holds, and writes no more than that even for a line of nothing but quotes or
// backslashes. A 0xFDD0 of the text comes out as U+FFFD.
class CodeEditParser {
public:
    CodeEditParser() = default;
    CodeEditParser(const CodeEditParser &) = delete;
    CodeEditParser &operator=(const CodeEditParser &) = delete;

    // Writes the markup of `text` to `out`; returns the position just past the final 0.
    virtual char16_t *parse(const char16_t *text, char16_t *out, int &braces) = 0;
    // The regular-expression character list of matching bracket pairs.
    virtual QString bracketPattern() const;
    virtual ~CodeEditParser();
    // Whether `column` of `line`, parsed from the current line state, lies outside comments
    // and strings.
    virtual bool isCodePosition(const QString &line, int column);
    virtual bool isStandardParser() const;
    // Hooks of the standard parser for raw string literals; see CodeEditCParser.
    virtual bool matchRawStringStart(const char16_t *text, int &length, std::uint32_t &delimiter);
    virtual bool matchRawStringEnd(const char16_t *text, std::uint32_t delimiter, int &length);

    std::uint32_t lineState() const { return m_lineState; }
    void setLineState(std::uint32_t state) { m_lineState = state; }

    // Keyword lists 0, 1 and 2; what each means is the parser's own.
    KeywordList &keywords(int list) { return m_keywords[list]; }
    const KeywordList &keywords(int list) const { return m_keywords[list]; }

    // The comment word lists and the spell checker every parser consults. The settings are
    // shared by all parsers and owned by the caller; nullptr means no word lists, no spelling.
    static void setCommentSettings(const CommentSettings *settings);
    static const CommentSettings *commentSettings() { return sm_commentSettings; }

protected:
    // Writes text[from, to) as comment text in `style`: words of letters and apostrophes are
    // checked when a spell checker is set, words all in capitals are not, and a misspelt word
    // is wrapped in a squiggle.
    static void writeCommentText(MarkupWriter &out, const char16_t *text, long from, long to,
                                 int style);
    // A /* */ comment's body from text[from] up to and including "*/": returns the position
    // after it with the line state 0, or the end of the line with the line state `openState`.
    long writeBlockComment(MarkupWriter &out, const char16_t *text, long from,
                           std::uint32_t openState);
    // The start of a line for parsers whose state 1 is "inside a /* */ comment": finishes that
    // comment (returning the position after it) or starts in code (state 0, position 0).
    long resumeBlockComment(MarkupWriter &out, const char16_t *text);
    // isCodePosition by the style at the column: neither comment nor string.
    bool isOutsideCommentsAndStrings(const QString &line, int column);
    // The style of a line comment's first word: FIXME, ATTENTION or Lint, or -1.
    static int commentTagStyle(std::u16string_view word);
    // Parses `line` from the current state into a scratch buffer and returns the style at
    // `column`, leaving the line state as it was; -1 past the end.
    int styleAt(const QString &line, int column);

    std::uint32_t m_lineState = 0;
    const char16_t *m_text = nullptr; // the line of the call in progress
    KeywordList m_keywords[3];

private:
    static inline const CommentSettings *sm_commentSettings = nullptr;
};

// Character classes shared by the parsers. Only characters below 255 make identifiers.
namespace lex {

inline bool isAsciiLetter(char16_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool isDigit(char16_t c) {
    return c >= '0' && c <= '9';
}
inline bool isHexDigit(char16_t c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline bool isOctalDigit(char16_t c) {
    return c >= '0' && c <= '7';
}
// Letters of Latin-1 (the multiplication and division signs are not letters).
inline bool isLetter(char16_t c) {
    return isAsciiLetter(c) || (c >= 0xC0 && c < 0xFF && c != 0xD7 && c != 0xF7) || c == 0xAA ||
           c == 0xB5 || c == 0xBA;
}
inline bool isIdentifierStart(char16_t c) {
    return isLetter(c) || c == '_';
}
inline bool isIdentifierChar(char16_t c) {
    return isLetter(c) || isDigit(c) || c == '_';
}
// Space and tab, and the marks the editor shows them as when white space is made visible
// (U+00B7 for a space, U+00BB for a tab): those stand for white space, not punctuation.
inline bool isSpace(char16_t c) {
    return c == ' ' || c == '\t' || c == 0xB7 || c == 0xBB || c == '\r' || c == '\f' || c == '\v';
}
// ASCII punctuation; the parsers that call it operators leave out '@' and '$'.
inline bool isPunctuation(char16_t c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}
inline bool isOperator(char16_t c) {
    return isPunctuation(c) && c != '@' && c != '$';
}
inline char16_t toLower(char16_t c) {
    return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c;
}
// Whether text[at] starts `word` (ASCII).
inline bool startsWith(const char16_t *text, const char *word) {
    for (; *word; ++text, ++word)
        if (*text != char16_t(static_cast<unsigned char>(*word)))
            return false;
    return true;
}
inline bool startsWithNoCase(const char16_t *text, const char *word) {
    for (; *word; ++text, ++word)
        if (toLower(*text) != char16_t(static_cast<unsigned char>(*word)))
            return false;
    return true;
}
inline long length(const char16_t *text) {
    long n = 0;
    while (text[n])
        ++n;
    return n;
}
// Looks `word` up lower-cased, through a buffer on the stack; words longer than any keyword
// cannot match.
bool containsNoCase(const KeywordList &list, std::u16string_view word);

} // namespace lex
