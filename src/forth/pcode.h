#pragma once

#include <cstdint>

class FSContext;
class PColonChild;
class PMemory;
struct Cell;

using FSPrimitive = void (*)(FSContext &);

// Operations of compiled code. Hot primitives have their own operation so the inner
// interpreter runs them without a call; the rest go through Prim with a function pointer.
enum class Op : std::uint8_t {
    Exit,
    Lit,       // i
    LitFloat,  // f
    LitCell,   // cell (string, address or code address literal)
    LitRegion, // region: data address at offset 0
    CallColon, // word: a colon definition
    Call,      // word: any other word, by its behaviour
    Prim,      // fn
    Execute,
    Branch,  // i: relative target
    ZBranch, // i: relative target
    Do,
    QDo,      // i: relative target past the loop
    Loop,     // i: relative target of the loop body
    PlusLoop, // i: relative target of the loop body
    Leave,    // i: relative target past the loop
    Unloop,
    LoopI,
    LoopJ,
    Of,         // i: relative target of the next OF clause
    Does,       // body of the defining word continues after this instruction
    LocalsInit, // i: number of locals taken from the stack
    TempsInit,  // i: number of empty temporaries
    LocalGet,   // i: index
    LocalSet,   // i: index
    ValueGet,   // region
    ValueSet,   // region
    // Inline primitives.
    Dup,
    Drop,
    Swap,
    Over,
    Rot,
    Nip,
    QDup,
    Add,
    Sub,
    OnePlus,
    OneMinus,
    Less,
    Greater,
    Equal,
    ZeroEqual,
    Fetch,
    Store,
    ToR,
    RFrom,
    RFetch,
    Cells,
};

// One compiled item of a definition.
struct pcode {
    Op op;
    union {
        std::int64_t i;
        double f;
        PColonChild *word;
        PMemory *region;
        FSPrimitive fn;
        const Cell *cell;
    };
};
