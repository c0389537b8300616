#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class ElfFile;

// The local variables of the function that holds an address, from .debug_info (versions 2 to
// 5): the parameters and variables of the function and of its blocks that hold the address,
// where each is kept and how its value reads. Damaged information throws HException.
class DwarfLocals {
public:
    struct Type {
        enum Kind { Signed, Unsigned, Boolean, Float, Pointer, Other };
        Kind kind = Other;
        unsigned size = 0;
        bool pointsToChar = false;
    };
    // Where a value is kept: a memory address worked out from `number` and `offset`, or a
    // register.
    struct Location {
        enum Kind {
            None,           // optimised out
            FrameBase,      // in memory at the frame base + offset
            Cfa,            // (a frame base) the call frame address
            Register,       // in register `number`
            RegisterOffset, // in memory at register `number` + offset
            Address,        // in memory at `number`
            Unsupported,    // a location list, or an expression this reader does not follow
        };
        Kind kind = None;
        std::uint64_t number = 0;
        std::int64_t offset = 0;
    };
    struct Variable {
        std::string name;
        Type type;
        Location location;
    };
    struct Scope {
        std::string function;
        Location frameBase;
        std::vector<Variable> variables; // in the order the information lists them
    };

    // None when no function's code holds `pc`. `strings`, `lineStrings` and `locations` are
    // .debug_str, .debug_line_str and .debug_loc (the location lists before version 5, which
    // are followed to the entry holding `pc`).
    static std::optional<Scope>
    find(std::span<const std::uint8_t> info, std::span<const std::uint8_t> abbreviations,
         std::span<const std::uint8_t> strings, std::span<const std::uint8_t> lineStrings,
         std::span<const std::uint8_t> locations, bool littleEndian, std::uint64_t pc);
    static std::optional<Scope> find(const ElfFile &elf, std::uint64_t pc);
};
