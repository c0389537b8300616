#include "forth/fstext.h"

#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/pmemory.h"

bool isCharAddress(const Cell &cell) noexcept {
    return cell.type == CellType::String || cell.type == CellType::DataAddress;
}

unsigned char charAt(const Cell &address, std::int64_t index) {
    std::int64_t offset = std::int64_t(std::uint64_t(address.i) + std::uint64_t(index));
    if (address.type == CellType::String) {
        const std::string &text = address.str->text;
        if (offset < 0 || std::uint64_t(offset) >= text.size())
            forthThrow(kErrInvalidAddress, "character fetch outside string");
        return static_cast<unsigned char>(text[std::size_t(offset)]);
    }
    PMemory *region = address.toRegion();
    if (!region->contains(offset))
        forthThrow(kErrInvalidAddress, "cell fetch outside allotted region");
    return static_cast<unsigned char>(region->at(offset).toInteger());
}

void storeChar(const Cell &address, std::int64_t index, std::int64_t value) {
    if (address.type == CellType::String)
        forthThrow(kErrInvalidAddress, "string text is read-only");
    PMemory *region = address.toRegion();
    std::int64_t offset = std::int64_t(std::uint64_t(address.i) + std::uint64_t(index));
    region->store(offset, Cell::integer(value & 0xff));
}

std::string textAt(const Cell &address, std::int64_t length) {
    if (length <= 0)
        return {};
    if (std::uint64_t(length) > FSContext::kStringLimit)
        forthThrow(kErrStringOverflow);
    if (address.type == CellType::String) {
        const std::string &text = address.str->text;
        if (address.i < 0 || std::uint64_t(address.i) + std::uint64_t(length) > text.size())
            forthThrow(kErrInvalidAddress, "character fetch outside string");
        return text.substr(std::size_t(address.i), std::size_t(length));
    }
    PMemory *region = address.toRegion();
    if (!region->contains(address.i) || !region->contains(address.i + length - 1))
        forthThrow(kErrInvalidAddress, "cell fetch outside allotted region");
    std::string text(std::size_t(length), '\0');
    for (std::int64_t k = 0; k < length; ++k)
        text[std::size_t(k)] = char(region->at(address.i + k).toInteger());
    return text;
}

bool textPairOnTop(FSContext &c) {
    return c.depth() >= 2 && c.peek(0).isInteger() && isCharAddress(c.peek(1));
}

std::string popText(FSContext &c) {
    if (textPairOnTop(c)) {
        std::int64_t length;
        Cell address = popCharRange(c, length);
        return textAt(address, length);
    }
    Cell text = c.pop();
    text.toText();
    return cellText(text);
}

void pushText(FSContext &c, std::string text) {
    if (text.size() > FSContext::kStringLimit)
        forthThrow(kErrStringOverflow);
    c.charge(text.size() / 16);
    std::int64_t length = std::int64_t(text.size());
    c.push(Cell::string(std::move(text)));
    c.pushInt(length);
}

Cell popCharRange(FSContext &c, std::int64_t &length) {
    c.need(2);
    length = c.peek(0).toInteger();
    if (!isCharAddress(c.peek(1)))
        c.peek(1).toRegion();
    if (length < 0)
        forthThrow(kErrInvalidArgument, "negative length");
    c.pop();
    return c.pop();
}
