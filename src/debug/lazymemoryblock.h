#pragma once

#include "expr/expressionmemoryblock.h"

class SymbolicDebuggerInterface;

// A memory block over target memory: every access goes to the engine at base plus position,
// and the position advances by the bytes asked for. A read the target cannot deliver in full
// answers 0 (its destination zero-filled past what arrived), as a local block does outside
// its buffer.
class LazyMemoryBlock final : public MemoryBlockInterface {
public:
    // `accessMode` (0 to 3) is the context the engine's memory operations receive: it picks
    // how the engine reaches memory (cached, direct, ...).
    LazyMemoryBlock(SymbolicDebuggerInterface &engine, int accessMode, ByteOrder byteOrder,
                    std::uint64_t baseAddress)
        : m_engine(engine), m_accessMode(accessMode), m_byteOrder(byteOrder), m_base(baseAddress) {}

    std::int64_t position() const override { return m_position; }
    void setPosition(std::int64_t position) override { m_position = position; }
    void rewind() override { m_position = 0; }
    void skip(std::int64_t count) override { m_position += count; }

    std::uint64_t getInteger(unsigned size) override;
    void putInteger(std::uint64_t value, unsigned size) override;
    void getBytes(std::size_t count, void *destination) override;
    void putBytes(std::size_t count, const void *source) override;
    void getString(std::size_t maxLength, char *destination) override;
    std::uint64_t getBitField(unsigned size, unsigned bitOffset, unsigned bitCount,
                              bool isSigned) override;
    void putBitField(std::uint64_t value, unsigned size, unsigned bitOffset, unsigned bitCount,
                     bool isSigned) override;

    std::uint64_t address() const { return m_base + std::uint64_t(m_position); }
    // Whether every access so far delivered all its bytes.
    bool complete() const { return m_complete; }

private:
    // Reads `size` bytes at the position without moving it; false when they did not arrive.
    bool load(std::uint8_t *bytes, std::size_t size);
    std::uint64_t decode(const std::uint8_t *bytes, unsigned size) const;
    void encode(std::uint64_t value, unsigned size, std::uint8_t *bytes) const;

    SymbolicDebuggerInterface &m_engine;
    int m_accessMode;
    ByteOrder m_byteOrder;
    std::uint64_t m_base;
    std::int64_t m_position = 0;
    bool m_complete = true;
};
