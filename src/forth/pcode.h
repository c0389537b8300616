#pragma once

#include <cstdint>

class FSContext;
class PColonChild;
class PMemory;
struct Cell;

using FSPrimitive = void (*)(FSContext &);

// Operations of compiled code, listed once: the enum and the inner interpreter's dispatch
// table are both made from this list. Hot primitives have their own operation so the inner
// interpreter runs them without a call; the rest go through Prim with a function pointer.
#define FORTH_OPS(X)                                                                               \
    X(Exit)                                                                                        \
    X(Lit)        /* i */                                                                          \
    X(LitFloat)   /* f */                                                                          \
    X(LitCell)    /* cell (string, address or code address literal) */                             \
    X(LitRegion)  /* region: data address at offset 0 */                                           \
    X(CallColon)  /* word: a colon definition */                                                   \
    X(CallCreate) /* word: made by CREATE, with or without a DOES> part */                         \
    X(Call)       /* word: any other word, by its behaviour */                                     \
    X(Prim)       /* fn */                                                                         \
    X(Execute)                                                                                     \
    X(Branch)   /* i: relative target */                                                           \
    X(ZBranch)  /* i: relative target */                                                           \
    X(Do)       /* i: relative target past the loop */                                             \
    X(QDo)      /* i: relative target past the loop */                                             \
    X(Loop)     /* i: relative target of the loop body */                                          \
    X(PlusLoop) /* i: relative target of the loop body */                                          \
    X(Leave)    /* i: relative target past the loop */                                             \
    X(Unloop)                                                                                      \
    X(LoopI)                                                                                       \
    X(LoopJ)                                                                                       \
    X(Of)         /* i: relative target of the next OF clause */                                   \
    X(Does)       /* body of the defining word continues after this instruction */                 \
    X(LocalsInit) /* i: number of locals taken from the stack */                                   \
    X(TempsInit)  /* i: number of empty temporaries */                                             \
    X(LocalGet)   /* i: index */                                                                   \
    X(LocalSet)   /* i: index */                                                                   \
    X(ValueGet)   /* region */                                                                     \
    X(ValueSet)   /* region */                                                                     \
    X(Dup)                                                                                         \
    X(Drop)                                                                                        \
    X(Swap)                                                                                        \
    X(Over)                                                                                        \
    X(Rot)                                                                                         \
    X(Nip)                                                                                         \
    X(QDup)                                                                                        \
    X(Add)                                                                                         \
    X(Sub)                                                                                         \
    X(OnePlus)                                                                                     \
    X(OneMinus)                                                                                    \
    X(Less)                                                                                        \
    X(Greater)                                                                                     \
    X(Equal)                                                                                       \
    X(ZeroEqual)                                                                                   \
    X(Fetch)                                                                                       \
    X(Store)                                                                                       \
    X(ToR)                                                                                         \
    X(RFrom)                                                                                       \
    X(RFetch)                                                                                      \
    X(Cells)                                                                                       \
    X(TwoDrop)                                                                                     \
    X(TwoStar)                                                                                     \
    /* Fused pairs and triples (see fuseOperations): each runs the items it starts and skips  */   \
    /* them; the skipped items stay in place as branch targets and for the slow path.         */   \
    X(LitAdd)              /* Lit +    */                                                          \
    X(LitSub)              /* Lit -    */                                                          \
    X(LitLess)             /* Lit <    */                                                          \
    X(LitGreater)          /* Lit >    */                                                          \
    X(LessBranch)          /* < ZBranch */                                                         \
    X(GreaterBranch)       /* > ZBranch */                                                         \
    X(EqualBranch)         /* = ZBranch */                                                         \
    X(LitLessBranch)       /* Lit < ZBranch */                                                     \
    X(LitGreaterBranch)    /* Lit > ZBranch */                                                     \
    X(AddFetch)            /* + @ */                                                               \
    X(AddStore)            /* + ! */                                                               \
    X(LitCells)            /* Lit CELLS: an integer needs no check */                              \
    X(LoopICells)          /* I CELLS */                                                           \
    X(DupLitLessBranch)    /* DUP Lit < ZBranch */                                                 \
    X(DupLitGreaterBranch) /* DUP Lit > ZBranch */                                                 \
    X(CreateAddFetch)      /* CallCreate + @ */                                                    \
    X(CreateAddStore)      /* CallCreate + ! */                                                    \
    X(OverCells)           /* OVER CELLS */                                                        \
    X(OverAdd)             /* OVER + */                                                            \
    X(LoopIAdd)            /* I + */                                                               \
    X(OnePlusLoop)         /* 1+ LOOP */

enum class Op : std::uint8_t {
#define FORTH_OP_ENUM(name) name,
    FORTH_OPS(FORTH_OP_ENUM)
#undef FORTH_OP_ENUM
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
