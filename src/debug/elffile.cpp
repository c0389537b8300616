#include "debug/elffile.h"

#include "core/hexception.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr unsigned kProgramLoad = 1;    // PT_LOAD
constexpr unsigned kSymbolTable = 2;    // SHT_SYMTAB
constexpr unsigned kNoBits = 8;         // SHT_NOBITS
constexpr unsigned kObjectSymbol = 1;   // STT_OBJECT
constexpr unsigned kFunctionSymbol = 2; // STT_FUNC
constexpr std::uint64_t kMaxSegment = 1u << 30;
constexpr std::uint64_t kMaxNames = 256u << 20;

} // namespace

ElfFile::ElfFile(const std::string &path) : m_name(path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw HException("cannot open " + path);
    m_contents.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad())
        throw HException("cannot read " + path);
    parse();
}

ElfFile::ElfFile(const std::string &name, std::vector<std::uint8_t> contents)
    : m_name(name), m_contents(std::move(contents)) {
    parse();
}

std::uint64_t ElfFile::read(std::uint64_t offset, unsigned size) const {
    if (offset > m_contents.size() || size > m_contents.size() - offset)
        throw HException(m_name + ": truncated ELF file");
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        unsigned index = m_littleEndian ? size - 1 - i : i;
        value = value << 8 | m_contents[offset + index];
    }
    return value;
}

void ElfFile::parse() {
    if (m_contents.size() < 16 || m_contents[0] != 0x7f || m_contents[1] != 'E' ||
        m_contents[2] != 'L' || m_contents[3] != 'F')
        throw HException(m_name + ": not an ELF file");
    if (m_contents[4] != 1 && m_contents[4] != 2)
        throw HException(m_name + ": unknown ELF class");
    if (m_contents[5] != 1 && m_contents[5] != 2)
        throw HException(m_name + ": unknown ELF byte order");
    m_64bit = m_contents[4] == 2;
    m_littleEndian = m_contents[5] == 1;
    const unsigned word = m_64bit ? 8 : 4;
    m_entry = read(24, word);
    const std::uint64_t programOffset = read(m_64bit ? 32 : 28, word);
    const std::uint64_t sectionOffset = read(m_64bit ? 40 : 32, word);
    const unsigned base = m_64bit ? 54 : 42;
    const unsigned programEntrySize = unsigned(read(base, 2));
    const unsigned programCount = unsigned(read(base + 2, 2));
    const unsigned sectionEntrySize = unsigned(read(base + 4, 2));
    const unsigned sectionCount = unsigned(read(base + 6, 2));

    // Headers smaller than their kind, or segments adding up past the limit, would let a small
    // file describe the same bytes many thousand times over.
    if (programCount > 0 && programEntrySize < (m_64bit ? 56u : 32u))
        throw HException(m_name + ": bad program header");
    if (sectionCount > 0 && sectionEntrySize < (m_64bit ? 64u : 40u))
        throw HException(m_name + ": bad section header");
    std::uint64_t segmentTotal = 0;
    for (unsigned i = 0; i < programCount; ++i) {
        const std::uint64_t entry = programOffset + std::uint64_t(i) * programEntrySize;
        if (read(entry, 4) != kProgramLoad)
            continue;
        std::uint64_t offset, physical, fileSize, memorySize;
        if (m_64bit) {
            offset = read(entry + 8, 8);
            physical = read(entry + 24, 8);
            fileSize = read(entry + 32, 8);
            memorySize = read(entry + 40, 8);
        } else {
            offset = read(entry + 4, 4);
            physical = read(entry + 12, 4);
            fileSize = read(entry + 16, 4);
            memorySize = read(entry + 20, 4);
        }
        if (fileSize > kMaxSegment || memorySize > kMaxSegment || offset > m_contents.size() ||
            fileSize > m_contents.size() - offset)
            throw HException(m_name + ": bad program header");
        segmentTotal += std::max(fileSize, memorySize);
        if (segmentTotal > kMaxSegment)
            throw HException(m_name + ": bad program header");
        if (fileSize == 0)
            continue;
        Segment segment{physical,
                        {m_contents.begin() + std::ptrdiff_t(offset),
                         m_contents.begin() + std::ptrdiff_t(offset + fileSize)},
                        memorySize < fileSize ? fileSize : memorySize};
        m_segments.push_back(std::move(segment));
    }

    const unsigned namesIndex = unsigned(read(base + 8, 2));
    if (namesIndex < sectionCount && sectionCount > 0) {
        const std::uint64_t namesHeader =
            sectionOffset + std::uint64_t(namesIndex) * sectionEntrySize;
        const std::uint64_t names = read(namesHeader + (m_64bit ? 24 : 16), word);
        const std::uint64_t namesSize = read(namesHeader + (m_64bit ? 32 : 20), word);
        if (names > m_contents.size() || namesSize > m_contents.size() - names)
            throw HException(m_name + ": bad section header");
        for (unsigned i = 0; i < sectionCount; ++i) {
            const std::uint64_t header = sectionOffset + std::uint64_t(i) * sectionEntrySize;
            const std::uint64_t nameOffset = read(header, 4);
            const std::uint64_t offset = read(header + (m_64bit ? 24 : 16), word);
            const std::uint64_t size = read(header + (m_64bit ? 32 : 20), word);
            if (read(header + 4, 4) == kNoBits || nameOffset >= namesSize)
                continue;
            if (offset > m_contents.size() || size > m_contents.size() - offset)
                throw HException(m_name + ": bad section header");
            const auto *first = m_contents.data() + names + nameOffset;
            const auto *end = static_cast<const std::uint8_t *>(
                std::memchr(first, 0, std::size_t(namesSize - nameOffset)));
            if (end)
                m_sections.push_back({std::string(first, end), offset, size});
        }
    }

    std::uint64_t tableTotal = 0;
    std::uint64_t nameTotal = 0;
    for (unsigned i = 0; i < sectionCount; ++i) {
        const std::uint64_t header = sectionOffset + std::uint64_t(i) * sectionEntrySize;
        if (read(header + 4, 4) != kSymbolTable)
            continue;
        const std::uint64_t offset = read(header + (m_64bit ? 24 : 16), word);
        const std::uint64_t size = read(header + (m_64bit ? 32 : 20), word);
        // Tables that overlap each other could list the file's symbols over and over.
        tableTotal += size;
        if (tableTotal > m_contents.size())
            throw HException(m_name + ": bad symbol table");
        const unsigned link = unsigned(read(header + (m_64bit ? 40 : 24), 4));
        const std::uint64_t entrySize = read(header + (m_64bit ? 56 : 36), word);
        if (link >= sectionCount || entrySize < (m_64bit ? 24u : 16u))
            throw HException(m_name + ": bad symbol table");
        const std::uint64_t strings = read(
            sectionOffset + std::uint64_t(link) * sectionEntrySize + (m_64bit ? 24 : 16), word);
        const std::uint64_t stringsSize = read(
            sectionOffset + std::uint64_t(link) * sectionEntrySize + (m_64bit ? 32 : 20), word);
        if (strings > m_contents.size() || stringsSize > m_contents.size() - strings ||
            offset > m_contents.size() || size > m_contents.size() - offset)
            throw HException(m_name + ": bad symbol table");
        for (std::uint64_t at = offset; at + entrySize <= offset + size; at += entrySize) {
            const std::uint64_t nameOffset = read(at, 4);
            std::uint64_t value, symbolSize;
            unsigned info;
            if (m_64bit) {
                info = unsigned(read(at + 4, 1));
                value = read(at + 8, 8);
                symbolSize = read(at + 16, 8);
            } else {
                value = read(at + 4, 4);
                symbolSize = read(at + 8, 4);
                info = unsigned(read(at + 12, 1));
            }
            const unsigned type = info & 0xf;
            if ((type != kObjectSymbol && type != kFunctionSymbol && type != 0) ||
                nameOffset >= stringsSize)
                continue;
            const auto *first = m_contents.data() + strings + nameOffset;
            const auto *end = static_cast<const std::uint8_t *>(
                std::memchr(first, 0, std::size_t(stringsSize - nameOffset)));
            if (!end)
                continue; // a name must end inside its string table
            // Many symbols can share one long name; their copies must stay bounded.
            nameTotal += std::uint64_t(end - first);
            if (nameTotal > kMaxNames)
                throw HException(m_name + ": bad symbol table");
            std::string name(first, end);
            // Section-less markers ($t, $d) and empty names are no symbols a user types.
            if (name.empty() || name[0] == '$')
                continue;
            m_symbols.push_back(
                {name, value, symbolSize, type == kFunctionSymbol, type == kObjectSymbol});
        }
    }
}

const ElfFile::Symbol *ElfFile::findSymbol(const std::string &name) const {
    const Symbol *found = nullptr;
    for (const Symbol &symbol : m_symbols) {
        if (symbol.name != name)
            continue;
        // A typed symbol wins over a plain label of the same name.
        if (!found || (!found->isFunction && !found->isObject))
            found = &symbol;
    }
    return found;
}

const ElfFile::Symbol *ElfFile::functionAt(std::uint64_t address) const {
    for (const Symbol &symbol : m_symbols) {
        const std::uint64_t start = symbol.value & ~std::uint64_t(1);
        if (symbol.isFunction && address >= start && address - start < symbol.size)
            return &symbol;
    }
    return nullptr;
}

std::span<const std::uint8_t> ElfFile::section(const std::string &name) const {
    for (const Section &section : m_sections) {
        if (section.name == name)
            return {m_contents.data() + section.offset, std::size_t(section.size)};
    }
    return {};
}
