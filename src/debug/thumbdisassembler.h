#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One decoded instruction.
struct ThumbInstruction {
    // 2 or 4 bytes; 0 when fewer than two bytes were given.
    unsigned size = 0;
    // The halfword, or the first halfword in the upper half and the second in the lower.
    std::uint32_t encoding = 0;
    // Mnemonic, a tab, the operands and, after another tab, an "@" comment where one helps
    // (the address a PC-relative load reads, the hexadecimal of a large immediate): the
    // unified syntax binutils prints, so that listings compare line by line.
    std::string text;
    // The address a branch goes to, or the one a PC-relative load or ADR refers to.
    bool hasTarget = false;
    std::uint64_t target = 0;
};

// Decodes the Thumb instruction set of the Arm M-profile cores (ARMv6-M, ARMv7-M, ARMv7E-M)
// with the single- and double-precision floating-point extension.
// Encodings it does not know print as ".short 0x...." or ".word 0x........". It keeps the
// state of an IT block between calls, so instructions are to be decoded in address order;
// reset() forgets it when decoding starts somewhere else.
class ThumbDisassembler {
public:
    // Decodes the instruction at `address` from at most `length` bytes at `bytes`; a 32-bit
    // instruction cut short decodes as its first halfword.
    ThumbInstruction decode(std::uint64_t address, const std::uint8_t *bytes, std::size_t length);
    void reset() { m_itState = 0; }

private:
    void decode16(std::uint32_t hw, std::uint64_t address, ThumbInstruction &out);
    void decode32(std::uint32_t hw1, std::uint32_t hw2, std::uint64_t address,
                  ThumbInstruction &out);
    // The floating-point extension (coprocessors 10 and 11); false for an encoding it does
    // not know.
    bool decodeFloatingPoint(std::uint32_t word, std::uint64_t address, ThumbInstruction &out);
    // The condition suffix of the instruction inside an IT block, or "".
    const char *itCondition() const;
    bool inItBlock() const { return (m_itState & 0xf) != 0; }

    // firstcond:mask as the IT instruction set it; 0 outside a block.
    std::uint32_t m_itState = 0;
};
