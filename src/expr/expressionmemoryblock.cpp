#include "expr/expressionmemoryblock.h"

#include <cstring>

namespace {

bool validIntegerSize(unsigned size) {
    return size >= 1 && size <= 8;
}

// Bit-fields must lie inside their storage unit.
bool validBitField(unsigned size, unsigned bitOffset, unsigned bitCount) {
    return validIntegerSize(size) && bitCount >= 1 && bitOffset < size * 8 &&
           bitCount <= size * 8 - bitOffset;
}

std::uint64_t lowMask(unsigned bits) {
    return bits >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
}

} // namespace

void MemoryBlock::skip(std::int64_t count) {
    // Wraps instead of overflowing; a position outside the buffer only disables access.
    m_position = std::int64_t(std::uint64_t(m_position) + std::uint64_t(count));
}

bool MemoryBlock::fits(std::size_t count) const {
    return m_position >= 0 && std::uint64_t(m_position) <= m_length &&
           count <= m_length - std::size_t(m_position);
}

std::uint64_t MemoryBlock::decode(unsigned size) const {
    const std::uint8_t *bytes = m_data + m_position;
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i) {
        const unsigned index = m_byteOrder == ByteOrder::LittleEndian ? size - 1 - i : i;
        value = value << 8 | bytes[index];
    }
    return value;
}

void MemoryBlock::encode(std::uint64_t value, unsigned size) {
    std::uint8_t *bytes = m_data + m_position;
    for (unsigned i = 0; i < size; ++i) {
        const unsigned index = m_byteOrder == ByteOrder::LittleEndian ? i : size - 1 - i;
        bytes[index] = std::uint8_t(value);
        value >>= 8;
    }
}

std::uint64_t MemoryBlock::getInteger(unsigned size) {
    if (!validIntegerSize(size) || !fits(size))
        return 0;
    const std::uint64_t value = decode(size);
    m_position += size;
    return value;
}

void MemoryBlock::putInteger(std::uint64_t value, unsigned size) {
    if (!validIntegerSize(size) || !fits(size))
        return;
    encode(value, size);
    m_position += size;
}

void MemoryBlock::getBytes(std::size_t count, void *destination) {
    if (count == 0)
        return;
    if (!fits(count)) {
        std::memset(destination, 0, count);
        return;
    }
    std::memcpy(destination, m_data + m_position, count);
    m_position += std::int64_t(count);
}

void MemoryBlock::putBytes(std::size_t count, const void *source) {
    if (!fits(count) || count == 0)
        return;
    std::memcpy(m_data + m_position, source, count);
    m_position += std::int64_t(count);
}

void MemoryBlock::getString(std::size_t maxLength, char *destination) {
    if (maxLength == 0)
        return;
    destination[0] = '\0';
    if (!fits(0))
        return;
    const std::size_t available = m_length - std::size_t(m_position);
    std::size_t length = 0;
    while (length + 1 < maxLength && length < available && m_data[m_position + length] != 0)
        ++length;
    if (length)
        std::memcpy(destination, m_data + m_position, length);
    destination[length] = '\0';
    const bool terminatorRead = length < available && m_data[m_position + length] == 0;
    m_position += std::int64_t(length + (terminatorRead ? 1 : 0));
}

std::uint64_t MemoryBlock::getBitField(unsigned size, unsigned bitOffset, unsigned bitCount,
                                       bool isSigned) {
    if (!validBitField(size, bitOffset, bitCount) || !fits(size))
        return 0;
    const std::uint64_t field = (decode(size) >> bitOffset) & lowMask(bitCount);
    if (!isSigned || bitCount == 64)
        return field;
    const std::uint64_t sign = std::uint64_t(1) << (bitCount - 1);
    return (field ^ sign) - sign;
}

void MemoryBlock::putBitField(std::uint64_t value, unsigned size, unsigned bitOffset,
                              unsigned bitCount, bool isSigned) {
    // Signed and unsigned fields store the same low bits.
    if (!validBitField(size, bitOffset, bitCount) || !fits(size))
        return;
    const std::uint64_t mask = lowMask(bitCount) << bitOffset;
    encode((decode(size) & ~mask) | ((value << bitOffset) & mask), size);
}
