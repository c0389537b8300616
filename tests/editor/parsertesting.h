#pragma once

#include "editor/codeeditparser.h"
#include "editor/markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Helpers of the parser tests: markup written as readable pieces, and a parse call with the
// editor's buffer discipline.

// The escape pair that selects `control`.
inline std::u16string esc(int control) {
    return std::u16string{kMarkupEscape, char16_t(control)};
}

struct ParseResult {
    std::u16string markup; // without the final 0
    std::uint32_t state = 0;
    int braces = 0;
};

// Parses one line from `state` into a buffer of exactly markupCapacity(length) units and
// checks that the parser ended it with a 0 within that bound.
inline ParseResult parseLine(CodeEditParser &parser, const std::u16string &line,
                             std::uint32_t state = 0) {
    std::vector<char16_t> buffer(std::size_t(markupCapacity(long(line.size()))), char16_t(0xAAAA));
    parser.setLineState(state);
    ParseResult result;
    char16_t *end = parser.parse(line.c_str(), buffer.data(), result.braces);
    EXPECT_LE(end - buffer.data(), long(buffer.size()));
    EXPECT_GT(end - buffer.data(), 0);
    if (end > buffer.data() && end - buffer.data() <= long(buffer.size())) {
        EXPECT_EQ(end[-1], 0);
        result.markup.assign(buffer.data(), end - 1);
    }
    result.state = parser.lineState();
    return result;
}

// A readable form of markup for failure messages: escapes as {n}, text as UTF-8.
inline std::string showMarkup(const std::u16string &markup) {
    std::string out;
    for (std::size_t i = 0; i < markup.size(); ++i) {
        if (markup[i] == kMarkupEscape && i + 1 < markup.size()) {
            out += "{" + std::to_string(int(markup[++i])) + "}";
        } else if (markup[i] < 0x80) {
            out.push_back(char(markup[i]));
        } else {
            char buffer[16];
            std::snprintf(buffer, sizeof buffer, "<U+%04X>", unsigned(markup[i]));
            out += buffer;
        }
    }
    return out;
}

#define EXPECT_MARKUP(actual, expected) EXPECT_EQ(showMarkup(actual), showMarkup(expected))
