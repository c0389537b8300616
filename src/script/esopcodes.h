#pragma once

#include <cstdint>

// Byte-code instructions: one opcode byte, then zero, one or two 16-bit operands stored
// high byte first. The table itself is esopcodes.def.
enum ESOpcode : std::uint8_t {
#define OP(value, id, mnemonic, a, b, pop, push, flow) OP_##id = value,
#include "script/esopcodes.def"
#undef OP
};

enum class ESOperand : std::uint8_t { NONE, K, S, G, A, L, N, T };
enum class ESFlow : std::uint8_t { SEQ, JUMP, BRANCH, KEEP, SWITCH, ITER, END };

struct ESOpcodeInfo {
    const char *mnemonic; // null for the negated identity, which the compiler never emits
    ESOperand operands[2];
    std::int16_t pop; // values popped; kVariablePop + k: the count operand plus k
    std::int8_t push;
    ESFlow flow;
    std::uint8_t length; // bytes including the opcode
};

inline constexpr std::int16_t kVariablePop = 1000;
inline constexpr int kOpcodeCount = 111;

extern const ESOpcodeInfo kOpcodeInfo[kOpcodeCount];

// Values popped by the instruction at `code` (resolving a count operand).
int esPopCount(const std::uint8_t *code);

inline unsigned esOperand(const std::uint8_t *code, int which) {
    const std::uint8_t *p = code + 1 + 2 * which;
    return unsigned(p[0]) << 8 | p[1];
}
