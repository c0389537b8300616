#include "debug/dwarflinetable.h"

#include "core/hexception.h"
#include "debug/dwarfreader.h"
#include "debug/dwarfunitreader.h"
#include "debug/elffile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <map>

namespace {

// Forms a version 5 directory or file entry may use.
enum Form : std::uint64_t {
    kBlock = 0x09,
    kData1 = 0x0b,
    kData2 = 0x05,
    kData4 = 0x06,
    kData8 = 0x07,
    kData16 = 0x1e,
    kString = 0x08,
    kStrp = 0x0e,
    kUdata = 0x0f,
    kLineStrp = 0x1f,
};
constexpr std::uint64_t kContentPath = 1;           // DW_LNCT_path
constexpr std::uint64_t kContentDirectoryIndex = 2; // DW_LNCT_directory_index

constexpr char kBad[] = "bad DWARF line table";

[[noreturn]] void bad() {
    throw HException(kBad);
}

std::string stringAt(std::span<const std::uint8_t> strings, std::uint64_t offset) {
    return DwarfReader(strings, true, kBad).stringAt(offset);
}

struct Entry {
    std::string path;
    std::uint64_t directory = 0;
};

// Reads one version 5 directory or file table.
std::vector<Entry> entryTable(DwarfReader &reader, bool dwarf64,
                              std::span<const std::uint8_t> lineStrings,
                              std::span<const std::uint8_t> strings) {
    const unsigned formatCount = unsigned(reader.fixed(1));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> format;
    for (unsigned i = 0; i < formatCount; ++i) {
        const std::uint64_t content = reader.uleb();
        format.emplace_back(content, reader.uleb());
    }
    const std::uint64_t count = reader.uleb();
    // Each entry takes at least one byte, which bounds a hostile count.
    if (count > 0 && (format.empty() || count > reader.left()))
        bad();
    std::vector<Entry> entries(count);
    for (Entry &entry : entries) {
        for (const auto &[content, form] : format) {
            std::uint64_t number = 0;
            std::string text;
            switch (form) {
            case kString:
                text = reader.string();
                break;
            case kLineStrp:
                text = stringAt(lineStrings, reader.fixed(dwarf64 ? 8 : 4));
                break;
            case kStrp:
                text = stringAt(strings, reader.fixed(dwarf64 ? 8 : 4));
                break;
            case kUdata:
                number = reader.uleb();
                break;
            case kData1:
                number = reader.fixed(1);
                break;
            case kData2:
                number = reader.fixed(2);
                break;
            case kData4:
                number = reader.fixed(4);
                break;
            case kData8:
                number = reader.fixed(8);
                break;
            case kData16:
                reader.skip(16);
                break;
            case kBlock:
                reader.skip(reader.uleb());
                break;
            default:
                throw HException("unsupported form in a DWARF line table");
            }
            if (content == kContentPath)
                entry.path = text;
            else if (content == kContentDirectoryIndex)
                entry.directory = number;
        }
    }
    return entries;
}

std::string joined(const std::string &directory, const std::string &name) {
    if (directory.empty() || name.starts_with('/'))
        return name;
    return directory.ends_with('/') ? directory + name : directory + '/' + name;
}

// The compilation directory of each unit, by the offset of its line table: names in a line
// table before version 5 are relative to it.
std::map<std::uint64_t, std::string> compilationDirectories(const ElfFile &elf) {
    constexpr std::uint64_t kStatementList = 0x10, kCompilationDirectory = 0x1b;
    DwarfReader info(elf.section(".debug_info"), elf.isLittleEndian(),
                     "bad DWARF debugging information");
    DwarfUnitReader unit(info, elf.section(".debug_abbrev"), elf.section(".debug_str"),
                         elf.section(".debug_line_str"), elf.isLittleEndian());
    std::map<std::uint64_t, std::string> found;
    while (info.left() > 0) {
        if (!unit.begin())
            continue;
        // The unit's first entry describes it.
        const DwarfUnitReader::Entry first = unit.next();
        const DwarfUnitReader::Value *lines = first.get(kStatementList);
        const DwarfUnitReader::Value *directory = first.get(kCompilationDirectory);
        if (lines && (lines->form == 0x06 || lines->form == 0x17) && directory &&
            directory->isText && !directory->text.empty())
            found[lines->number] = directory->text;
        info.seek(unit.end());
    }
    return found;
}

} // namespace

DwarfLineTable DwarfLineTable::fromElf(const ElfFile &elf) {
    std::map<std::uint64_t, std::string> directories;
    try {
        directories = compilationDirectories(elf);
    } catch (const HException &) {
        // The lines still serve, with names relative to where the program was built.
    }
    return DwarfLineTable(elf.section(".debug_line"), elf.section(".debug_line_str"),
                          elf.section(".debug_str"), elf.isLittleEndian(), directories);
}

DwarfLineTable::DwarfLineTable(std::span<const std::uint8_t> lines,
                               std::span<const std::uint8_t> lineStrings,
                               std::span<const std::uint8_t> strings, bool littleEndian,
                               const std::map<std::uint64_t, std::string> &directories) {
    DwarfReader reader(lines, littleEndian, kBad);
    std::map<std::string, std::uint32_t> fileIndex;
    while (reader.left() > 0) {
        const auto unitDirectory = directories.find(reader.position());
        const auto [length, dwarf64] = reader.unitLength();
        const std::uint64_t unitEnd = reader.position() + length;
        const unsigned version = unsigned(reader.fixed(2));
        if (version < 2 || version > 5)
            throw HException("unsupported DWARF line table version " + std::to_string(version));
        unsigned addressSize = 0;
        if (version >= 5) {
            addressSize = unsigned(reader.fixed(1));
            reader.skip(1); // segment selector size
        }
        const std::uint64_t headerLength = reader.fixed(dwarf64 ? 8 : 4);
        if (headerLength > unitEnd - reader.position())
            bad();
        const std::uint64_t programStart = reader.position() + headerLength;
        const unsigned minimumLength = unsigned(reader.fixed(1));
        if (version >= 4)
            reader.skip(1); // maximum operations per instruction: 1 outside VLIW cores
        const bool defaultIsStatement = reader.fixed(1) != 0;
        const int lineBase = std::int8_t(reader.fixed(1));
        const unsigned lineRange = unsigned(reader.fixed(1));
        const unsigned opcodeBase = unsigned(reader.fixed(1));
        if (lineRange == 0 || opcodeBase == 0)
            bad();
        std::vector<unsigned> argumentCounts(opcodeBase, 0);
        for (unsigned i = 1; i < opcodeBase; ++i)
            argumentCounts[i] = unsigned(reader.fixed(1));

        // The unit's file numbers mapped to the table's shared file list; before version 5
        // numbers start at 1 and 0 names no file.
        std::vector<std::uint32_t> files;
        auto addFile = [&](const std::string &path) {
            auto [at, added] = fileIndex.emplace(path, std::uint32_t(m_files.size()));
            if (added)
                m_files.push_back(path);
            files.push_back(at->second);
        };
        // Directories after the first are relative to it.
        std::vector<std::string> unitDirectories;
        if (version >= 5) {
            for (const Entry &entry : entryTable(reader, dwarf64, lineStrings, strings))
                unitDirectories.push_back(
                    unitDirectories.empty() ? entry.path : joined(unitDirectories[0], entry.path));
            for (const Entry &entry : entryTable(reader, dwarf64, lineStrings, strings))
                addFile(joined(entry.directory < unitDirectories.size()
                                   ? unitDirectories[entry.directory]
                                   : std::string(),
                               entry.path));
        } else {
            // Directory 0, the compilation directory, is named in the debugging information.
            unitDirectories.push_back(unitDirectory != directories.end() ? unitDirectory->second
                                                                         : std::string());
            for (std::string name = reader.string(); !name.empty(); name = reader.string())
                unitDirectories.push_back(joined(unitDirectories[0], name));
            addFile(std::string());
            for (std::string name = reader.string(); !name.empty(); name = reader.string()) {
                const std::uint64_t directory = reader.uleb();
                reader.uleb(); // modification time
                reader.uleb(); // size
                addFile(joined(directory < unitDirectories.size() ? unitDirectories[directory]
                                                                  : std::string(),
                               name));
            }
        }
        if (reader.position() > programStart)
            bad();
        reader.seek(programStart);

        struct Row {
            std::uint64_t address;
            std::uint64_t file;
            int line;
            bool isStatement;
        };
        std::vector<Row> sequence;
        std::uint64_t address = 0, file = 1;
        // Unsigned as in the line program, so that hostile advances wrap instead of
        // overflowing; a row whose line does not fit an int is damage.
        std::uint64_t line = 1;
        bool isStatement = defaultIsStatement;
        auto reset = [&] {
            address = 0;
            file = 1;
            line = 1;
            isStatement = defaultIsStatement;
        };
        auto emit = [&] {
            if (line > std::uint64_t(std::numeric_limits<int>::max()))
                bad();
            sequence.push_back({address, file, int(line), isStatement});
        };
        auto endSequence = [&] {
            // Each row covers the addresses up to the next; the last row only marks the end.
            // Rows of no length stay: they name the lines a breakpoint may ask for. A row
            // going backwards is out of order and covers nothing.
            for (std::size_t i = 0; i + 1 < sequence.size(); ++i) {
                const Row &row = sequence[i];
                if (sequence[i + 1].address < row.address)
                    continue;
                const std::uint32_t index = row.file < files.size() ? files[row.file]
                                            : files.empty()         ? 0
                                                                    : files[0];
                m_ranges.push_back(
                    {row.address, sequence[i + 1].address, index, row.line, row.isStatement});
            }
            sequence.clear();
            reset();
        };
        if (files.empty())
            addFile(std::string());
        while (reader.position() < unitEnd) {
            const unsigned opcode = unsigned(reader.fixed(1));
            if (opcode >= opcodeBase) {
                const unsigned adjusted = opcode - opcodeBase;
                address += std::uint64_t(adjusted / lineRange) * minimumLength;
                line += std::uint64_t(std::int64_t(lineBase) + adjusted % lineRange);
                emit();
                continue;
            }
            switch (opcode) {
            case 0: {
                const std::uint64_t size = reader.uleb();
                if (size == 0 || size > unitEnd - reader.position())
                    bad();
                const std::uint64_t next = reader.position() + size;
                const unsigned extended = unsigned(reader.fixed(1));
                if (extended == 1) { // end of sequence
                    emit();
                    endSequence();
                } else if (extended == 2) { // set address
                    const std::uint64_t bytes = size - 1;
                    if (bytes == 0 || bytes > 8 || (addressSize && bytes != addressSize))
                        bad();
                    address = reader.fixed(unsigned(bytes));
                }
                // Others (define file, discriminators, vendor ones) do not move the rows.
                reader.seek(next);
                break;
            }
            case 1: // copy
                emit();
                break;
            case 2: // advance pc
                address += reader.uleb() * minimumLength;
                break;
            case 3: // advance line
                line += std::uint64_t(reader.sleb());
                break;
            case 4: // set file
                file = reader.uleb();
                break;
            case 6: // negate statement
                isStatement = !isStatement;
                break;
            case 8: // constant add pc
                address += std::uint64_t((255 - opcodeBase) / lineRange) * minimumLength;
                break;
            case 9: // fixed advance pc
                address += reader.fixed(2);
                break;
            default: // column, basic block, prologue end, epilogue begin, ISA, unknown
                for (unsigned i = 0; i < argumentCounts[opcode]; ++i)
                    reader.uleb();
                break;
            }
        }
        if (reader.position() != unitEnd)
            bad();
    }
    std::stable_sort(m_ranges.begin(), m_ranges.end(),
                     [](const Range &a, const Range &b) { return a.start < b.start; });
}

std::optional<DwarfLineTable::Location> DwarfLineTable::find(std::uint64_t address) const {
    auto after = std::upper_bound(
        m_ranges.begin(), m_ranges.end(), address,
        [](std::uint64_t value, const Range &range) { return value < range.start; });
    if (after == m_ranges.begin())
        return std::nullopt;
    // Sequences may overlap where the linker dropped code (it lands at 0): any of the ranges
    // starting at the nearest start may hold the address.
    const std::uint64_t start = std::prev(after)->start;
    for (auto at = after; at != m_ranges.begin() && std::prev(at)->start == start;) {
        --at;
        if (address < at->end)
            return Location{m_files[at->file], at->line, at->start, at->end};
    }
    return std::nullopt;
}

bool DwarfLineTable::fileMatches(std::uint32_t index, const std::string &file) const {
    const std::string &path = m_files[index];
    if (file.empty() || path.size() < file.size())
        return false;
    if (path == file)
        return true;
    const std::string trimmed = file.starts_with("./") ? file.substr(2) : file;
    return path.ends_with(trimmed) &&
           (path.size() == trimmed.size() || path[path.size() - trimmed.size() - 1] == '/');
}

std::vector<std::uint64_t> DwarfLineTable::addresses(const std::string &file, int &line) const {
    int best = 0;
    for (const Range &range : m_ranges) {
        if (range.isStatement && range.line >= line && (best == 0 || range.line < best) &&
            fileMatches(range.file, file))
            best = range.line;
    }
    std::vector<std::uint64_t> found;
    for (std::size_t i = 0; best != 0 && i < m_ranges.size(); ++i) {
        const Range &range = m_ranges[i];
        if (!range.isStatement || range.line != best || !fileMatches(range.file, file))
            continue;
        // Only where a run of the line begins: the rest of the run is the same stop.
        const Range *before = i > 0 ? &m_ranges[i - 1] : nullptr;
        if (before && before->end == range.start && before->line == best &&
            before->file == range.file)
            continue;
        found.push_back(range.start);
    }
    if (best != 0)
        line = best;
    return found;
}
