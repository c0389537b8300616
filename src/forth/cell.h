#pragma once

#include <cstdint>
#include <string>

class PMemory;
class PColonChild;

// The type tag of a cell. The numbers are part of the engine's model (5 is unused).
enum class CellType : std::uint8_t {
    Empty = 0,
    DataAddress = 1,
    CodeAddress = 2,
    Integer = 3,
    Float = 4,
    String = 6,
};

// Text of a string cell, shared between copies. Counted by hand: the engine is single-threaded
// and string cells are copied on every DUP, so an atomic count would cost for nothing.
struct FString {
    long refs;
    std::string text;
};

// One stack or memory element: a 64-bit payload (integer, float or region offset), a reference
// (region, word or text) and a type tag. Addresses are (region, offset) pairs, never pointers
// into memory, so every access can be checked.
struct Cell {
    union {
        std::int64_t i;
        double f;
    };
    union {
        void *ref;
        PMemory *region;
        PColonChild *word;
        FString *str;
    };
    CellType type;

    Cell() noexcept : i(0), ref(nullptr), type(CellType::Empty) {}
    Cell(const Cell &other) noexcept : i(other.i), ref(other.ref), type(other.type) {
        if (type == CellType::String)
            ++str->refs;
    }
    Cell(Cell &&other) noexcept : i(other.i), ref(other.ref), type(other.type) {
        other.type = CellType::Empty;
        other.i = 0;
    }
    Cell &operator=(const Cell &other) noexcept {
        if (other.type == CellType::String)
            ++other.str->refs;
        release();
        i = other.i;
        ref = other.ref;
        type = other.type;
        return *this;
    }
    Cell &operator=(Cell &&other) noexcept {
        if (this != &other) {
            release();
            i = other.i;
            ref = other.ref;
            type = other.type;
            other.type = CellType::Empty;
            other.i = 0;
        }
        return *this;
    }
    ~Cell() { release(); }

    static Cell integer(std::int64_t value) noexcept;
    static Cell real(double value) noexcept;
    static Cell string(std::string text);
    static Cell dataAddress(PMemory *region, std::int64_t offset) noexcept;
    static Cell codeAddress(PColonChild *word) noexcept;

    // Leaves the cell empty, dropping its text if it had one.
    void clear() noexcept {
        release();
        type = CellType::Empty;
        i = 0;
    }

    // Typed reads: each throws the engine's type error when the tag does not fit. An empty
    // cell (never written) reads as the integer 0.
    std::int64_t toInteger() const;
    double toFloat() const;
    const std::string &toText() const;
    PMemory *toRegion() const;
    PColonChild *toWord() const;

    bool isInteger() const noexcept { return type == CellType::Integer || type == CellType::Empty; }
    std::int64_t integerValue() const noexcept { return type == CellType::Integer ? i : 0; }

private:
    void release() noexcept {
        if (type == CellType::String && --str->refs == 0)
            delete str;
    }
};

// Text form of a cell, as `.` and `.S` print it (without the trailing blank).
std::string cellText(const Cell &cell, int base = 10);
std::string integerText(std::int64_t value, int base = 10);
std::string floatText(double value);

// Arithmetic and comparison on typed cells; each throws -24 for operand types it does not
// accept. Integer arithmetic wraps modulo 2^64 like the machine it models.
Cell cellAdd(const Cell &a, const Cell &b);
Cell cellSubtract(const Cell &a, const Cell &b);
// <0, 0 or >0 for two integers or two addresses in the same region.
int cellCompare(const Cell &a, const Cell &b);
// Equality of any two cells: same type and same value (an empty cell equals integer 0).
bool cellEquals(const Cell &a, const Cell &b) noexcept;
