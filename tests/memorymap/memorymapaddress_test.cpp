#include "memorymaptesting.h"

#include <gtest/gtest.h>

namespace {

struct Addressed {
    const char *name;
    std::uint32_t start;
    std::uint32_t size;
};

void expectAddresses(const char *text, std::initializer_list<Addressed> expected) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText(text)) << test.map.errorText();
    for (const Addressed &want : expected) {
        const MemoryMapElement *element = test.named(want.name);
        ASSERT_NE(element, nullptr) << want.name;
        EXPECT_EQ(element->start(), want.start) << want.name;
        EXPECT_EQ(element->size(), want.size) << want.name;
    }
}

} // namespace

TEST(MemoryMapAddresses, BlocksAreRelativeToTheirEnclosingStart) {
    expectAddresses(R"(<Root name="r">
        <MemorySegment name="RAM" start="0x20000000" size="0x8000">
          <RegisterGroup name="G" start="+0x100" size="0x40">
            <RegisterGroup name="Inner" start="+0x10"/>
            <RegisterGroup name="Absolute" start="0x30000000"/>
          </RegisterGroup>
          <RegisterGroup name="NoStart"><Register name="R0" start="+8" size="4"/></RegisterGroup>
          <ProgramSection name=".data" start="+0x200" size="16*4"/>
        </MemorySegment>
      </Root>)",
                    {{"RAM", 536870912, 32768},
                     {"G", 536871168, 0x40},
                     {"Inner", 0x20000110, 0},
                     {"Absolute", 0x30000000, 0},
                     {"NoStart", 0, 0},
                     {"R0", 0x20000008, 4}, // a block without start passes its parent's base on
                     {".data", 0x20000200, 64}});
}

TEST(MemoryMapAddresses, RegistersKeepTheBaseAndFieldsCountFromZero) {
    expectAddresses(R"(<Root name="r">
        <RegisterGroup name="G" start="0x40000000">
          <Register name="R" start="+0x24" size="0x20">
            <Register name="Nested" start="+4" size="010"/>
            <BitField name="F" start="+3" size="2">
              <Enum name="E" start="5" size="1"/>
            </BitField>
          </Register>
          <Register name="Absolute" start="0x50000000" size="4"/>
        </RegisterGroup>
      </Root>)",
                    {{"R", 0x40000024, 32},
                     {"Nested", 0x40000004, 8}, // the group's base, not the register's; octal
                     {"F", 3, 2},
                     {"E", 5, 1},
                     {"Absolute", 0x50000000, 4}});
}

TEST(MemoryMapAddresses, ArithmeticIsUnsigned32Bit) {
    expectAddresses(R"(<Root name="r">
        <MemorySegment name="Top" start="0xFFFFFFF0" size="0x100000010">
          <RegisterGroup name="Wrapped" start="+0x20"/>
        </MemorySegment>
        <MemorySegment name="Negative" start="-16" size="0x10"/>
        <MemorySegment name="Shifted" start="1 &lt;&lt; 31" size="(0x10 + 2) * 3"/>
      </Root>)",
                    {{"Top", 0xFFFFFFF0, 0x10},
                     {"Wrapped", 0x10, 0},
                     {"Negative", 0xFFFFFFF0, 0x10},
                     {"Shifted", 0x80000000, 54}});
}

TEST(MemoryMapAddresses, TextsThatDoNotEvaluateLeaveZero) {
    expectAddresses(R"(<Root name="r">
        <MemorySegment name="S" start="0x1000" size="0x100">
          <RegisterGroup name="Bad" start="+nonsense" size="0x10 0x20">
            <Register name="R" start="+4" size="4 bytes"/>
          </RegisterGroup>
          <RegisterGroup name="Empty" start="" size=""/>
          <Register name="ExpressionSize" start="+0" size="2*2"/>
        </MemorySegment>
      </Root>)",
                    {{"Bad", 0, 0},
                     {"R", 4, 0}, // its block's start counts as 0
                     {"Empty", 0, 0},
                     {"ExpressionSize", 0x1000, 0}}); // register sizes are plain numbers
}

TEST(MemoryMapAddresses, LineBreaksAndTabsInValuesAreBlanks) {
    expectAddresses("<Root name=\"r\">"
                    "<MemorySegment name=\"S\" start=\"\n\t0x1000 +\n 0x20\t\" size=\" 0x40\n\"/>"
                    "<MemorySegment name=\"T\" start=\"0x2000\">"
                    "<RegisterGroup name=\"G\" start=\"\t+0x10\"/></MemorySegment>"
                    "<Register name=\"R\" start=\"0\" size=\"\t0x10\n\"/>"
                    "</Root>",
                    {{"S", 0x1020, 0x40}, {"G", 0x2010, 0}, {"R", 0, 16}});
}

TEST(MemoryMapAddresses, ReevaluationFollowsChangedAttributes) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText(
        R"(<Root name="r"><MemorySegment name="S" start="0x100"><RegisterGroup name="G" start="+4"/></MemorySegment></Root>)"));
    test.named("S")->setAttribute("start", "0x200");
    test.map.evaluateAddresses();
    EXPECT_EQ(test.named("G")->start(), 0x204u);
}

TEST(MemoryMapPlainNumbers, CNotation) {
    EXPECT_EQ(readPlainNumber("42"), 42u);
    EXPECT_EQ(readPlainNumber(" 0x1F\n"), 31u);
    EXPECT_EQ(readPlainNumber("0X10"), 16u);
    EXPECT_EQ(readPlainNumber("017"), 15u);
    EXPECT_EQ(readPlainNumber("0"), 0u);
    EXPECT_EQ(readPlainNumber("18446744073709551615"), UINT64_MAX);
    EXPECT_FALSE(readPlainNumber("18446744073709551616"));
    EXPECT_FALSE(readPlainNumber("08"));
    EXPECT_FALSE(readPlainNumber("0x"));
    EXPECT_FALSE(readPlainNumber(""));
    EXPECT_FALSE(readPlainNumber("12k"));
    EXPECT_FALSE(readPlainNumber("-1"));
    EXPECT_FALSE(readPlainNumber("$(SIZE)"));
}
