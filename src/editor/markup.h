#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The marked-up line a parser writes: the line's own UTF-16 units with in-band escape pairs
// that switch the display style or the attribute flags, ended by a single 0 unit. 0xFDD0 is a
// Unicode noncharacter, so a parser replaces any 0xFDD0 of the text itself with U+FFFD; the
// painter would otherwise read it as an escape and take the next unit as a control.

constexpr char16_t kMarkupEscape = 0xFDD0;
constexpr char16_t kMarkupReplacement = 0xFFFD;

// Flag bits of the control unit; the low byte says on (59) or off (60).
constexpr unsigned kMarkupSquiggle = 0x100;
constexpr unsigned kMarkupBold = 0x200;
constexpr unsigned kMarkupItalic = 0x400;
constexpr unsigned kMarkupFlagsOn = 59;
constexpr unsigned kMarkupFlagsOff = 60;
constexpr unsigned kMarkupFlagMask = kMarkupSquiggle | kMarkupBold | kMarkupItalic;

constexpr char16_t kSquiggleOn = char16_t(kMarkupFlagsOn | kMarkupSquiggle);   // 315
constexpr char16_t kSquiggleOff = char16_t(kMarkupFlagsOff | kMarkupSquiggle); // 316
constexpr char16_t kBoldOn = char16_t(kMarkupFlagsOn | kMarkupBold);           // 571
constexpr char16_t kItalicOn = char16_t(kMarkupFlagsOn | kMarkupItalic);       // 1083

// The capacity, in 16-bit units, that a markup buffer for a line of `length` units needs;
// every parser stays within it whatever the line holds.
constexpr long markupCapacity(long length) {
    return 4 * length + 10;
}

// Writes markup into a buffer that the caller sized with markupCapacity(). A style change is
// written lazily, just before the next character, so a line that ends right after a change
// carries no dangling escape pair; forceStyle() writes its pair at once, even when the style
// stays the same, for the places where each token needs a pair of its own.
class MarkupWriter {
public:
    explicit MarkupWriter(char16_t *out) : m_out(out) {}

    // The style the next character will be drawn in.
    void style(int style) { m_wanted = style; }
    int currentStyle() const { return m_wanted; }

    // Writes the escape pair now and returns the position of its control unit, so that a
    // parser can change its mind about the style once it has seen what follows.
    char16_t *forceStyle(int style) {
        *m_out++ = kMarkupEscape;
        char16_t *control = m_out;
        *m_out++ = char16_t(style);
        m_written = m_wanted = style;
        return control;
    }

    // Changes the style of a pair written by forceStyle(); the characters written since are
    // then drawn in it.
    void restyle(char16_t *control, int style) {
        *control = char16_t(style);
        m_written = m_wanted = style;
    }

    void flags(char16_t control) {
        *m_out++ = kMarkupEscape;
        *m_out++ = control;
    }

    void put(char16_t c) {
        if (m_wanted != m_written) {
            *m_out++ = kMarkupEscape;
            *m_out++ = char16_t(m_wanted);
            m_written = m_wanted;
        }
        *m_out++ = c == kMarkupEscape ? kMarkupReplacement : c;
    }

    void put(const char16_t *text, long count) {
        for (long i = 0; i < count; ++i)
            put(text[i]);
    }

    // Writes the terminating 0 and returns the position just past it.
    char16_t *finish() {
        *m_out++ = 0;
        return m_out;
    }

private:
    char16_t *m_out;
    int m_written = 0; // the painter starts every line in style 0
    int m_wanted = 0;
};

// One stretch of a marked-up line drawn alike.
struct MarkupRun {
    long column = 0; // in characters (a surrogate pair is one), 0-based
    long start = 0;  // index of the run's first unit in the decoded text
    long length = 0; // in units
    int style = 0;
    unsigned flags = 0; // kMarkupSquiggle | kMarkupBold | kMarkupItalic
};

// Splits a marked-up line into its runs the way the painter reads it: controls 0 to 58 set
// the style, flag controls set or clear bits, anything else is ignored. A run ends only
// where the style or the flags change, so consecutive pairs that keep both merge. `text`
// receives the line without the escape pairs. Both are cleared first; capacity is reused.
void decodeMarkup(const char16_t *markup, std::u16string &text, std::vector<MarkupRun> &runs);
