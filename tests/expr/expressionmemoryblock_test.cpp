#include "expr/expressionmemoryblock.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using ByteOrder = MemoryBlockInterface::ByteOrder;

TEST(ExpressionMemoryBlock, IntegersInBothByteOrders) {
    std::array<std::uint8_t, 8> bytes = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    MemoryBlock little(bytes.data(), bytes.size(), ByteOrder::LittleEndian);
    EXPECT_EQ(little.getInteger(2), 0x0201u);
    EXPECT_EQ(little.position(), 2);
    EXPECT_EQ(little.getInteger(4), 0x06050403u);
    little.rewind();
    EXPECT_EQ(little.getInteger(8), 0x0807060504030201u);

    MemoryBlock big(bytes.data(), bytes.size(), ByteOrder::BigEndian);
    big.skip(1);
    EXPECT_EQ(big.getInteger(3), 0x020304u);
    big.setPosition(4);
    big.putInteger(0xaabbccdd, 4);
    EXPECT_EQ(bytes[4], 0xaa);
    EXPECT_EQ(bytes[7], 0xdd);
    little.setPosition(4);
    little.putInteger(0x1122, 2);
    EXPECT_EQ(bytes[4], 0x22);
    EXPECT_EQ(bytes[5], 0x11);
    EXPECT_EQ(little.position(), 6);
}

TEST(ExpressionMemoryBlock, OutOfRangeAccessesDoNothing) {
    std::array<std::uint8_t, 4> bytes = {1, 2, 3, 4};
    MemoryBlock block(bytes.data(), bytes.size(), ByteOrder::LittleEndian);
    block.setPosition(2);
    EXPECT_EQ(block.getInteger(4), 0u);
    EXPECT_EQ(block.position(), 2);
    block.putInteger(0xffffffff, 4);
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(block.getInteger(9), 0u);
    EXPECT_EQ(block.getInteger(0), 0u);

    block.setPosition(-1);
    EXPECT_EQ(block.getInteger(1), 0u);
    block.putBytes(2, "xy");
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));

    std::array<std::uint8_t, 3> out = {9, 9, 9};
    block.setPosition(2);
    block.getBytes(3, out.data());
    EXPECT_EQ(out, (std::array<std::uint8_t, 3>{0, 0, 0}));

    // Positions near the ends of the range must not overflow the bounds check.
    block.setPosition(INT64_MAX);
    EXPECT_EQ(block.getInteger(8), 0u);
    block.skip(1);
    EXPECT_EQ(block.position(), INT64_MIN);
    EXPECT_EQ(block.getInteger(1), 0u);
}

TEST(ExpressionMemoryBlock, BytesAndStrings) {
    std::array<std::uint8_t, 10> bytes = {'a', 'b', 'c', 0, 'd', 'e', 'f', 'g', 'h', 'i'};
    MemoryBlock block(bytes.data(), bytes.size(), ByteOrder::LittleEndian);
    char text[8];
    block.getString(sizeof text, text);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(block.position(), 4);
    // Cut at the buffer size, always terminated.
    block.getString(3, text);
    EXPECT_STREQ(text, "de");
    EXPECT_EQ(block.position(), 6);
    // Runs into the end of the block.
    block.getString(sizeof text, text);
    EXPECT_STREQ(text, "fghi");
    EXPECT_EQ(block.position(), 10);
    block.getString(sizeof text, text);
    EXPECT_STREQ(text, "");
    block.setPosition(11);
    std::strcpy(text, "old");
    block.getString(sizeof text, text);
    EXPECT_STREQ(text, "");

    block.setPosition(4);
    block.putBytes(3, "XYZ");
    std::array<char, 3> copy{};
    block.setPosition(4);
    block.getBytes(3, copy.data());
    EXPECT_EQ(std::string(copy.data(), 3), "XYZ");
}

TEST(ExpressionMemoryBlock, BitFields) {
    std::array<std::uint8_t, 4> bytes = {0b1011'0100, 0x00, 0x00, 0x80};
    MemoryBlock block(bytes.data(), bytes.size(), ByteOrder::LittleEndian);
    EXPECT_EQ(block.getBitField(1, 2, 4, false), 0b1101u);
    EXPECT_EQ(block.getBitField(1, 2, 4, true), std::uint64_t(-3));
    EXPECT_EQ(block.getBitField(4, 31, 1, true), std::uint64_t(-1));
    EXPECT_EQ(block.position(), 0);

    block.putBitField(0b0110, 1, 2, 4, false);
    EXPECT_EQ(bytes[0], 0b1001'1000);
    // Bits outside the field are masked off, signed values stored as their low bits.
    block.putBitField(-1, 2, 6, 4, true);
    EXPECT_EQ(bytes[0], 0b1101'1000);
    EXPECT_EQ(bytes[1], 0b0000'0011);

    std::array<std::uint8_t, 8> wide;
    wide.fill(0xff);
    MemoryBlock whole(wide.data(), wide.size(), ByteOrder::BigEndian);
    EXPECT_EQ(whole.getBitField(8, 0, 64, true), UINT64_MAX);
    whole.putBitField(0x0123456789abcdef, 8, 0, 64, false);
    EXPECT_EQ(wide[0], 0x01);
    EXPECT_EQ(wide[7], 0xef);

    // Fields that leave their unit, and units past the end, do nothing.
    EXPECT_EQ(block.getBitField(1, 6, 4, false), 0u);
    EXPECT_EQ(block.getBitField(1, 0, 0, false), 0u);
    block.setPosition(3);
    EXPECT_EQ(block.getBitField(2, 0, 1, false), 0u);
    block.putBitField(1, 2, 0, 1, false);
    EXPECT_EQ(bytes[3], 0x80);
}

} // namespace
