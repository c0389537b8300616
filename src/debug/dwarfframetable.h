#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <vector>

class ElfFile;

// The call frame information of .debug_frame (CIE versions 1, 3 and 4): for an address, how to
// find the frame's CFA and the registers its caller had, the return address among them. Rules
// given as DWARF expressions are not evaluated: what they describe counts as unknown. A damaged
// section throws HException.
class DwarfFrameTable {
public:
    // Where a register of the caller is kept.
    struct Rule {
        enum Kind {
            Unspecified, // no rule: the register was not changed
            Undefined,   // no value (the return address of the outermost frame)
            SameValue,
            Offset,      // in memory at CFA + value
            ValueOffset, // the value is CFA + value
            Register,    // in the register numbered value
            Unknown,     // described by an expression
        };
        Kind kind = Unspecified;
        std::int64_t value = 0;
        bool operator==(const Rule &) const = default;
    };
    // The rules in force at an address.
    struct Row {
        std::uint64_t location = 0; // where they begin
        bool cfaKnown = false;      // false: no CFA rule, or an expression
        std::uint64_t cfaRegister = 0;
        std::int64_t cfaOffset = 0;
        std::map<std::uint64_t, Rule> registers; // no entry: Unspecified
        std::uint64_t returnColumn = 0;          // the register that holds the return address
    };
    // A register of the frame by its DWARF number, or none when it is not known.
    using RegisterReader = std::function<std::optional<std::uint64_t>(std::uint64_t)>;
    // The word of the address size at an address, or none when it cannot be read.
    using MemoryReader = std::function<std::optional<std::uint64_t>(std::uint64_t)>;
    // What unwinding one frame gives.
    struct Caller {
        std::uint64_t cfa = 0;
        // None when the frame is the outermost (the rule is "undefined"), an expression gives
        // it or it is kept where it cannot be read.
        std::optional<std::uint64_t> returnAddress;
        // The caller's registers that differ from the frame's, by DWARF number (none: not
        // known); the others it shares. Its stack pointer is the CFA.
        std::map<std::uint64_t, std::optional<std::uint64_t>> registers;
    };

    DwarfFrameTable() = default;
    // `addressSize` applies to CIEs before version 4, which do not give it.
    DwarfFrameTable(std::span<const std::uint8_t> frames, bool littleEndian, unsigned addressSize);
    static DwarfFrameTable fromElf(const ElfFile &elf);

    bool empty() const { return m_functions.empty(); }
    // The rules in force at the address, or none when no FDE covers it.
    std::optional<Row> rowAt(std::uint64_t address) const;
    // Unwinds the frame whose code is at `pc`: none when no FDE covers it or its CFA is not
    // known. `stackPointer` is the DWARF number of the register that holds the CFA in the caller.
    std::optional<Caller> unwind(std::uint64_t pc, std::uint64_t stackPointer,
                                 const RegisterReader &readRegister,
                                 const MemoryReader &readMemory) const;

private:
    struct Cie {
        std::uint64_t codeAlignment;
        std::int64_t dataAlignment;
        unsigned addressSize;
        Row initial; // after the CIE's instructions
    };
    // One FDE: the code it covers, [start, end), and where its instructions lie in m_bytes.
    struct Function {
        std::uint64_t start;
        std::uint64_t end;
        std::size_t cie; // index into m_cies
        std::uint64_t offset;
        std::uint64_t size;
    };

    // Runs the instructions at [offset, offset + size) from `row` until the location would pass
    // `address`; `initial` is null for a CIE's own instructions.
    void execute(std::uint64_t offset, std::uint64_t size, const Cie &cie, Row &row,
                 const Row *initial, std::uint64_t address) const;
    // None for an augmentation this reader does not know.
    std::optional<Cie> readCie(std::uint64_t offset, unsigned addressSize) const;

    std::vector<std::uint8_t> m_bytes;
    bool m_little = true;
    std::vector<Cie> m_cies;
    std::vector<Function> m_functions; // by start address
};
