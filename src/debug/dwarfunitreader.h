#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

class DwarfReader;

// The debugging information entries of .debug_info (versions 2 to 5), one compilation unit at
// a time, each with the values of its attributes. Overruns and unknown abbreviations throw
// HException through the section's reader.
class DwarfUnitReader {
public:
    // An attribute's value: a number (constants, addresses, references made section-relative),
    // a block (expressions) or a text; `form` tells which reading applies.
    struct Value {
        std::uint64_t form = 0;
        std::uint64_t number = 0;
        std::span<const std::uint8_t> block;
        std::string text;
        bool isBlock = false;
        bool isText = false;
    };
    struct Entry {
        std::uint64_t tag = 0; // 0: the end of a list of siblings
        bool children = false;
        std::map<std::uint64_t, Value> values; // by attribute; forms not read are left out
        const Value *get(std::uint64_t attribute) const {
            auto found = values.find(attribute);
            return found == values.end() ? nullptr : &found->second;
        }
    };

    // `info` reads .debug_info; `strings` and `lineStrings` are .debug_str and .debug_line_str.
    DwarfUnitReader(DwarfReader &info, std::span<const std::uint8_t> abbreviations,
                    std::span<const std::uint8_t> strings,
                    std::span<const std::uint8_t> lineStrings, bool littleEndian);

    // Reads the unit header at the reader's position; false for a unit without entries of
    // code (type units, unknown versions), which the reader has passed.
    bool begin();
    // Where the unit ends in the section.
    std::uint64_t end() const { return m_end; }
    unsigned addressSize() const { return m_addressSize; }
    unsigned version() const { return m_version; }
    // The entry at the reader's position.
    Entry next();
    // The entry at a section offset within this unit, or none outside it.
    std::optional<Entry> entryAt(std::uint64_t offset);

private:
    struct Abbreviation {
        std::uint64_t tag = 0;
        bool children = false;
        struct Spec {
            std::uint64_t attribute;
            std::uint64_t form;
            std::int64_t constant;
        };
        std::vector<Spec> specs;
    };

    void readAbbreviations(std::uint64_t offset);
    Value read(std::uint64_t form, std::int64_t constant);

    DwarfReader &m_info;
    std::span<const std::uint8_t> m_abbreviationBytes, m_strings, m_lineStrings;
    bool m_little;
    std::uint64_t m_start = 0, m_end = 0;
    unsigned m_offsetSize = 4, m_addressSize = 4, m_version = 0;
    std::map<std::uint64_t, Abbreviation> m_abbreviations;
};
