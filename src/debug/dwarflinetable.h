#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

class ElfFile;

// The source lines of a program from its DWARF line-number programs (versions 2 to 5):
// address to file and line, and file and line to addresses. Malformed tables throw
// HException.
class DwarfLineTable {
public:
    // One address range of a line: [start, end).
    struct Range {
        std::uint64_t start;
        std::uint64_t end;
        std::uint32_t file; // index into files()
        int line;
        bool isStatement; // a place to stop on the line
    };
    struct Location {
        std::string file;
        int line;
        std::uint64_t start;
        std::uint64_t end;
    };

    DwarfLineTable() = default;
    // `lines` is .debug_line; `lineStrings` (.debug_line_str) and `strings` (.debug_str) hold
    // the names a version 5 table refers to; `directories` the compilation directory of the
    // tables before version 5, by their offset.
    DwarfLineTable(std::span<const std::uint8_t> lines, std::span<const std::uint8_t> lineStrings,
                   std::span<const std::uint8_t> strings, bool littleEndian,
                   const std::map<std::uint64_t, std::string> &directories = {});
    // The tables of the file, their names made whole with the compilation directories of its
    // debugging information (when that is readable).
    static DwarfLineTable fromElf(const ElfFile &elf);

    bool empty() const { return m_ranges.empty(); }
    // File paths as the tables name them, joined to their directories.
    const std::vector<std::string> &files() const { return m_files; }
    // Ranges by start address.
    const std::vector<Range> &ranges() const { return m_ranges; }

    // The line whose code holds the address.
    std::optional<Location> find(std::uint64_t address) const;
    // The statement addresses of `line` in the file; when the line has no code, of the next
    // line that has, and `line` becomes that line. A file matches by its whole path or by
    // its trailing path components.
    std::vector<std::uint64_t> addresses(const std::string &file, int &line) const;

private:
    bool fileMatches(std::uint32_t index, const std::string &file) const;

    std::vector<std::string> m_files;
    std::vector<Range> m_ranges;
};
