#pragma once

#include "editor/colorscheme.h"
#include "editor/markup.h"

#include <string>
#include <vector>

// Turns the runs of decoded lines into one of the tool's output forms, appending UTF-8 to a
// byte string the caller writes out.
class HighlightWriter {
public:
    enum class Form { Ansi, Html, Runs };

    HighlightWriter(Form form, const ColorScheme &scheme);

    // Before the first line of a file; `header` says whether to name it (several files).
    void beginFile(const std::string &name, bool header, std::string &out);
    // One line: its 1-based number, decoded text and runs, and the line break to end it
    // with (empty for a last line without one).
    void line(long number, const std::u16string &text, const std::vector<MarkupRun> &runs,
              const char *lineBreak, std::string &out);
    void endFile(std::string &out);

    // The standalone page around the files of --html.
    void beginPage(const std::string &title, std::string &out) const;
    void endPage(std::string &out) const;

private:
    std::string ansiSequence(int style, unsigned flags) const;
    std::string cssRule(int style) const;

    Form m_form;
    ColorScheme m_scheme;
    std::vector<std::string> m_ansi;      // per style: the SGR parameters
    std::vector<std::string> m_plainAnsi; // per style: the whole sequence without flags
    std::uint32_t m_squiggleColor;
};

// Appends UTF-16 text as UTF-8; lone surrogates become U+FFFD.
void appendUtf8(std::string &out, const char16_t *text, long length);
