#include "project/macrotemplate.h"

#include "project/macroexpander.h"

#include <algorithm>

std::optional<MacroTemplate> MacroTemplate::prepare(const MacroExpander &expander,
                                                    std::string_view text,
                                                    std::span<const std::string_view> names,
                                                    const MacroMap &rest) {
    constexpr char dollar = MacroExpander::kIntroducer;
    MacroTemplate result;
    std::string literal;
    std::size_t copied = 0;
    // The same scan as one pass of the expander.
    std::size_t i = text.find(dollar);
    while (i != std::string_view::npos && i + 1 < text.size()) {
        if (text[i + 1] == dollar) {
            literal.append(text.substr(copied, i - copied)).push_back(dollar);
            copied = i + 2;
            i = text.find(dollar, i + 2);
            continue;
        }
        if (text[i + 1] != '(') {
            i = text.find(dollar, i + 1);
            continue;
        }
        const std::size_t close = MacroExpander::closingParenthesis(text, i + 1);
        if (close == std::string_view::npos)
            break;
        const std::string_view reference = text.substr(i + 2, close - i - 2);
        if (reference.find(dollar) != std::string_view::npos)
            return std::nullopt;
        const std::size_t colon = reference.find(':');
        const std::string_view key = reference.substr(0, colon);
        const auto own = std::find(names.begin(), names.end(), key);
        std::optional<std::string> value;
        if (own == names.end()) {
            value = expander.lookup(key, rest);
            if (!value && colon != std::string_view::npos) {
                std::string_view fallback = reference.substr(colon + 1);
                if (!fallback.empty() && fallback.front() == ':')
                    fallback.remove_prefix(1);
                value = std::string(fallback);
            }
            if (!value) { // stands as written
                i = text.find(dollar, close + 1);
                continue;
            }
            const auto system = expander.systemMacros().find(key);
            if (!rest.contains(key) && !expander.globalMacros().contains(key) &&
                system != expander.systemMacros().end() && system->second.compute)
                return std::nullopt;
        }
        literal.append(text.substr(copied, i - copied));
        if (value) {
            literal += *value;
        } else {
            result.m_pieces.push_back({std::move(literal), int(own - names.begin())});
            literal.clear();
        }
        copied = close + 1;
        i = text.find(dollar, close + 1);
    }
    literal.append(text.substr(copied));
    if (!literal.empty())
        result.m_pieces.push_back({std::move(literal), -1});
    return result;
}

std::string MacroTemplate::fill(std::span<const std::string> values) const {
    std::string out;
    for (const Piece &piece : m_pieces) {
        out += piece.text;
        if (piece.name >= 0)
            out += values[std::size_t(piece.name)];
    }
    return out;
}
