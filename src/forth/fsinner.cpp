// The inner interpreter: runs compiled code with the data stack pointer, the step budget, the
// loop stack pointer and the innermost loop index in local variables, where the compiler can
// keep them in registers (a store through a cell could alias a member). Every path that may
// throw or call out stores them back first (SYNC).
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <algorithm>

namespace {

// Cells are relocatable: swapping their bytes keeps every reference count right.
inline void rawSwap(Cell &a, Cell &b) noexcept {
    std::swap(a.i, b.i);
    std::swap(a.ref, b.ref);
    std::swap(a.type, b.type);
}

inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
    return std::int64_t(std::uint64_t(a) + std::uint64_t(b));
}

// Cells that an integer moves: integers themselves and addresses (their offset).
inline bool isOffset(CellType type) {
    return type == CellType::Integer || type == CellType::DataAddress || type == CellType::String;
}

// Loop continuation: the loop ends when the index crosses the boundary between limit-1 and
// limit in the direction of the step. Measured from the limit, a crossing flips the sign of
// the distance against the sign of the step.
inline bool loopContinues(std::int64_t index, std::int64_t step, std::int64_t limit,
                          std::int64_t &next) {
    const std::uint64_t before = std::uint64_t(index) - std::uint64_t(limit);
    const std::uint64_t after = before + std::uint64_t(step);
    next = std::int64_t(std::uint64_t(index) + std::uint64_t(step));
    return std::int64_t((before ^ after) & (before ^ std::uint64_t(step))) >= 0;
}

} // namespace

void FSContext::execute(PColonChild *word) {
    switch (word->behaviour) {
    case Behaviour::Native:
        if (word->fn)
            word->fn(*this);
        else
            runCode(word->code.data());
        return;
    case Behaviour::Colon:
        runCode(word->code.data());
        return;
    case Behaviour::Create:
        push(Cell::dataAddress(word->region, 0));
        if (word->doesCode)
            runCode(word->doesCode);
        return;
    case Behaviour::Variable:
        push(Cell::dataAddress(word->region, 0));
        return;
    case Behaviour::Constant:
        push(word->value);
        return;
    case Behaviour::Value:
        push(word->region->at(0));
        return;
    case Behaviour::Vocabulary:
        if (m_order.empty())
            forthThrow(kErrOrderUnderflow, "No search order (VOCABULARY)");
        m_order.front() = word->vocabulary;
        return;
    case Behaviour::Local:
        forthThrow(kErrAbort, "local variable execution not supported");
    case Behaviour::Defer: {
        const Cell &action = word->region->at(0);
        if (action.type != CellType::CodeAddress)
            forthThrow(kErrInvalidAddress, word->name() + " has no action");
        execute(action.word);
        return;
    }
    case Behaviour::Marker:
        restoreMarker(word->localIndex);
        return;
    case Behaviour::TwoValue:
        push(word->region->at(1));
        push(word->region->at(0));
        return;
    }
}

void FSContext::catchWord() {
    PColonChild *word = pop().toWord();
    if (m_catchDepth >= kCatchDepth)
        forthThrow(kErrExceptionOverflow);
    const int depth = this->depth();
    const int rp = m_rp;
    const int lp = m_lp;
    const std::size_t frames = m_fp;
    const std::size_t locals = m_localsTop;
    const std::size_t localsBase = m_localsBase;
    const int catchDepth = m_catchDepth++;
    try {
        execute(word);
    } catch (ForthException &error) {
        m_catchDepth = catchDepth;
        while (this->depth() > depth)
            (--m_sp)->clear();
        while (this->depth() < depth)
            (m_sp++)->clear();
        while (m_rp > rp)
            m_rstack[--m_rp].clear();
        m_rp = rp;
        m_lp = lp;
        m_fp = frames;
        dropLocals(locals);
        m_localsBase = localsBase;
        pushInt(error.code());
        return;
    }
    m_catchDepth = catchDepth;
    pushInt(0);
}

void FSContext::growFrames() {
    if (m_frames.size() >= kCallDepth)
        forthThrow(kErrReturnOverflow);
    m_frames.resize(std::min(kCallDepth, std::max<std::size_t>(256, m_frames.size() * 2)));
}

void FSContext::pushFrame(const pcode *ret) {
    if (m_fp == m_frames.size())
        growFrames();
    m_frames[m_fp++] = {ret, std::uint32_t(m_lp), std::uint32_t(m_localsBase)};
    m_localsBase = m_localsTop;
}

void FSContext::dropLocals(std::size_t top) {
    while (m_localsTop > top)
        m_locals[--m_localsTop].clear();
}

#define SYNC() (m_sp = sp, m_ticks = ticks, m_lp = int(loop - loopBase()))
#define NEED(n)                                                                                    \
    if (sp - stackBase() < (n)) [[unlikely]] {                                                     \
        SYNC();                                                                                    \
        stackUnderflow();                                                                          \
    }
#define ROOM(n)                                                                                    \
    if (stackBase() + kStackSize - sp < (n)) [[unlikely]] {                                        \
        SYNC();                                                                                    \
        stackOverflow();                                                                           \
    }
// The top cell as an integer (an empty cell reads as 0), the depth checked only when its tag
// is not Integer: the guard cells below the stack are empty.
#define NEED_INTEGER()                                                                             \
    if (sp[-1].type != CellType::Integer) [[unlikely]] {                                           \
        NEED(1);                                                                                   \
        if (sp[-1].type != CellType::Empty)                                                        \
            OUT(sp[-1].toInteger());                                                               \
    }
#define OUT(expr)                                                                                  \
    do {                                                                                           \
        SYNC();                                                                                    \
        expr;                                                                                      \
        sp = m_sp;                                                                                 \
        ticks = m_ticks;                                                                           \
        loop = loopBase() + m_lp;                                                                  \
        index = loop[-1].index;                                                                    \
    } while (0)
#define NEXT()                                                                                     \
    do {                                                                                           \
        tos = sp[-1].i;                                                                            \
        KEEP_TOS();                                                                                \
    } while (0)
// Dispatch for an operation that left `tos` right: one that did not touch the stack or set it.
#define KEEP_TOS()                                                                                 \
    do {                                                                                           \
        p = ip++;                                                                                  \
        goto *kDispatch[int(p->op)];                                                               \
    } while (0)
#define TICK()                                                                                     \
    if (--ticks < 0) [[unlikely]]                                                                  \
    OUT(tickSlow())
// Takes the branch at p; a backward branch charges the step budget, so endless loops stop.
#define JUMP()                                                                                     \
    do {                                                                                           \
        if (p->i <= 0)                                                                             \
            TICK();                                                                                \
        ip = p + p->i;                                                                             \
    } while (0)

// Goes back to the start of the loop body. The address comes from the loop frame rather
// than from the branch offset at p: loaded from there, it does not wait for the previous
// iteration's instruction pointer. A LOOP whose frame is not its own DO's (after an UNLOOP
// that ends no definition) still goes to its own body. The frame is told by where its loop
// ends, not by its body: the compiler, knowing the two body addresses equal, would take the
// one computed from p.
#define BACK_TO_BODY()                                                                             \
    do {                                                                                           \
        if (loop[-1].end != ip) [[unlikely]]                                                       \
            goto foreignLoop;                                                                      \
        ip = loop[-1].body;                                                                        \
    } while (0)

void FSContext::runCode(const pcode *code) {
    pushFrame(nullptr);
    // Threaded dispatch: every operation ends with its own indirect jump to the next one.
    static void *const kDispatch[] = {
#define FORTH_OP_LABEL(name) &&L_##name,
        FORTH_OPS(FORTH_OP_LABEL)
#undef FORTH_OP_LABEL
    };
    Cell *sp = m_sp;
    // The budget and the innermost index change on every iteration of a loop: kept in memory,
    // each would make a chain of store and reload. The stack pointer, the instruction pointer,
    // the context and the dispatch table already take four of the six registers that survive
    // calls, and GCC does not find the other two for these by itself.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
    register const pcode *ip asm("r12") = code;
    register std::int64_t tos asm("r13");
    register std::int64_t ticks asm("r14") = m_ticks;
    register std::int64_t index asm("r15");
#else
    const pcode *ip = code;
    std::int64_t tos;
    std::int64_t ticks = m_ticks;
    std::int64_t index;
#endif
    // Past the innermost loop; the frame below it is valid to read even when there is none.
    // Its index is in `index` too, read from there and written to both.
    LoopFrame *loop = loopBase() + m_lp;
    index = loop[-1].index;
    const pcode *p;
    bool subtract;
    bool greater;
    NEXT();
    {
    L_Exit:
    exit : {
        const CallFrame &frame = m_frames[--m_fp];
        if (m_localsTop != m_localsBase)
            dropLocals(m_localsBase);
        m_localsBase = frame.localsBase;
        loop = loopBase() + frame.loopDepth;
        index = loop[-1].index;
        ip = frame.ret;
        if (!ip) {
            SYNC();
            return;
        }
        KEEP_TOS();
    }
    L_Lit:
        ROOM(1);
        sp->type = CellType::Integer;
        tos = sp->i = p->i;
        ++sp;
        KEEP_TOS();
    L_LitFloat:
        ROOM(1);
        sp->type = CellType::Float;
        sp->f = p->f;
        ++sp;
        NEXT();
    L_LitCell:
        ROOM(1);
        *sp++ = *p->cell;
        NEXT();
    L_LitRegion:
        ROOM(1);
        sp->type = CellType::DataAddress;
        sp->region = p->region;
        sp->i = 0;
        ++sp;
        NEXT();
    L_CallColon:
        TICK();
        if (m_fp == m_frames.size())
            OUT(growFrames());
        m_frames[m_fp++] = {ip, std::uint32_t(loop - loopBase()), std::uint32_t(m_localsBase)};
        m_localsBase = m_localsTop;
        ip = p->word->code.data();
        KEEP_TOS();
    L_CallCreate:
        ROOM(1);
        sp->type = CellType::DataAddress;
        sp->region = p->word->region;
        sp->i = 0;
        ++sp;
        if (!p->word->doesCode)
            NEXT();
        TICK();
        if (m_fp == m_frames.size())
            OUT(growFrames());
        m_frames[m_fp++] = {ip, std::uint32_t(loop - loopBase()), std::uint32_t(m_localsBase)};
        m_localsBase = m_localsTop;
        ip = p->word->doesCode;
        NEXT();
    L_Execute:
    L_Call : {
        PColonChild *word = p->word;
        if (p->op == Op::Execute) {
            NEED(1);
            if (sp[-1].type != CellType::CodeAddress)
                OUT(sp[-1].toWord());
            word = sp[-1].word;
            (--sp)->clear();
        }
        // A deferred word runs its action here, so chains of them do not nest native calls.
        while (word->behaviour == Behaviour::Defer &&
               word->region->at(0).type == CellType::CodeAddress) {
            TICK();
            word = word->region->at(0).word;
        }
        const pcode *target = nullptr;
        if (word->behaviour == Behaviour::Colon) {
            target = word->code.data();
        } else if (word->behaviour == Behaviour::Create) {
            ROOM(1);
            sp->type = CellType::DataAddress;
            sp->region = word->region;
            sp->i = 0;
            ++sp;
            target = word->doesCode;
            if (!target)
                NEXT();
        } else {
            OUT(execute(word));
            NEXT();
        }
        TICK();
        if (m_fp == m_frames.size())
            OUT(growFrames());
        m_frames[m_fp++] = {ip, std::uint32_t(loop - loopBase()), std::uint32_t(m_localsBase)};
        m_localsBase = m_localsTop;
        ip = target;
        NEXT();
    }
    L_Prim:
        OUT(p->fn(*this));
        NEXT();
    L_Branch:
        JUMP();
        KEEP_TOS();
    L_ZBranch : {
        NEED_INTEGER();
        Cell &flag = sp[-1];
        bool zero = flag.integerValue() == 0;
        flag.type = CellType::Empty;
        --sp;
        if (zero) {
            JUMP();
        }
        NEXT();
    }
    L_Do:
    L_QDo : {
        NEED(2);
        if (!sp[-1].isInteger() || !sp[-2].isInteger())
            OUT(sp[-1].toInteger(); sp[-2].toInteger());
        std::int64_t start = sp[-1].integerValue();
        std::int64_t limit = sp[-2].integerValue();
        sp[-1].type = sp[-2].type = CellType::Empty;
        sp -= 2;
        if (p->op == Op::QDo && start == limit) {
            ip = p + p->i;
            NEXT();
        }
        if (loop == loopBase() + kLoopStackSize)
            OUT(forthThrow(kErrLoopOverflow));
        *loop++ = {start, limit, ip, p + p->i};
        index = start;
        NEXT();
    }
    L_Loop : {
        // A step of one crosses the boundary exactly when the index reaches the limit.
        const std::int64_t next = wrapAdd(index, 1);
        if (next != loop[-1].limit) [[likely]] {
            index = loop[-1].index = next;
            TICK();
            BACK_TO_BODY();
        } else {
            if (loop == loopBase())
                OUT(forthThrow(kErrAbort, "loop stack underflow"));
            --loop;
            index = loop[-1].index;
        }
        KEEP_TOS();
    }
    L_PlusLoop : {
        NEED_INTEGER();
        const std::int64_t step = sp[-1].integerValue();
        (--sp)->type = CellType::Empty;
        if (loop == loopBase())
            OUT(forthThrow(kErrAbort, "loop stack underflow"));
        std::int64_t next;
        if (loopContinues(index, step, loop[-1].limit, next)) {
            index = loop[-1].index = next;
            TICK();
            BACK_TO_BODY();
        } else {
            --loop;
            index = loop[-1].index;
        }
        NEXT();
    }
    foreignLoop:
        ip = p + p->i;
        KEEP_TOS();
    L_Leave:
    L_Unloop:
        if (loop == loopBase())
            OUT(forthThrow(kErrAbort, "loop stack underflow"));
        --loop;
        index = loop[-1].index;
        if (p->op == Op::Leave)
            ip = p + p->i;
        NEXT();
    L_LoopI:
    L_LoopJ : {
        int frame = p->op == Op::LoopJ ? 2 : 1; // I + falls back on I
        if (loop - loopBase() < frame)
            OUT(forthThrow(kErrLoopParameters));
        ROOM(1);
        sp->type = CellType::Integer;
        tos = sp->i = frame == 1 ? index : loop[-2].index;
        ++sp;
        KEEP_TOS();
    }
    L_Of:
        NEED(2);
        if (cellEquals(sp[-2], sp[-1])) {
            sp[-1].clear();
            sp[-2].clear();
            sp -= 2;
        } else {
            (--sp)->clear();
            ip = p + p->i;
        }
        NEXT();
    L_Does:
        if (!m_latest || m_latest->behaviour != Behaviour::Create)
            OUT(forthThrow(kErrUnsupported, "DOES> needs a word made by CREATE"));
        m_latest->doesCode = ip;
        goto exit;
    L_LocalsInit:
    L_TempsInit : {
        std::int64_t count = p->i & 0xffffffff;
        std::size_t first = m_localsBase + std::size_t(p->i >> 32);
        if (first + std::size_t(count) > kLocalsSize)
            OUT(forthThrow(kErrReturnOverflow, "too many locals"));
        if (m_localsTop < first + std::size_t(count)) {
            if (m_locals.size() < first + std::size_t(count))
                m_locals.resize(first + std::size_t(count));
            m_localsTop = first + std::size_t(count);
        }
        if (p->op == Op::TempsInit) {
            for (std::int64_t k = 0; k < count; ++k)
                m_locals[first + std::size_t(k)].clear();
            NEXT();
        }
        NEED(count);
        for (std::int64_t k = 0; k < count; ++k)
            m_locals[first + std::size_t(k)] = std::move(*--sp);
        NEXT();
    }
    L_LocalGet:
    L_LocalSet : {
        std::size_t index = m_localsBase + std::size_t(p->i);
        if (index >= m_localsTop)
            OUT(forthThrow(kErrInvalidAddress, "local variable not initialised"));
        if (p->op == Op::LocalGet) {
            ROOM(1);
            *sp++ = m_locals[index];
        } else {
            NEED(1);
            m_locals[index] = std::move(*--sp);
        }
        NEXT();
    }
    L_ValueGet:
        ROOM(1);
        *sp++ = p->region->at(0);
        NEXT();
    L_ValueSet:
        NEED(1);
        p->region->at(0) = std::move(*--sp);
        NEXT();
    L_Dup:
        NEED(1);
        ROOM(1);
        *sp = sp[-1];
        ++sp;
        KEEP_TOS();
    L_Drop:
        NEED(1);
        (--sp)->clear();
        NEXT();
    L_Swap:
        NEED(2);
        rawSwap(sp[-1], sp[-2]);
        NEXT();
    L_Over:
        NEED(2);
        ROOM(1);
        *sp = sp[-2];
        ++sp;
        NEXT();
    L_Rot:
        NEED(3);
        rawSwap(sp[-3], sp[-2]);
        rawSwap(sp[-2], sp[-1]);
        NEXT();
    L_Nip:
        NEED(2);
        sp[-2] = std::move(sp[-1]);
        --sp;
        NEXT();
    L_QDup:
        NEED(1);
        if (!(sp[-1].isInteger() && sp[-1].integerValue() == 0)) {
            ROOM(1);
            *sp = sp[-1];
            ++sp;
        }
        NEXT();
    // Add and Sub, Less and Greater share their code; which one runs is a flag rather than
    // p->op because fused operations fall back on them.
    L_Add:
        subtract = false;
        goto addOrSubtract;
    L_Sub:
        subtract = true;
    addOrSubtract:
        if (sp[-1].type == CellType::Integer && sp[-2].type == CellType::Integer) [[likely]] {
            tos = sp[-2].i = !subtract ? wrapAdd(sp[-2].i, tos)
                                       : std::int64_t(std::uint64_t(sp[-2].i) - std::uint64_t(tos));
            (--sp)->type = CellType::Empty;
            KEEP_TOS();
        }
        NEED(2);
        if (!subtract && sp[-2].type == CellType::Integer &&
            (sp[-1].type == CellType::DataAddress || sp[-1].type == CellType::String)) {
            rawSwap(sp[-2], sp[-1]); // integer + address: the address moves
        }
        if (sp[-1].type == CellType::Integer &&
            (sp[-2].type == CellType::Integer || sp[-2].type == CellType::DataAddress ||
             sp[-2].type == CellType::String)) {
            // An address moves by the integer; its region stays.
            sp[-2].i = !subtract ? wrapAdd(sp[-2].i, sp[-1].i)
                                 : std::int64_t(std::uint64_t(sp[-2].i) - std::uint64_t(sp[-1].i));
        } else {
            SYNC();
            sp[-2] = !subtract ? cellAdd(sp[-2], sp[-1]) : cellSubtract(sp[-2], sp[-1]);
            sp[-1].clear();
        }
        (--sp)->type = CellType::Empty;
        NEXT();
    // 1+ and 1- each have their own code: choosing the step from p->op costs more than they do.
    L_OnePlus:
        if (sp[-1].type != CellType::Integer) [[unlikely]] {
            NEED(1);
            SYNC();
            sp[-1] = cellAdd(sp[-1], Cell::integer(1));
            NEXT();
        }
        tos = sp[-1].i = wrapAdd(tos, 1);
        KEEP_TOS();
    L_OneMinus:
        if (sp[-1].type != CellType::Integer) [[unlikely]] {
            NEED(1);
            SYNC();
            sp[-1] = cellAdd(sp[-1], Cell::integer(-1));
            NEXT();
        }
        tos = sp[-1].i = wrapAdd(tos, -1);
        KEEP_TOS();
    L_Less:
        greater = false;
        goto compare;
    L_Greater:
        greater = true;
    compare : {
        int order;
        if (sp[-1].type == CellType::Integer && sp[-2].type == CellType::Integer) {
            order = sp[-2].i < sp[-1].i ? -1 : (sp[-2].i > sp[-1].i ? 1 : 0);
        } else {
            NEED(2);
            SYNC();
            order = cellCompare(sp[-2], sp[-1]);
            sp[-1].clear();
            sp[-2].clear();
        }
        bool flag = greater ? order > 0 : order < 0;
        --sp;
        sp->type = CellType::Empty;
        sp[-1].type = CellType::Integer;
        sp[-1].i = flag ? -1 : 0;
        NEXT();
    }
    L_Equal : {
        NEED(2);
        bool flag = cellEquals(sp[-2], sp[-1]);
        sp[-1].clear();
        sp[-2].clear();
        --sp;
        sp[-1].type = CellType::Integer;
        sp[-1].i = flag ? -1 : 0;
        NEXT();
    }
    L_ZeroEqual:
        NEED_INTEGER();
        sp[-1].i = sp[-1].integerValue() == 0 ? -1 : 0;
        sp[-1].type = CellType::Integer;
        NEXT();
    L_Fetch : {
        Cell &address = sp[-1];
        if (address.type != CellType::DataAddress || !address.region->contains(address.i)) {
            NEED(1);
            OUT(address.toRegion()->fetch(address.i));
        }
        // No Cell temporary: an indirect goto may not leave the scope of a destructor.
        address = address.region->at(address.i);
        NEXT();
    }
    L_Store : {
        NEED(2);
        Cell &address = sp[-1];
        if (address.type != CellType::DataAddress || !address.region->contains(address.i))
            OUT(address.toRegion()->store(address.i, Cell()));
        address.region->at(address.i) = std::move(sp[-2]);
        address.type = CellType::Empty;
        sp -= 2;
        NEXT();
    }
    L_ToR:
        NEED(1);
        if (m_rp == kStackSize)
            OUT(stackOverflow());
        m_rstack[m_rp++] = std::move(*--sp);
        NEXT();
    L_RFrom:
    L_RFetch:
        if (m_rp == 0)
            OUT(stackUnderflow());
        ROOM(1);
        if (p->op == Op::RFrom)
            *sp++ = std::move(m_rstack[--m_rp]);
        else
            *sp++ = m_rstack[m_rp - 1];
        NEXT();
    L_Cells:
        NEED_INTEGER();
        NEXT();
    L_TwoDrop:
        NEED(2);
        sp[-1].clear();
        sp[-2].clear();
        sp -= 2;
        NEXT();
    L_TwoStar:
        NEED_INTEGER();
        sp[-1].i = std::int64_t(std::uint64_t(sp[-1].integerValue()) << 1);
        sp[-1].type = CellType::Integer;
        NEXT();

        // Fused sequences: the fast path handles the operand types it knows; anything else
        // (including too few cells) runs the sequence's first item as such and goes on with
        // the items that follow it.
    L_LitAdd:
    L_LitSub:
        if (!isOffset(sp[-1].type))
            goto L_Lit;
        tos = sp[-1].i = p->op == Op::LitAdd
                             ? wrapAdd(tos, p->i)
                             : std::int64_t(std::uint64_t(tos) - std::uint64_t(p->i));
        ip = p + 2;
        KEEP_TOS();
    L_LitLess:
    L_LitGreater:
        if (sp[-1].type != CellType::Integer)
            goto L_Lit;
        sp[-1].i = (p->op == Op::LitLess ? sp[-1].i < p->i : sp[-1].i > p->i) ? -1 : 0;
        ip = p + 2;
        NEXT();
    L_LitLessBranch:
    L_LitGreaterBranch : {
        if (sp[-1].type != CellType::Integer)
            goto L_Lit;
        const bool flag = p->op == Op::LitLessBranch ? sp[-1].i < p->i : sp[-1].i > p->i;
        (--sp)->type = CellType::Empty;
        p += 2;
        ip = p + 1;
        if (!flag) {
            JUMP();
        }
        NEXT();
    }
    L_LessBranch:
    L_GreaterBranch:
    L_EqualBranch : {
        if (sp[-1].type != CellType::Integer || sp[-2].type != CellType::Integer) {
            if (p->op == Op::LessBranch)
                goto L_Less;
            if (p->op == Op::GreaterBranch)
                goto L_Greater;
            goto L_Equal;
        }
        const bool flag = p->op == Op::LessBranch      ? sp[-2].i < sp[-1].i
                          : p->op == Op::GreaterBranch ? sp[-2].i > sp[-1].i
                                                       : sp[-2].i == sp[-1].i;
        sp[-1].type = sp[-2].type = CellType::Empty;
        sp -= 2;
        p += 1;
        ip = p + 1;
        if (!flag) {
            JUMP();
        }
        NEXT();
    }
    L_AddFetch:
    L_AddStore : {
        // address offset + (either order) followed by @ or !
        // Two tags checked below prove two cells; a store needs a third.
        if (p->op == Op::AddStore && sp < stackBase() + 3)
            goto L_Add;
        Cell *address = &sp[-2];
        Cell *offset = &sp[-1];
        if (address->type != CellType::DataAddress)
            std::swap(address, offset);
        if (address->type != CellType::DataAddress || offset->type != CellType::Integer)
            goto L_Add;
        const std::int64_t at = wrapAdd(address->i, offset->i);
        if (!address->region->contains(at))
            goto L_Add;
        Cell &target = address->region->at(at);
        sp[-1].type = CellType::Empty;
        sp[-2].type = CellType::Empty;
        sp -= 2;
        if (p->op == Op::AddFetch) {
            *sp++ = target;
        } else {
            target = std::move(sp[-1]);
            (--sp)->type = CellType::Empty;
        }
        ip = p + 2;
        NEXT();
    }
    L_LitCells:
        ROOM(1);
        sp->type = CellType::Integer;
        sp->i = p->i;
        ++sp;
        ip = p + 2;
        NEXT();
    L_LoopICells:
        if (loop == loopBase())
            OUT(forthThrow(kErrLoopParameters));
        ROOM(1);
        sp->type = CellType::Integer;
        tos = sp->i = index;
        ++sp;
        ip = p + 2;
        KEEP_TOS();
    L_DupLitLessBranch:
    L_DupLitGreaterBranch : {
        // DUP would fail on a full stack; the fused form pushes nothing, so it checks for it.
        if (sp == stackBase() + kStackSize || sp[-1].type != CellType::Integer)
            goto L_Dup;
        const std::int64_t limit = p[1].i;
        const bool flag = p->op == Op::DupLitLessBranch ? tos < limit : tos > limit;
        p += 3;
        ip = p + 1;
        if (!flag) {
            JUMP();
        }
        KEEP_TOS();
    }
    L_OverCells:
    L_OverAdd:
        // OVER would fail on a full stack, so the fused forms leave that case to it.
        if (sp == stackBase() + kStackSize || sp[-2].type != CellType::Integer)
            goto L_Over;
        if (p->op == Op::OverCells) {
            sp->type = CellType::Integer;
            sp->i = sp[-2].i;
            ++sp;
        } else if (isOffset(sp[-1].type)) {
            sp[-1].i = wrapAdd(sp[-1].i, sp[-2].i);
        } else {
            goto L_Over;
        }
        ip = p + 2;
        NEXT();
    L_LoopIAdd:
        // I would fail without a loop or on a full stack: the fused form leaves both to it.
        if (loop == loopBase() || sp == stackBase() + kStackSize || !isOffset(sp[-1].type))
            goto L_LoopI;
        tos = sp[-1].i = wrapAdd(tos, index);
        ip = p + 2;
        KEEP_TOS();
    L_OnePlusLoop:
        if (sp[-1].type != CellType::Integer)
            goto L_OnePlus;
        tos = sp[-1].i = wrapAdd(tos, 1);
        p += 1;
        ip = p + 1;
        goto L_Loop;
    L_CreateAddFetch:
    L_CreateAddStore : {
        // The word's own region plus an integer offset, then @ or !; a word with a DOES> part
        // or anything out of the ordinary takes the long way.
        const PColonChild *word = p->word;
        if (word->doesCode || (p->op == Op::CreateAddStore && sp < stackBase() + 2) ||
            sp[-1].type != CellType::Integer || !word->region->contains(sp[-1].i))
            goto L_CallCreate;
        Cell &target = word->region->at(sp[-1].i);
        if (p->op == Op::CreateAddFetch) {
            sp[-1] = target;
        } else {
            (--sp)->type = CellType::Empty;
            target = std::move(sp[-1]);
            --sp;
        }
        ip = p + 3;
        NEXT();
    }
    }
}
