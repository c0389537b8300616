// Stack, arithmetic, comparison, memory and float words.
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fswordsimpl.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <climits>
#include <cmath>

namespace {

using u64 = std::uint64_t;
using i64 = std::int64_t;

// Pops two integers: a is the deeper one.
void popTwo(FSContext &c, i64 &a, i64 &b) {
    c.need(2);
    b = c.peek(0).toInteger();
    a = c.peek(1).toInteger();
    c.pop();
    c.pop();
}

template <typename F> void binary(FSContext &c, F op) {
    i64 a, b;
    popTwo(c, a, b);
    c.pushInt(op(a, b));
}

template <typename F> void unary(FSContext &c, F op) {
    Cell &top = c.peek(0);
    top = Cell::integer(op(top.toInteger()));
}

template <typename F> void floatUnary(FSContext &c, F op) {
    Cell &top = c.peek(0);
    top = Cell::real(op(top.toFloat()));
}

void checkDivisor(i64 divisor) {
    if (divisor == 0)
        forthThrow(kErrDivideByZero);
}

// Floored division, as the quotient and remainder words agree on; the one overflowing case
// (most negative by -1) wraps instead of trapping.
void floorDivide(__int128 a, i64 b, i64 &quotient, i64 &remainder) {
    checkDivisor(b);
    __int128 q = a / b;
    __int128 r = a % b;
    if (r != 0 && ((r < 0) != (b < 0))) {
        --q;
        r += b;
    }
    quotient = i64(u64(q));
    remainder = i64(r);
}

PMemory *popAddress(FSContext &c, i64 &offset) {
    Cell address = c.pop();
    PMemory *region = address.toRegion();
    offset = address.i;
    return region;
}

} // namespace

void wTick(FSContext &c) {
    std::string name = c.parseRequiredName();
    PColonChild *word = c.find(name);
    if (!word)
        forthThrow(kErrUndefinedWord, name);
    c.push(Cell::codeAddress(word));
}

void wStar(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return i64(u64(a) * u64(b)); });
}

void wSlash(FSContext &c) {
    binary(c, [](i64 a, i64 b) {
        i64 q, r;
        floorDivide(a, b, q, r);
        return q;
    });
}

void wMod(FSContext &c) {
    binary(c, [](i64 a, i64 b) {
        i64 q, r;
        floorDivide(a, b, q, r);
        return r;
    });
}

void wSlashMod(FSContext &c) {
    i64 a, b, q, r;
    popTwo(c, a, b);
    floorDivide(a, b, q, r);
    c.pushInt(r);
    c.pushInt(q);
}

static void starSlash(FSContext &c, bool withRemainder) {
    c.need(3);
    i64 divisor = c.peek(0).toInteger();
    __int128 product = __int128(c.peek(2).toInteger()) * c.peek(1).toInteger();
    c.pop();
    c.pop();
    c.pop();
    i64 q, r;
    floorDivide(product, divisor, q, r);
    if (withRemainder)
        c.pushInt(r);
    c.pushInt(q);
}

void wStarSlash(FSContext &c) {
    starSlash(c, false);
}

void wStarSlashMod(FSContext &c) {
    starSlash(c, true);
}

void wPlusStore(FSContext &c) {
    c.need(2);
    i64 offset;
    PMemory *region = popAddress(c, offset);
    Cell sum = cellAdd(region->fetch(offset), c.peek(0));
    region->store(offset, std::move(sum));
    c.pop();
}

void wComma(FSContext &c) {
    c.comma(c.pop());
}

void wMinusRot(FSContext &c) {
    c.need(3);
    std::swap(c.peek(0), c.peek(1));
    std::swap(c.peek(1), c.peek(2));
}

static bool intFlag(FSContext &c, bool (*test)(i64)) {
    return test(c.pop().toInteger());
}

void wZeroLess(FSContext &c) {
    c.pushFlag(intFlag(c, [](i64 v) { return v < 0; }));
}

void wZeroGreater(FSContext &c) {
    c.pushFlag(intFlag(c, [](i64 v) { return v > 0; }));
}

void wZeroNotEqual(FSContext &c) {
    c.pushFlag(intFlag(c, [](i64 v) { return v != 0; }));
}

void wZeroGreaterEqual(FSContext &c) {
    c.pushFlag(intFlag(c, [](i64 v) { return v >= 0; }));
}

void wTwoStore(FSContext &c) {
    c.need(3);
    i64 offset;
    PMemory *region = popAddress(c, offset);
    if (!region->contains(offset) || !region->contains(offset + 1))
        forthThrow(kErrInvalidAddress, "cell store outside allotted region");
    region->store(offset, c.pop());
    region->store(offset + 1, c.pop());
}

void wTwoFetch(FSContext &c) {
    i64 offset;
    PMemory *region = popAddress(c, offset);
    Cell high = region->fetch(offset);
    c.push(region->fetch(offset + 1));
    c.push(std::move(high));
}

void wTwoStar(FSContext &c) {
    unary(c, [](i64 v) { return i64(u64(v) << 1); });
}

void wTwoSlash(FSContext &c) {
    unary(c, [](i64 v) { return v >> 1; });
}

void wTwoDrop(FSContext &c) {
    c.need(2);
    c.pop();
    c.pop();
}

void wTwoDup(FSContext &c) {
    c.need(2);
    Cell a = c.peek(1), b = c.peek(0);
    c.push(std::move(a));
    c.push(std::move(b));
}

void wTwoOver(FSContext &c) {
    c.need(4);
    Cell a = c.peek(3), b = c.peek(2);
    c.push(std::move(a));
    c.push(std::move(b));
}

void wTwoSwap(FSContext &c) {
    c.need(4);
    std::swap(c.peek(0), c.peek(2));
    std::swap(c.peek(1), c.peek(3));
}

static int popCompare(FSContext &c) {
    c.need(2);
    int order = cellCompare(c.peek(1), c.peek(0));
    c.pop();
    c.pop();
    return order;
}

void wGreaterEqual(FSContext &c) {
    c.pushFlag(popCompare(c) >= 0);
}

void wNotEqual(FSContext &c) {
    c.need(2);
    bool equal = cellEquals(c.peek(1), c.peek(0));
    c.pop();
    c.pop();
    c.pushFlag(!equal);
}

void wWithin(FSContext &c) {
    // ( n lo hi -- flag ): lo <= n < hi, with the usual wrap-around for hi < lo.
    c.need(3);
    i64 hi = c.peek(0).toInteger(), lo = c.peek(1).toInteger(), n = c.peek(2).toInteger();
    c.pop();
    c.pop();
    c.pop();
    c.pushFlag(u64(n) - u64(lo) < u64(hi) - u64(lo));
}

void wAbs(FSContext &c) {
    unary(c, [](i64 v) { return v < 0 ? i64(0 - u64(v)) : v; });
}

void wNegate(FSContext &c) {
    unary(c, [](i64 v) { return i64(0 - u64(v)); });
}

void wAnd(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return a & b; });
}

void wOr(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return a | b; });
}

void wXor(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return a ^ b; });
}

void wInvert(FSContext &c) {
    unary(c, [](i64 v) { return ~v; });
}

void wLshift(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return u64(b) >= 64 ? 0 : i64(u64(a) << b); });
}

void wRshift(FSContext &c) {
    binary(c, [](i64 a, i64 b) { return u64(b) >= 64 ? 0 : i64(u64(a) >> b); });
}

static void minMax(FSContext &c, bool max) {
    c.need(2);
    int order = cellCompare(c.peek(1), c.peek(0));
    Cell top = c.pop();
    if ((order < 0) == max)
        c.peek(0) = std::move(top);
}

void wMax(FSContext &c) {
    minMax(c, true);
}

void wMin(FSContext &c) {
    minMax(c, false);
}

void wAllot(FSContext &c) {
    c.allot(c.popInt());
}

void wHere(FSContext &c) {
    c.push(Cell::dataAddress(c.hereRegion(), i64(c.hereRegion()->size())));
}

void wUnused(FSContext &c) {
    c.pushInt(c.unused());
}

void wDepth(FSContext &c) {
    c.pushInt(c.depth());
}

void wPick(FSContext &c) {
    i64 index = c.popInt();
    if (index < 0 || index >= c.depth())
        forthThrow(kErrStackUnderflow);
    Cell copy = c.peek(int(index));
    c.push(std::move(copy));
}

void wRoll(FSContext &c) {
    i64 index = c.popInt();
    if (index < 0 || index >= c.depth())
        forthThrow(kErrStackUnderflow);
    for (int k = int(index); k > 0; --k)
        std::swap(c.peek(k), c.peek(k - 1));
}

void wTuck(FSContext &c) {
    c.need(2);
    Cell top = c.peek(0);
    std::swap(c.peek(0), c.peek(1));
    c.push(std::move(top));
}

void wTwoToR(FSContext &c) {
    c.need(2);
    if (c.rdepth() > FSContext::kStackSize - 2)
        FSContext::stackOverflow(); // before moving anything, so no cell is lost
    Cell top = c.pop();
    c.rpush(c.pop());
    c.rpush(std::move(top));
}

void wTwoRFrom(FSContext &c) {
    if (c.rdepth() < 2)
        FSContext::stackUnderflow();
    Cell top = c.rpop();
    c.push(c.rpop());
    c.push(std::move(top));
}

void wTwoRFetch(FSContext &c) {
    if (c.rdepth() < 2)
        FSContext::stackUnderflow();
    c.push(c.rpeek(1));
    c.push(c.rpeek(0));
}

void wFloor(FSContext &c) {
    floatUnary(c, [](double v) { return std::floor(v); });
}

void wFsin(FSContext &c) {
    floatUnary(c, [](double v) { return std::sin(v); });
}

void wFcos(FSContext &c) {
    floatUnary(c, [](double v) { return std::cos(v); });
}

void wFtan(FSContext &c) {
    floatUnary(c, [](double v) { return std::tan(v); });
}

void wTrue(FSContext &c) {
    c.pushInt(-1);
}

void wFalse(FSContext &c) {
    c.pushInt(0);
}

void wState(FSContext &c) {
    c.push(Cell::dataAddress(c.stateRegion(), 0));
}

void wBase(FSContext &c) {
    c.push(Cell::dataAddress(c.baseRegion(), 0));
}

void wDecimal(FSContext &c) {
    c.baseRegion()->at(0) = Cell::integer(10);
}

void wHex(FSContext &c) {
    c.baseRegion()->at(0) = Cell::integer(16);
}
