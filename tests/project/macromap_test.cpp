#include "project/macromap.h"

#include <gtest/gtest.h>

namespace {

TEST(MacroMap, CopiesAreIndependentOnceChanged) {
    MacroMap level{{"FAMILY", "F4"}, {"SIZE", "16"}};
    MacroMap inner = level;
    inner.set("SIZE", "32");
    inner.set("EXTRA", "1");
    EXPECT_EQ(level.value("SIZE"), "16");
    EXPECT_FALSE(level.contains("EXTRA"));
    EXPECT_EQ(inner.value("SIZE"), "32");
    EXPECT_EQ(inner.value("FAMILY"), "F4");

    MacroMap other = level;
    EXPECT_TRUE(other.remove("FAMILY"));
    EXPECT_FALSE(other.remove("FAMILY"));
    EXPECT_TRUE(level.contains("FAMILY"));
    EXPECT_EQ(other.size(), 1u);

    // Changing the original leaves the copy as it was, too.
    MacroMap snapshot = level;
    level.clear();
    EXPECT_TRUE(level.empty());
    EXPECT_EQ(snapshot.value("FAMILY"), "F4");
}

TEST(MacroMap, LookupsAreExactAndOrdered) {
    MacroMap map{{"b", "2"}, {"B", "1"}, {"a", "3"}};
    EXPECT_EQ(map.find("A"), nullptr);
    ASSERT_NE(map.find("B"), nullptr);
    EXPECT_EQ(*map.find("B"), "1");
    EXPECT_EQ(map.value("missing"), "");
    std::string names;
    for (const auto &[name, value] : map)
        names += name;
    EXPECT_EQ(names, "Bab");
    EXPECT_EQ(MacroMap().find("x"), nullptr);
    EXPECT_EQ(MacroMap().begin(), MacroMap().end());
}

TEST(MacroMap, FromList) {
    MacroMap map = MacroMap::fromList("CPU=M4;;PATH=C:\\\\dir\\;x;FLAG;CPU=M7;=;=V");
    EXPECT_EQ(map.value("CPU"), "M7") << "a later item replaces an earlier one";
    EXPECT_EQ(map.value("PATH"), "C:\\dir;x");
    ASSERT_TRUE(map.contains("FLAG"));
    EXPECT_EQ(map.value("FLAG"), "");
    EXPECT_EQ(map.value("V"), "") << "empty pieces are dropped, as for every name=value list";
    EXPECT_FALSE(map.contains(""));
    EXPECT_EQ(map.size(), 4u);

    MacroMap base{{"CPU", "M0"}, {"KEEP", "1"}};
    MacroMap copy = base;
    copy.addList("CPU=M3");
    EXPECT_EQ(copy, (MacroMap{{"CPU", "M3"}, {"KEEP", "1"}}));
    EXPECT_EQ(base.value("CPU"), "M0");
    EXPECT_TRUE(MacroMap::fromList("").empty());
}

} // namespace
