#pragma once

#include <cstddef>
#include <cstdint>

// A cursor over a run of target bytes, for reading and writing the objects the evaluator
// displays. Integers are decoded in the block's byte order.
class MemoryBlockInterface {
public:
    enum class ByteOrder { LittleEndian, BigEndian };

    virtual ~MemoryBlockInterface() = default;

    virtual std::int64_t position() const = 0;
    virtual void setPosition(std::int64_t position) = 0;
    virtual void rewind() = 0;
    virtual void skip(std::int64_t count) = 0;

    // Integers of 1 to 8 bytes; the position advances past them.
    virtual std::uint64_t getInteger(unsigned size) = 0;
    virtual void putInteger(std::uint64_t value, unsigned size) = 0;
    virtual void getBytes(std::size_t count, void *destination) = 0;
    virtual void putBytes(std::size_t count, const void *source) = 0;
    // Reads a C string of at most maxLength - 1 characters into `destination` (maxLength bytes)
    // and always terminates it; the position advances past the terminator when one was read.
    virtual void getString(std::size_t maxLength, char *destination) = 0;

    // A bit-field inside the integer of `size` bytes at the position, `bitOffset` counted from
    // its least significant bit. Several fields share one storage unit, so the position does
    // not move. Putting one reads, modifies and writes the unit.
    virtual std::uint64_t getBitField(unsigned size, unsigned bitOffset, unsigned bitCount,
                                      bool isSigned) = 0;
    virtual void putBitField(std::uint64_t value, unsigned size, unsigned bitOffset,
                             unsigned bitCount, bool isSigned) = 0;
};

// A memory block over a buffer of the caller's. An access that would start before the buffer or
// run past its end does nothing: reads answer 0 (and fill their destination with zeros) and
// the position stays.
class MemoryBlock final : public MemoryBlockInterface {
public:
    MemoryBlock(std::uint8_t *data, std::size_t length, ByteOrder byteOrder)
        : m_data(data), m_length(length), m_byteOrder(byteOrder) {}

    std::int64_t position() const override { return m_position; }
    void setPosition(std::int64_t position) override { m_position = position; }
    void rewind() override { m_position = 0; }
    void skip(std::int64_t count) override;

    std::uint64_t getInteger(unsigned size) override;
    void putInteger(std::uint64_t value, unsigned size) override;
    void getBytes(std::size_t count, void *destination) override;
    void putBytes(std::size_t count, const void *source) override;
    void getString(std::size_t maxLength, char *destination) override;
    std::uint64_t getBitField(unsigned size, unsigned bitOffset, unsigned bitCount,
                              bool isSigned) override;
    void putBitField(std::uint64_t value, unsigned size, unsigned bitOffset, unsigned bitCount,
                     bool isSigned) override;

private:
    // Whether `count` bytes from the position lie inside the buffer.
    bool fits(std::size_t count) const;
    std::uint64_t decode(unsigned size) const;
    void encode(std::uint64_t value, unsigned size);

    std::uint8_t *m_data;
    std::size_t m_length;
    ByteOrder m_byteOrder;
    std::int64_t m_position = 0;
};
