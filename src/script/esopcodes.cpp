#include "script/esopcodes.h"

namespace {
constexpr std::uint8_t operandBytes(ESOperand a, ESOperand b) {
    return std::uint8_t(1 + (a != ESOperand::NONE ? 2 : 0) + (b != ESOperand::NONE ? 2 : 0));
}
} // namespace

#define NONE ESOperand::NONE
#define K ESOperand::K
#define S ESOperand::S
#define G ESOperand::G
#define A ESOperand::A
#define L ESOperand::L
#define N ESOperand::N
#define T ESOperand::T
#define VAR(k) (kVariablePop + (k))
#define SEQ ESFlow::SEQ
#define JUMP ESFlow::JUMP
#define BRANCH ESFlow::BRANCH
#define KEEP ESFlow::KEEP
#define SWITCH ESFlow::SWITCH
#define ITER ESFlow::ITER
#define END ESFlow::END

const ESOpcodeInfo kOpcodeInfo[kOpcodeCount] = {
#define OP(value, id, mnemonic, a, b, pop, push, flow)                                             \
    {mnemonic, {a, b}, pop, push, flow, operandBytes(a, b)},
#include "script/esopcodes.def"
#undef OP
};

// The table must list every opcode in order of value, without gaps.
#define OP(value, id, mnemonic, a, b, pop, push, flow)                                             \
    static_assert(value == OP_##id && value < kOpcodeCount);
#include "script/esopcodes.def"
#undef OP

#undef NONE
#undef K
#undef S
#undef G
#undef A
#undef L
#undef N
#undef T
#undef VAR
#undef SEQ
#undef JUMP
#undef BRANCH
#undef KEEP
#undef SWITCH
#undef ITER
#undef END

static_assert(0
#define OP(value, id, mnemonic, a, b, pop, push, flow) +1
#include "script/esopcodes.def"
#undef OP
              == kOpcodeCount);

int esPopCount(const std::uint8_t *code) {
    const ESOpcodeInfo &info = kOpcodeInfo[code[0]];
    if (info.pop < kVariablePop)
        return info.pop;
    int countOperand = info.operands[0] == ESOperand::N ? 0 : 1;
    return int(esOperand(code, countOperand)) + info.pop - kVariablePop;
}
