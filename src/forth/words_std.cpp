// Characters in memory, double-cell numbers, pictured numeric output, deferred words and the
// other standard words beyond the engine's first set. A double-cell number is two integer
// cells, the low half below and the high half on top; a character is one cell of a region.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fstext.h"
#include "forth/fswordsimpl.h"
#include "forth/fwordlist.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <chrono>
#include <climits>
#include <ctime>
#include <thread>

namespace {

using i64 = std::int64_t;
using u64 = std::uint64_t;
using i128 = __int128;
using u128 = unsigned __int128;

i128 popDouble(FSContext &c) {
    c.need(2);
    u64 high = u64(c.peek(0).toInteger());
    u64 low = u64(c.peek(1).toInteger());
    c.pop();
    c.pop();
    return i128(u128(high) << 64 | low);
}

void pushDouble(FSContext &c, i128 value) {
    c.pushInt(i64(u64(u128(value))));
    c.pushInt(i64(u64(u128(value) >> 64)));
}

void checkDivisor(i64 divisor) {
    if (divisor == 0)
        forthThrow(kErrDivideByZero);
}

// Text of a double-cell number in the base.
std::string doubleText(i128 value, int base, bool isUnsigned) {
    static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    bool negative = !isUnsigned && value < 0;
    u128 magnitude = negative ? u128(0) - u128(value) : u128(value);
    std::string text;
    do {
        text.insert(text.begin(), digits[unsigned(magnitude % unsigned(base))]);
        magnitude /= unsigned(base);
    } while (magnitude != 0);
    if (negative)
        text.insert(text.begin(), '-');
    return text;
}

void typeRight(FSContext &c, const std::string &text, i64 width) {
    if (width > i64(text.size()))
        c.spaces(width - i64(text.size()));
    c.type(text);
}

// Floored or symmetric division of a double by a single; the quotient wraps like the other
// arithmetic when it does not fit a cell.
void divide(FSContext &c, bool floored) {
    i64 divisor = c.popInt();
    i128 dividend = popDouble(c);
    checkDivisor(divisor);
    i128 quotient, remainder;
    if (divisor == -1) {
        quotient = -dividend;
        remainder = 0;
    } else {
        quotient = dividend / divisor;
        remainder = dividend % divisor;
    }
    if (floored && remainder != 0 && ((remainder < 0) != (divisor < 0))) {
        --quotient;
        remainder += divisor;
    }
    c.pushInt(i64(remainder));
    c.pushInt(i64(u64(u128(quotient))));
}

void holdText(FSContext &c, const std::string &text) {
    std::string &hold = c.hold();
    if (hold.size() + text.size() > FSContext::kPadSize)
        forthThrow(kErrStringOverflow, "pictured numeric output overflow");
    hold.insert(0, text);
}

// One digit of ud into the hold area.
u128 holdDigit(FSContext &c, u128 value) {
    static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    unsigned base = unsigned(c.base());
    holdText(c, std::string(1, digits[unsigned(value % base)]));
    return value / base;
}

PColonChild *defineWord(FSContext &c, Behaviour behaviour, std::size_t cells) {
    std::string name = c.parseRequiredName();
    PColonChild *word = c.newWord(name, WordKind::Ordinary, behaviour);
    if (cells > 0 || behaviour != Behaviour::Colon) {
        word->region = c.newRegion(name, cells);
        for (std::size_t k = 0; k < cells; ++k)
            word->region->at(i64(k)) = Cell::integer(0);
    }
    return word;
}

PColonChild *deferredWord(FSContext &c) {
    PColonChild *word = c.pop().toWord();
    if (word->behaviour != Behaviour::Defer)
        forthThrow(kErrInvalidArgument, word->displayName() + " is not a deferred word");
    return word;
}

// IS and ACTION-OF: the deferred word named next, set or read now or when compiled code runs.
void deferAccess(FSContext &c, bool store) {
    std::string name = c.parseRequiredName();
    PColonChild *word = c.find(name);
    if (!word)
        forthThrow(kErrUndefinedWord, name);
    if (word->behaviour != Behaviour::Defer)
        forthThrow(kErrInvalidArgument, name + " is not a deferred word");
    if (c.compiling()) {
        pcode item{store ? Op::ValueSet : Op::ValueGet, {0}};
        item.region = word->region;
        c.compile(item);
        return;
    }
    if (store) {
        Cell action = c.pop();
        action.toWord();
        word->region->at(0) = std::move(action);
    } else {
        c.push(word->region->at(0));
    }
}

u128 magnitude(i128 value) {
    return value < 0 ? u128(0) - u128(value) : u128(value);
}

} // namespace

// ---- single and mixed arithmetic --------------------------------------------------------

void wSToD(FSContext &c) {
    pushDouble(c, c.popInt());
}

void wDToS(FSContext &c) {
    c.pushInt(i64(popDouble(c)));
}

void wMStar(FSContext &c) {
    i64 b = c.popInt();
    i64 a = c.popInt();
    pushDouble(c, i128(a) * b);
}

void wUMStar(FSContext &c) {
    u64 b = u64(c.popInt());
    u64 a = u64(c.popInt());
    pushDouble(c, i128(u128(a) * b));
}

void wUMSlashMod(FSContext &c) {
    u64 divisor = u64(c.popInt());
    u128 dividend = u128(popDouble(c));
    checkDivisor(i64(divisor));
    c.pushInt(i64(u64(dividend % divisor)));
    c.pushInt(i64(u64(dividend / divisor)));
}

void wFMSlashMod(FSContext &c) {
    divide(c, true);
}

void wSMSlashRem(FSContext &c) {
    divide(c, false);
}

// ---- characters in memory ---------------------------------------------------------------

void wCFetch(FSContext &c) {
    Cell address = c.pop();
    if (!isCharAddress(address))
        address.toRegion();
    c.pushInt(charAt(address, 0));
}

void wCStore(FSContext &c) {
    c.need(2);
    Cell address = c.pop();
    if (!isCharAddress(address))
        address.toRegion();
    storeChar(address, 0, c.popInt());
}

void wCComma(FSContext &c) {
    c.comma(Cell::integer(c.popInt() & 0xff));
}

void wAligned(FSContext &c) {
    // Every cell is aligned: an address or a count stays as it is.
    Cell &top = c.peek(0);
    if (top.type != CellType::DataAddress)
        top.toInteger();
}

void wAlign(FSContext &) {}

void wBl(FSContext &c) {
    c.pushInt(' ');
}

void wPad(FSContext &c) {
    c.push(Cell::dataAddress(c.padRegion(), 0));
}

void wCount(FSContext &c) {
    // ( c-addr -- c-addr+1 u ): the count is the first character.
    Cell &top = c.peek(0);
    if (!isCharAddress(top))
        top.toRegion();
    i64 length = charAt(top, 0);
    Cell moved = cellAdd(top, Cell::integer(1));
    top = std::move(moved);
    c.pushInt(length);
}

void wFill(FSContext &c) {
    // ( c-addr u char -- )
    i64 ch = c.popInt();
    i64 length;
    Cell address = popCharRange(c, length);
    if (length == 0)
        return;
    PMemory *region = address.toRegion();
    if (!region->contains(address.i) || !region->contains(address.i + length - 1))
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    c.charge(u64(length) / 16);
    for (i64 k = 0; k < length; ++k)
        region->at(address.i + k) = Cell::integer(ch & 0xff);
}

void wErase(FSContext &c) {
    c.pushInt(0);
    wFill(c);
}

void wBlank(FSContext &c) {
    c.pushInt(' ');
    wFill(c);
}

// MOVE, CMOVE and CMOVE>: from a region or a string's text into a region. Within one region
// the copy goes through a buffer, so the overlap rules of the three words give the same
// result whenever they differ only in the order of the copy.
static void copyCells(FSContext &c, bool characters) {
    c.need(3);
    i64 count = c.peek(0).toInteger();
    Cell to = c.peek(1);
    Cell from = c.peek(2);
    if (!isCharAddress(from))
        from.toRegion();
    PMemory *target = to.toRegion();
    c.pop();
    c.pop();
    c.pop();
    if (count <= 0)
        return;
    if (!target->contains(to.i) || count > i64(target->size()) - to.i)
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    c.charge(u64(count) / 16);
    if (from.type == CellType::String) {
        std::string text = textAt(from, count);
        for (i64 k = 0; k < count; ++k)
            target->at(to.i + k) = Cell::integer(static_cast<unsigned char>(text[std::size_t(k)]));
        return;
    }
    PMemory *source = from.region;
    if (!source->contains(from.i) || count > i64(source->size()) - from.i)
        forthThrow(kErrInvalidAddress, "cell fetch outside allotted region");
    std::vector<Cell> copy;
    copy.reserve(std::size_t(count));
    for (i64 k = 0; k < count; ++k)
        copy.push_back(source->at(from.i + k));
    for (i64 k = 0; k < count; ++k) {
        Cell &cell = copy[std::size_t(k)];
        if (characters && cell.type != CellType::Integer)
            cell = Cell::integer(cell.integerValue());
        target->at(to.i + k) = std::move(cell);
    }
}

void wMove(FSContext &c) {
    copyCells(c, false);
}

void wCmove(FSContext &c) {
    // Copies upward one character at a time, so an overlapping target repeats the start.
    c.need(3);
    i64 count = c.peek(0).toInteger();
    Cell to = c.peek(1), from = c.peek(2);
    if (from.type == CellType::DataAddress && to.type == CellType::DataAddress &&
        from.region == to.region && to.i > from.i && to.i < from.i + count) {
        c.pop();
        c.pop();
        c.pop();
        for (i64 k = 0; k < count; ++k)
            storeChar(to, k, charAt(from, k));
        return;
    }
    copyCells(c, true);
}

void wCmoveUp(FSContext &c) {
    copyCells(c, true);
}

void wAccept(FSContext &c) {
    // ( c-addr +n1 -- +n2 ): one line from the console, cut to the buffer's size.
    i64 limit = c.popInt();
    Cell buffer = c.pop();
    buffer.toRegion();
    std::string line;
    if (!c.readConsoleLine(line))
        line.clear();
    if (i64(line.size()) > limit)
        line.resize(std::size_t(std::max<i64>(limit, 0)));
    for (std::size_t k = 0; k < line.size(); ++k)
        storeChar(buffer, i64(k), static_cast<unsigned char>(line[k]));
    c.pushInt(i64(line.size()));
}

void wEnvironmentQuery(FSContext &c) {
    std::string name = FWordList::key(popText(c));
    if (name == "/COUNTED-STRING" || name == "MAX-CHAR") {
        c.pushInt(255);
    } else if (name == "/HOLD" || name == "/PAD") {
        c.pushInt(i64(FSContext::kPadSize));
    } else if (name == "ADDRESS-UNIT-BITS") {
        c.pushInt(8);
    } else if (name == "FLOORED") {
        c.pushInt(-1);
    } else if (name == "MAX-N") {
        c.pushInt(INT64_MAX);
    } else if (name == "MAX-U") {
        c.pushInt(-1);
    } else if (name == "MAX-D") {
        pushDouble(c, i128(~u128(0) >> 1));
    } else if (name == "MAX-UD") {
        pushDouble(c, -1);
    } else if (name == "STACK-CELLS" || name == "RETURN-STACK-CELLS") {
        c.pushInt(FSContext::kStackSize);
    } else {
        c.pushInt(0);
        return;
    }
    c.pushInt(-1);
}

// ---- pictured numeric output --------------------------------------------------------------

void wLessNumber(FSContext &c) {
    c.hold().clear();
}

void wNumber(FSContext &c) {
    pushDouble(c, i128(holdDigit(c, u128(popDouble(c)))));
}

void wNumberS(FSContext &c) {
    u128 value = u128(popDouble(c));
    do
        value = holdDigit(c, value);
    while (value != 0);
    pushDouble(c, 0);
}

void wNumberGreater(FSContext &c) {
    popDouble(c);
    pushText(c, c.hold());
}

void wHold(FSContext &c) {
    holdText(c, std::string(1, char(c.popInt())));
}

void wHolds(FSContext &c) {
    holdText(c, popText(c));
}

void wSign(FSContext &c) {
    if (c.popInt() < 0)
        holdText(c, "-");
}

void wUDot(FSContext &c) {
    c.type(doubleText(u64(c.popInt()), c.base(), true) + " ");
}

void wUDotR(FSContext &c) {
    i64 width = c.popInt();
    typeRight(c, doubleText(u64(c.popInt()), c.base(), true), width);
}

void wDDot(FSContext &c) {
    c.type(doubleText(popDouble(c), c.base(), false) + " ");
}

void wDDotR(FSContext &c) {
    i64 width = c.popInt();
    typeRight(c, doubleText(popDouble(c), c.base(), false), width);
}

// ---- double-cell arithmetic -------------------------------------------------------------

void wDPlus(FSContext &c) {
    i128 b = popDouble(c);
    i128 a = popDouble(c);
    pushDouble(c, i128(u128(a) + u128(b)));
}

void wDMinus(FSContext &c) {
    i128 b = popDouble(c);
    i128 a = popDouble(c);
    pushDouble(c, i128(u128(a) - u128(b)));
}

void wMPlus(FSContext &c) {
    i64 n = c.popInt();
    pushDouble(c, i128(u128(popDouble(c)) + u128(i128(n))));
}

void wDEqual(FSContext &c) {
    i128 b = popDouble(c);
    c.pushFlag(popDouble(c) == b);
}

void wDLess(FSContext &c) {
    i128 b = popDouble(c);
    c.pushFlag(popDouble(c) < b);
}

void wDULess(FSContext &c) {
    u128 b = u128(popDouble(c));
    c.pushFlag(u128(popDouble(c)) < b);
}

void wDZeroEqual(FSContext &c) {
    c.pushFlag(popDouble(c) == 0);
}

void wDZeroLess(FSContext &c) {
    c.pushFlag(popDouble(c) < 0);
}

void wDTwoStar(FSContext &c) {
    pushDouble(c, i128(u128(popDouble(c)) << 1));
}

void wDTwoSlash(FSContext &c) {
    pushDouble(c, popDouble(c) >> 1);
}

void wDAbs(FSContext &c) {
    pushDouble(c, i128(magnitude(popDouble(c))));
}

void wDNegate(FSContext &c) {
    pushDouble(c, i128(u128(0) - u128(popDouble(c))));
}

void wDMax(FSContext &c) {
    i128 b = popDouble(c);
    i128 a = popDouble(c);
    pushDouble(c, a > b ? a : b);
}

void wDMin(FSContext &c) {
    i128 b = popDouble(c);
    i128 a = popDouble(c);
    pushDouble(c, a < b ? a : b);
}

void wMStarSlash(FSContext &c) {
    // ( d1 n1 +n2 -- d2 ): d1 * n1 / n2 with a triple-cell product, floored.
    i64 divisor = c.popInt();
    i64 factor = c.popInt();
    i128 value = popDouble(c);
    checkDivisor(divisor);
    bool negative = (value < 0) != (factor < 0);
    if (divisor < 0) {
        negative = !negative;
    }
    u128 d = magnitude(value);
    u64 n = factor < 0 ? 0 - u64(factor) : u64(factor);
    u64 m = divisor < 0 ? 0 - u64(divisor) : u64(divisor);
    // Three 64-bit limbs of d * n, most significant first.
    u128 low = u128(u64(d)) * n;
    u128 mid = u128(u64(d >> 64)) * n + (low >> 64);
    u64 limbs[3] = {u64(mid >> 64), u64(mid), u64(low)};
    u128 remainder = 0;
    u64 quotient[3];
    for (int k = 0; k < 3; ++k) {
        u128 part = remainder << 64 | limbs[k];
        quotient[k] = u64(part / m);
        remainder = part % m;
    }
    u128 q = u128(quotient[1]) << 64 | quotient[2];
    if (negative && (remainder != 0))
        q += 1;
    pushDouble(c, negative ? i128(u128(0) - q) : i128(q));
}

void wTwoRot(FSContext &c) {
    c.need(6);
    for (int k = 0; k < 2; ++k) {
        for (int j = 5; j > 0; --j)
            std::swap(c.peek(j), c.peek(j - 1));
    }
}

void wTwoLiteral(FSContext &c) {
    if (!c.defining())
        forthThrow(kErrCompileOnly);
    c.need(2);
    Cell high = c.pop();
    Cell low = c.pop();
    c.compileLiteral(low);
    c.compileLiteral(high);
}

// ---- defining words -----------------------------------------------------------------------

void wTwoConstant(FSContext &c) {
    c.need(2);
    Cell high = c.pop();
    Cell low = c.pop();
    PColonChild *word = defineWord(c, Behaviour::TwoValue, 2);
    word->region->at(0) = std::move(high);
    word->region->at(1) = std::move(low);
    c.link(word);
}

void wTwoVariable(FSContext &c) {
    PColonChild *word = defineWord(c, Behaviour::Variable, 2);
    c.link(word);
    c.setHereRegion(word->region);
}

void wTwoValue(FSContext &c) {
    wTwoConstant(c);
}

void wBuffer(FSContext &c) {
    i64 size = c.popInt();
    if (size < 0 || size > c.unused())
        forthThrow(kErrInvalidAddress, "data space exhausted");
    PColonChild *word = defineWord(c, Behaviour::Create, std::size_t(size));
    c.link(word);
}

void wDefer(FSContext &c) {
    PColonChild *word = defineWord(c, Behaviour::Defer, 1);
    word->region->at(0) = Cell();
    c.link(word);
}

void wIs(FSContext &c) {
    deferAccess(c, true);
}

void wActionOf(FSContext &c) {
    deferAccess(c, false);
}

void wDeferFetch(FSContext &c) {
    PColonChild *word = deferredWord(c);
    c.push(word->region->at(0));
}

void wDeferStore(FSContext &c) {
    PColonChild *word = deferredWord(c);
    Cell action = c.pop();
    action.toWord();
    word->region->at(0) = std::move(action);
}

// ---- memory allocation ------------------------------------------------------------------

void wAllocate(FSContext &c) {
    // ( u -- a-addr ior ): a region of its own; a freed region keeps existing with no cells,
    // so a stale address fails its checks instead of reaching other data.
    i64 size = c.popInt();
    if (size < 0 || size > c.unused()) {
        c.pushInt(0);
        c.pushInt(-59);
        return;
    }
    PMemory *region = c.newRegion("ALLOCATED", std::size_t(size));
    region->allocated = true;
    c.push(Cell::dataAddress(region, 0));
    c.pushInt(0);
}

void wFree(FSContext &c) {
    Cell address = c.pop();
    PMemory *region = address.toRegion();
    if (address.i != 0 || !region->allocated) {
        c.pushInt(-60);
        return;
    }
    c.resizeRegion(region, 0);
    c.pushInt(0);
}

void wResize(FSContext &c) {
    i64 size = c.popInt();
    Cell address = c.pop();
    PMemory *region = address.toRegion();
    bool done = address.i == 0 && region->allocated && size >= 0 &&
                c.resizeRegion(region, std::size_t(size));
    c.push(std::move(address));
    c.pushInt(done ? 0 : -61);
}

// ---- facility -----------------------------------------------------------------------------

void wMs(FSContext &c) {
    // Waits in short slices that count against the step budget, so an interrupt or a
    // budget ends a long wait as it ends a long loop.
    i64 ms = c.popInt();
    if (ms <= 0)
        return;
    c.flushOutput();
    for (i64 waited = 0; waited < ms; waited += 5) {
        c.charge(1000 * u64(std::min<i64>(5, ms - waited)));
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<i64>(5, ms - waited)));
    }
}

void wKey(FSContext &c) {
    FSKeyboard *keyboard = c.keyboard();
    if (!keyboard)
        forthThrow(kErrUnsupported, "KEY needs a keyboard");
    c.flushOutput();
    int key = keyboard->key();
    if (key < 0) {
        c.checkInterrupt();
        forthThrow(kErrUnexpectedEof, "KEY at the end of input");
    }
    c.pushInt(key);
}

void wKeyQuestion(FSContext &c) {
    FSKeyboard *keyboard = c.keyboard();
    if (keyboard)
        c.flushOutput();
    c.pushFlag(keyboard && keyboard->keyReady());
}

void wQuit(FSContext &c) {
    c.flushOutput();
    throw ForthQuit();
}

void wTimeAndDate(FSContext &c) {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    c.pushInt(parts.tm_sec);
    c.pushInt(parts.tm_min);
    c.pushInt(parts.tm_hour);
    c.pushInt(parts.tm_mday);
    c.pushInt(parts.tm_mon + 1);
    c.pushInt(parts.tm_year + 1900);
}

// ---- addresses and unsigned comparison ----------------------------------------------------

// U< and U> compare integers as unsigned and addresses of one region by offset.
static int unsignedOrder(FSContext &c) {
    c.need(2);
    const Cell &b = c.peek(0), &a = c.peek(1);
    int order;
    if (a.type != CellType::Integer && a.type != CellType::Empty) {
        order = cellCompare(a, b);
    } else {
        u64 x = u64(a.toInteger()), y = u64(b.toInteger());
        order = x < y ? -1 : x > y ? 1 : 0;
    }
    c.pop();
    c.pop();
    return order;
}

void wULess(FSContext &c) {
    c.pushFlag(unsignedOrder(c) < 0);
}

void wUGreater(FSContext &c) {
    c.pushFlag(unsignedOrder(c) > 0);
}

// ---- strings ------------------------------------------------------------------------------

// A text argument kept as an address: the pair form, or a lone string cell with the rest of
// its text.
static Cell popTextRange(FSContext &c, i64 &length) {
    if (textPairOnTop(c))
        return popCharRange(c, length);
    Cell text = c.pop();
    text.toText();
    length = i64(cellText(text).size());
    return text;
}

void wCompare(FSContext &c) {
    std::string second = popText(c);
    std::string first = popText(c);
    int order = first.compare(second);
    c.pushInt(order < 0 ? -1 : order > 0 ? 1 : 0);
}

void wSearch(FSContext &c) {
    // ( c-addr1 u1 c-addr2 u2 -- c-addr3 u3 flag )
    std::string needle = popText(c);
    i64 length;
    Cell address = popTextRange(c, length);
    std::size_t found = textAt(address, length).find(needle);
    if (found == std::string::npos) {
        c.push(std::move(address));
        c.pushInt(length);
        c.pushInt(0);
        return;
    }
    c.push(cellAdd(address, Cell::integer(i64(found))));
    c.pushInt(length - i64(found));
    c.pushInt(-1);
}

void wSlashString(FSContext &c) {
    // ( c-addr u n -- c-addr+n u-n )
    i64 n = c.popInt();
    c.need(2);
    Cell &length = c.peek(0);
    length = Cell::integer(i64(u64(length.toInteger()) - u64(n)));
    Cell &address = c.peek(1);
    address = cellAdd(address, Cell::integer(n));
}

void wMinusTrailing(FSContext &c) {
    c.need(2);
    i64 length = c.peek(0).toInteger();
    const Cell &address = c.peek(1);
    while (length > 0 && charAt(address, length - 1) == ' ')
        --length;
    c.peek(0) = Cell::integer(length);
}

void wReplaces(FSContext &c) {
    // ( text name -- ): %name% in SUBSTITUTE's input stands for the text from now on.
    std::string name = FWordList::key(popText(c));
    c.substitutions()[name] = popText(c);
}

// Stores text into the buffer of `size` characters; false when it does not fit.
static bool storeText(const Cell &buffer, i64 size, const std::string &text) {
    if (i64(text.size()) > size)
        return false;
    for (std::size_t k = 0; k < text.size(); ++k)
        storeChar(buffer, i64(k), static_cast<unsigned char>(text[k]));
    return true;
}

void wSubstitute(FSContext &c) {
    // ( c-addr1 u1 c-addr2 u2 -- c-addr2 u3 n ): n substitutions made, or -78 when the
    // result does not fit the buffer.
    i64 size;
    Cell buffer = popCharRange(c, size);
    buffer.toRegion();
    std::string text = popText(c);
    std::string result;
    i64 count = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        if (text[pos] != '%') {
            result += text[pos];
            continue;
        }
        std::size_t end = text.find('%', pos + 1);
        if (end == std::string::npos) {
            result += text.substr(pos);
            break;
        }
        if (end == pos + 1) {
            result += '%'; // %% is one percent sign
        } else {
            auto known =
                c.substitutions().find(FWordList::key(text.substr(pos + 1, end - pos - 1)));
            if (known == c.substitutions().end()) {
                result += text.substr(pos, end - pos);
                pos = end - 1; // the closing % may open the next name
                continue;
            }
            result += known->second;
            ++count;
        }
        pos = end;
    }
    bool fits = storeText(buffer, size, result);
    c.push(std::move(buffer));
    c.pushInt(fits ? i64(result.size()) : 0);
    c.pushInt(fits ? count : -78);
}

void wUnescape(FSContext &c) {
    // ( c-addr1 u1 c-addr2 -- c-addr2 u2 ): doubles each % so SUBSTITUTE leaves the text.
    Cell buffer = c.pop();
    PMemory *region = buffer.toRegion();
    std::string text = popText(c);
    std::string result;
    for (char ch : text) {
        result += ch;
        if (ch == '%')
            result += '%';
    }
    if (!storeText(buffer, i64(region->size()) - buffer.i, result))
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    c.push(std::move(buffer));
    c.pushInt(i64(result.size()));
}

// ---- structures ---------------------------------------------------------------------------

void wBeginStructure(FSContext &c) {
    // ( "name" -- struct-sys 0 ): name pushes the size END-STRUCTURE gives it.
    PColonChild *word = c.newWord(c.parseRequiredName(), WordKind::Ordinary, Behaviour::Constant);
    word->value = Cell::integer(0);
    c.link(word);
    c.push(Cell::codeAddress(word));
    c.pushInt(0);
}

void wEndStructure(FSContext &c) {
    i64 size = c.popInt();
    PColonChild *word = c.pop().toWord();
    if (word->behaviour != Behaviour::Constant)
        forthThrow(kErrControlMismatch, "END-STRUCTURE without BEGIN-STRUCTURE");
    word->value = Cell::integer(size);
}

void wPlusField(FSContext &c) {
    // ( n1 n2 "name" -- n3 ): name adds n1 to an address.
    i64 size = c.popInt();
    i64 offset = c.popInt();
    PColonChild *word = c.newWord(c.parseRequiredName(), WordKind::Ordinary, Behaviour::Colon);
    pcode add{Op::Lit, {0}};
    add.i = offset;
    word->code = {add, pcode{Op::Add, {0}}, pcode{Op::Exit, {0}}};
    c.link(word);
    c.pushInt(i64(u64(offset) + u64(size)));
}

void wField(FSContext &c) {
    c.pushInt(1);
    wPlusField(c);
}

void wMarker(FSContext &c) {
    std::string name = c.parseRequiredName();
    int index = c.saveMarker(); // before the marker's own header, so it forgets itself too
    PColonChild *word = c.newWord(name, WordKind::Ordinary, Behaviour::Marker);
    word->localIndex = index;
    c.link(word);
}
