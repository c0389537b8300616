#pragma once

#include "project/macromap.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class MacroExpander;

// A text expanded for many nodes whose macros differ only in a few names (the files of one
// folder, which share every other macro): the references to other macros are expanded once,
// and each node only fills in its values of those names. fill() gives exactly what
// MacroExpander::expand(text, {&own, &rest}) gives when `own` defines each of the names.
class MacroTemplate {
public:
    // Nothing when the text cannot be split so: a reference whose name holds a reference (it
    // takes further passes) or one to a computed system macro (its value is of the moment).
    static std::optional<MacroTemplate> prepare(const MacroExpander &expander,
                                                std::string_view text,
                                                std::span<const std::string_view> names,
                                                const MacroMap &rest);

    // `values[i]` is the value of names[i].
    std::string fill(std::span<const std::string> values) const;

private:
    struct Piece {
        std::string text; // copied as it is
        int name = -1;    // or the value of names[name]
    };
    std::vector<Piece> m_pieces;
};
