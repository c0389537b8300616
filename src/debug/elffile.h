#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The parts of an ELF file a debugger needs: the symbol table, the loadable segments and the
// contents of named sections (debug information). 32- and 64-bit, either byte order. Malformed
// files throw HException.
class ElfFile {
public:
    struct Symbol {
        std::string name;
        std::uint64_t value;
        std::uint64_t size;
        bool isFunction;
        bool isObject;
    };
    struct Segment {
        std::uint64_t address; // the load (physical) address
        std::vector<std::uint8_t> bytes;
        std::uint64_t memorySize; // bytes in memory; past `bytes` they are zero
    };

    explicit ElfFile(const std::string &path);
    // Parses an image already in memory; `name` is used in messages.
    ElfFile(const std::string &name, std::vector<std::uint8_t> contents);

    const std::vector<Symbol> &symbols() const { return m_symbols; }
    const std::vector<Segment> &segments() const { return m_segments; }
    std::uint64_t entryPoint() const { return m_entry; }
    bool isLittleEndian() const { return m_littleEndian; }
    bool is64Bit() const { return m_64bit; }
    // The named function or object symbol, or null.
    const Symbol *findSymbol(const std::string &name) const;
    // The function symbol whose range holds the address (without a Thumb mode bit), or null.
    const Symbol *functionAt(std::uint64_t address) const;
    // The contents of the named section; empty when there is none or it has no file data.
    std::span<const std::uint8_t> section(const std::string &name) const;

private:
    void parse();
    std::uint64_t read(std::uint64_t offset, unsigned size) const;

    std::string m_name;
    std::vector<std::uint8_t> m_contents;
    std::vector<Symbol> m_symbols;
    std::vector<Segment> m_segments;
    struct Section {
        std::string name;
        std::uint64_t offset;
        std::uint64_t size;
    };
    std::vector<Section> m_sections;
    std::uint64_t m_entry = 0;
    bool m_littleEndian = true;
    bool m_64bit = false;
};
