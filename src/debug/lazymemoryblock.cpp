#include "debug/lazymemoryblock.h"

#include "debug/symbolicdebuggerinterface.h"

#include <cstring>

namespace {

bool validSize(unsigned size) {
    return size >= 1 && size <= 8;
}

std::uint64_t lowMask(unsigned bits) {
    return bits >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
}

} // namespace

bool LazyMemoryBlock::load(std::uint8_t *bytes, std::size_t size) {
    std::size_t got = m_engine.readMemory(m_accessMode, address(), size, bytes);
    if (got >= size)
        return true;
    std::memset(bytes + got, 0, size - got);
    m_complete = false;
    return false;
}

std::uint64_t LazyMemoryBlock::decode(const std::uint8_t *bytes, unsigned size) const {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        unsigned index = m_byteOrder == ByteOrder::LittleEndian ? size - 1 - i : i;
        value = value << 8 | bytes[index];
    }
    return value;
}

void LazyMemoryBlock::encode(std::uint64_t value, unsigned size, std::uint8_t *bytes) const {
    for (unsigned i = 0; i < size; ++i) {
        unsigned index = m_byteOrder == ByteOrder::LittleEndian ? i : size - 1 - i;
        bytes[index] = std::uint8_t(value >> (8 * i));
    }
}

std::uint64_t LazyMemoryBlock::getInteger(unsigned size) {
    if (!validSize(size))
        return 0;
    std::uint8_t bytes[8];
    bool ok = load(bytes, size);
    m_position += size;
    return ok ? decode(bytes, size) : 0;
}

void LazyMemoryBlock::putInteger(std::uint64_t value, unsigned size) {
    if (!validSize(size))
        return;
    std::uint8_t bytes[8];
    encode(value, size, bytes);
    putBytes(size, bytes);
}

void LazyMemoryBlock::getBytes(std::size_t count, void *destination) {
    load(static_cast<std::uint8_t *>(destination), count);
    m_position += std::int64_t(count);
}

void LazyMemoryBlock::putBytes(std::size_t count, const void *source) {
    if (m_engine.writeMemory(m_accessMode, address(), count, source) < count)
        m_complete = false;
    m_position += std::int64_t(count);
}

void LazyMemoryBlock::getString(std::size_t maxLength, char *destination) {
    if (maxLength == 0)
        return;
    std::size_t length = 0;
    while (length + 1 < maxLength) {
        std::uint8_t byte = 0;
        if (!load(&byte, 1))
            break;
        ++m_position;
        if (byte == 0)
            break;
        destination[length++] = char(byte);
    }
    destination[length] = '\0';
}

std::uint64_t LazyMemoryBlock::getBitField(unsigned size, unsigned bitOffset, unsigned bitCount,
                                           bool isSigned) {
    if (!validSize(size) || bitCount == 0 || bitOffset + bitCount > size * 8)
        return 0;
    std::uint8_t bytes[8];
    if (!load(bytes, size))
        return 0;
    std::uint64_t field = (decode(bytes, size) >> bitOffset) & lowMask(bitCount);
    if (isSigned && bitCount < 64 && (field >> (bitCount - 1)) & 1)
        field |= ~lowMask(bitCount);
    return field;
}

void LazyMemoryBlock::putBitField(std::uint64_t value, unsigned size, unsigned bitOffset,
                                  unsigned bitCount, bool isSigned) {
    if (!validSize(size) || bitCount == 0 || bitOffset + bitCount > size * 8)
        return;
    std::uint8_t bytes[8];
    if (!load(bytes, size))
        return;
    const std::uint64_t mask = lowMask(bitCount) << bitOffset;
    std::uint64_t unit = decode(bytes, size);
    unit = (unit & ~mask) | ((value << bitOffset) & mask);
    encode(unit, size, bytes);
    if (m_engine.writeMemory(m_accessMode, address(), size, bytes) < size)
        m_complete = false;
}
