#include "highlightwriter.h"

#include "editor/styletable.h"

#include <cstdio>

void appendUtf8(std::string &out, const char16_t *text, long length) {
    for (long i = 0; i < length; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            out.push_back(char(c));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        }
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

namespace {

std::string rgbParameters(std::uint32_t rgb) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "2;%u;%u;%u", (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF,
                  rgb & 0xFF);
    return buffer;
}

void appendHtmlEscaped(std::string &out, const char16_t *text, long length) {
    long from = 0;
    for (long i = 0; i < length; ++i) {
        const char *entity = nullptr;
        switch (text[i]) {
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '&':
            entity = "&amp;";
            break;
        case '"':
            entity = "&quot;";
            break;
        default:
            continue;
        }
        appendUtf8(out, text + from, i - from);
        out += entity;
        from = i + 1;
    }
    appendUtf8(out, text + from, length - from);
}

std::string htmlEscaped(const std::string &utf8) {
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

} // namespace

HighlightWriter::HighlightWriter(Form form, const ColorScheme &scheme)
    : m_form(form), m_scheme(scheme) {
    const std::optional<SchemeColor> &spelling = scheme.entries[StyleSpellingError];
    m_squiggleColor = spelling && spelling->color ? *spelling->color : 0xC00000;
    for (int style = 0; style < kStyleCount; ++style) {
        std::string sgr;
        if (const std::optional<SchemeColor> &entry = scheme.entries[std::size_t(style)]) {
            if (entry->color)
                sgr += ";38;" + rgbParameters(*entry->color);
            if (entry->background)
                sgr += ";48;" + rgbParameters(*entry->background);
            if (entry->bold)
                sgr += ";1";
            if (entry->italic)
                sgr += ";3";
            if (entry->underline)
                sgr += ";4";
        }
        m_ansi.push_back(sgr);
        m_plainAnsi.push_back("\x1b[0" + sgr + "m");
    }
}

std::string HighlightWriter::ansiSequence(int style, unsigned flags) const {
    std::string sgr = "\x1b[0" + m_ansi[std::size_t(style)];
    if (flags & kMarkupBold)
        sgr += ";1";
    if (flags & kMarkupItalic)
        sgr += ";3";
    if (flags & kMarkupSquiggle)
        sgr += ";4:3;58;" + rgbParameters(m_squiggleColor);
    return sgr + "m";
}

std::string HighlightWriter::cssRule(int style) const {
    const std::optional<SchemeColor> &entry = m_scheme.entries[std::size_t(style)];
    std::string rule = std::string(".") + styleTable()[style].xmlName + " {";
    if (entry) {
        if (entry->color)
            rule += " color: " + colorName(*entry->color).toStdString() + ";";
        if (entry->background)
            rule += " background-color: " + colorName(*entry->background).toStdString() + ";";
        if (entry->bold)
            rule += " font-weight: bold;";
        if (entry->italic)
            rule += " font-style: italic;";
        if (entry->underline)
            rule += " text-decoration: underline;";
    }
    return rule + " }\n";
}

void HighlightWriter::beginPage(const std::string &title, std::string &out) const {
    out += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
    out += htmlEscaped(title);
    out += "</title>\n<style>\n";
    const std::optional<SchemeColor> &background = m_scheme.entries[StyleEditorBackground];
    const std::optional<SchemeColor> &text = m_scheme.entries[StyleText];
    out += "body {";
    if (background && background->color)
        out += " background-color: " + colorName(*background->color).toStdString() + ";";
    if (text && text->color)
        out += " color: " + colorName(*text->color).toStdString() + ";";
    out += " }\npre { font-family: monospace; }\n";
    for (int style = 0; style < kStyleCount; ++style)
        if (styleTable()[style].kind == StyleKind::Text)
            out += cssRule(style);
    out += ".bold { font-weight: bold; }\n.italic { font-style: italic; }\n";
    out += ".squiggle { text-decoration: underline wavy " +
           colorName(m_squiggleColor).toStdString() + "; }\n";
    out += "</style>\n</head>\n<body>\n";
}

void HighlightWriter::endPage(std::string &out) const {
    out += "</body>\n</html>\n";
}

void HighlightWriter::beginFile(const std::string &name, bool header, std::string &out) {
    switch (m_form) {
    case Form::Html:
        if (header)
            out += "<h2>" + htmlEscaped(name) + "</h2>\n";
        out += "<pre>";
        break;
    case Form::Ansi:
    case Form::Runs:
        if (header)
            out += "==> " + name + " <==\n";
        break;
    }
}

void HighlightWriter::endFile(std::string &out) {
    if (m_form == Form::Html)
        out += "</pre>\n";
}

void HighlightWriter::line(long number, const std::u16string &text,
                           const std::vector<MarkupRun> &runs, const char *lineBreak,
                           std::string &out) {
    switch (m_form) {
    case Form::Runs:
        for (const MarkupRun &run : runs) {
            char position[48];
            std::snprintf(position, sizeof position, "%ld:%ld ", number, run.column + 1);
            out += position;
            out += styleTable()[run.style].xmlName;
            if (run.flags & kMarkupSquiggle)
                out += "+squiggle";
            if (run.flags & kMarkupBold)
                out += "+bold";
            if (run.flags & kMarkupItalic)
                out += "+italic";
            out.push_back(' ');
            long from = run.start;
            long end = run.start + run.length;
            for (long i = from; i < end; ++i) {
                const char *escape = nullptr;
                switch (text[std::size_t(i)]) {
                case '\\':
                    escape = "\\\\";
                    break;
                case '\t':
                    escape = "\\t";
                    break;
                case '\n':
                    escape = "\\n";
                    break;
                case '\r':
                    escape = "\\r";
                    break;
                default:
                    continue;
                }
                appendUtf8(out, text.data() + from, i - from);
                out += escape;
                from = i + 1;
            }
            appendUtf8(out, text.data() + from, end - from);
            out.push_back('\n');
        }
        break;
    case Form::Ansi: {
        int style = -1;
        unsigned flags = 0;
        for (const MarkupRun &run : runs) {
            if (run.style != style || run.flags != flags) {
                if (run.flags == 0)
                    out += m_plainAnsi[std::size_t(run.style)];
                else
                    out += ansiSequence(run.style, run.flags);
                style = run.style;
                flags = run.flags;
            }
            appendUtf8(out, text.data() + run.start, run.length);
        }
        if (style >= 0)
            out += "\x1b[0m";
        out += lineBreak;
        break;
    }
    case Form::Html:
        for (const MarkupRun &run : runs) {
            out += "<span class=\"";
            out += styleTable()[run.style].xmlName;
            if (run.flags & kMarkupSquiggle)
                out += " squiggle";
            if (run.flags & kMarkupBold)
                out += " bold";
            if (run.flags & kMarkupItalic)
                out += " italic";
            out += "\">";
            appendHtmlEscaped(out, text.data() + run.start, run.length);
            out += "</span>";
        }
        out += *lineBreak ? "\n" : "";
        break;
    }
}
