#include "memorymaptesting.h"

#include "golden.h"

#include <gtest/gtest.h>

// The fixture's comments say what each part shows. A preprocessed load evaluates during
// preprocessing, a plain one afterwards: both must give the same addresses.
TEST(MemoryMapAddresses, EvaluatedAsTheFixtureExpects) {
    const std::string file = testDataPath("memorymap/addresses.xml");
    TestMemoryMap plain, preprocessed;
    ASSERT_TRUE(plain.map.loadFromText(readFileBytes(file)));
    ASSERT_TRUE(preprocessed.map.load(file, "", true));
    expectMatchesGolden(addressDump(plain.map), "memorymap/addresses.expected");
    EXPECT_EQ(addressDump(preprocessed.map), addressDump(plain.map));

    // Evaluating again after a change follows the new attributes.
    plain.named("RAM")->setAttribute("start", "0x10000000");
    plain.named("Reg")->removeAttribute("size");
    plain.map.evaluateAddresses();
    EXPECT_EQ(plain.named("G")->start(), 0x10000100u);
    EXPECT_EQ(plain.named("Reg")->size(), 0u);
}
