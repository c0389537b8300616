#include "core/hexformat.h"

#include <gtest/gtest.h>

TEST(HexFormat, Hex8IsLowerCaseAndPaddedToEightDigits) {
    EXPECT_EQ(hex8(0), "00000000");
    EXPECT_EQ(hex8(0x8000), "00008000");
    EXPECT_EQ(hex8(0x20000000), "20000000");
    EXPECT_EQ(hex8(0xDEADBEEF), "deadbeef");
    EXPECT_EQ(hex8(0xffffffffu), "ffffffff");
}

TEST(HexFormat, HexHasNoPadding) {
    EXPECT_EQ(hex(0), "0");
    EXPECT_EQ(hex(0xa), "a");
    EXPECT_EQ(hex(0xC3), "c3");
    EXPECT_EQ(hex(0xffffffffffffffffull), "ffffffffffffffff");
}
