#include "forth/cell.h"

#include "forth/forthexception.h"
#include "forth/pcolonchild.h"
#include "forth/pmemory.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Cell Cell::integer(std::int64_t value) noexcept {
    Cell cell;
    cell.type = CellType::Integer;
    cell.i = value;
    return cell;
}

Cell Cell::real(double value) noexcept {
    Cell cell;
    cell.type = CellType::Float;
    cell.f = value;
    return cell;
}

Cell Cell::string(std::string text) {
    Cell cell;
    cell.str = new FString{1, std::move(text)};
    cell.type = CellType::String;
    return cell;
}

Cell Cell::dataAddress(PMemory *region, std::int64_t offset) noexcept {
    Cell cell;
    cell.type = CellType::DataAddress;
    cell.region = region;
    cell.i = offset;
    return cell;
}

Cell Cell::codeAddress(PColonChild *word) noexcept {
    Cell cell;
    cell.type = CellType::CodeAddress;
    cell.word = word;
    return cell;
}

std::int64_t Cell::toInteger() const {
    if (type == CellType::Integer)
        return i;
    if (type == CellType::Empty)
        return 0;
    forthThrow(kErrInvalidArgument, "unrelocated literal required");
}

double Cell::toFloat() const {
    if (type != CellType::Float)
        forthThrow(kErrInvalidArgument, "float required");
    return f;
}

const std::string &Cell::toText() const {
    if (type != CellType::String)
        forthThrow(kErrInvalidArgument, "string required");
    return str->text;
}

PMemory *Cell::toRegion() const {
    if (type != CellType::DataAddress)
        forthThrow(kErrInvalidAddress, "not a data address");
    return region;
}

PColonChild *Cell::toWord() const {
    if (type != CellType::CodeAddress)
        forthThrow(kErrInvalidAddress, "not a code address");
    return word;
}

std::string integerText(std::int64_t value, int base) {
    static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (base < 2 || base > 36)
        base = 10;
    // Work on the magnitude as unsigned so the most negative value prints correctly.
    std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    char buffer[72];
    char *end = buffer + sizeof buffer;
    char *p = end;
    do {
        *--p = digits[magnitude % unsigned(base)];
        magnitude /= unsigned(base);
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    return std::string(p, end);
}

std::string floatText(double value) {
    // The shortest %g text that reads back as the same double ("100", not "1e+02").
    std::string best;
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value || std::isnan(value)) {
            if (best.empty() || std::strlen(buffer) < best.size())
                best = buffer;
        }
    }
    return best.empty() ? buffer : best;
}

std::string cellText(const Cell &cell, int base) {
    switch (cell.type) {
    case CellType::Empty:
        return "0";
    case CellType::Integer:
        return integerText(cell.i, base);
    case CellType::Float:
        return floatText(cell.f);
    case CellType::String:
        // A string cell is also a character address: its text starts at the offset.
        if (cell.i <= 0)
            return cell.str->text;
        return std::uint64_t(cell.i) < cell.str->text.size() ? cell.str->text.substr(cell.i) : "";
    case CellType::CodeAddress:
        return "#<CODE-ADDRESS " + cell.word->displayName() + ">";
    case CellType::DataAddress: {
        std::string text = "#<DATA-ADDRESS ";
        text += cell.region->name();
        if (cell.i > 0)
            text += '+';
        if (cell.i != 0)
            text += std::to_string(cell.i);
        text += '>';
        return text;
    }
    }
    return {};
}

static std::int64_t wrappingAdd(std::int64_t a, std::int64_t b) {
    return std::int64_t(std::uint64_t(a) + std::uint64_t(b));
}

static std::int64_t wrappingSubtract(std::int64_t a, std::int64_t b) {
    return std::int64_t(std::uint64_t(a) - std::uint64_t(b));
}

[[noreturn]] static void badCombination() {
    forthThrow(kErrInvalidArgument, "invalid operand combination");
}

Cell cellAdd(const Cell &a, const Cell &b) {
    if (a.isInteger() && b.isInteger())
        return Cell::integer(wrappingAdd(a.integerValue(), b.integerValue()));
    if (a.type == CellType::DataAddress && b.isInteger())
        return Cell::dataAddress(a.region, wrappingAdd(a.i, b.integerValue()));
    if (a.isInteger() && b.type == CellType::DataAddress)
        return Cell::dataAddress(b.region, wrappingAdd(b.i, a.integerValue()));
    // A character address within a string's text moves like a data address.
    if ((a.type == CellType::String && b.isInteger()) ||
        (a.isInteger() && b.type == CellType::String)) {
        Cell moved = a.type == CellType::String ? a : b;
        moved.i =
            wrappingAdd(moved.i, a.type == CellType::String ? b.integerValue() : a.integerValue());
        return moved;
    }
    badCombination();
}

Cell cellSubtract(const Cell &a, const Cell &b) {
    if (a.isInteger() && b.isInteger())
        return Cell::integer(wrappingSubtract(a.integerValue(), b.integerValue()));
    if (a.type == CellType::DataAddress && b.isInteger())
        return Cell::dataAddress(a.region, wrappingSubtract(a.i, b.integerValue()));
    // The distance between two addresses only means something within one region.
    if (a.type == CellType::DataAddress && b.type == CellType::DataAddress && a.region == b.region)
        return Cell::integer(wrappingSubtract(a.i, b.i));
    if (a.type == CellType::String && b.isInteger()) {
        Cell moved = a;
        moved.i = wrappingSubtract(a.i, b.integerValue());
        return moved;
    }
    if (a.type == CellType::String && b.type == CellType::String && a.str == b.str)
        return Cell::integer(wrappingSubtract(a.i, b.i));
    badCombination();
}

int cellCompare(const Cell &a, const Cell &b) {
    std::int64_t x, y;
    if (a.isInteger() && b.isInteger()) {
        x = a.integerValue();
        y = b.integerValue();
    } else if (a.type == CellType::DataAddress && b.type == CellType::DataAddress &&
               a.region == b.region) {
        x = a.i;
        y = b.i;
    } else if (a.type == CellType::String && b.type == CellType::String && a.str == b.str) {
        x = a.i;
        y = b.i;
    } else if (a.type == CellType::Float && b.type == CellType::Float) {
        return a.f < b.f ? -1 : (a.f > b.f ? 1 : 0);
    } else {
        badCombination();
    }
    return x < y ? -1 : (x > y ? 1 : 0);
}

bool cellEquals(const Cell &a, const Cell &b) noexcept {
    if (a.isInteger() && b.isInteger())
        return a.integerValue() == b.integerValue();
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case CellType::Float:
        return a.f == b.f;
    case CellType::String:
        return a.i == b.i && (a.str == b.str || a.str->text == b.str->text);
    case CellType::DataAddress:
        return a.region == b.region && a.i == b.i;
    case CellType::CodeAddress:
        return a.word == b.word;
    default:
        return false;
    }
}
