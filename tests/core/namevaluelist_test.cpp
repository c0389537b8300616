#include "core/namevaluelist.h"

#include <gtest/gtest.h>

using Items = std::vector<std::string>;

TEST(SplitEscapedList, SplitsAtUnescapedSeparatorsAndDropsEmptyItems) {
    EXPECT_EQ(splitEscapedList("A=1;B=2"), (Items{"A=1", "B=2"}));
    EXPECT_EQ(splitEscapedList(";;A=1;;;B=2;"), (Items{"A=1", "B=2"}));
    EXPECT_EQ(splitEscapedList(""), Items{});
    EXPECT_EQ(splitEscapedList(";"), Items{});
}

TEST(SplitEscapedList, BackslashMakesTheNextCharacterOrdinary) {
    EXPECT_EQ(splitEscapedList("A=1;B\\;C=2"), (Items{"A=1", "B;C=2"}));
    EXPECT_EQ(splitEscapedList("P=C:\\\\dir"), (Items{"P=C:\\dir"}));
    EXPECT_EQ(splitEscapedList("\\x\\=y"), (Items{"x=y"}));
    // An escaped separator alone is a non-empty item.
    EXPECT_EQ(splitEscapedList("\\;"), (Items{";"}));
}

TEST(SplitEscapedList, TrailingBackslashIsKept) {
    EXPECT_EQ(splitEscapedList("A=dir\\"), (Items{"A=dir\\"}));
    EXPECT_EQ(splitEscapedList("\\"), (Items{"\\"}));
}

TEST(SplitNameValue, FirstPieceIsNameSecondIsValue) {
    // Empty pieces are dropped and pieces after the value ignored; "FLAG=" has no value.
    const struct {
        const char *item, *name;
        std::optional<std::string> value;
    } cases[] = {{"A=1", "A", "1"},
                 {"A==1=2", "A", "1"},
                 {"=A=1", "A", "1"},
                 {"FLAG", "FLAG", {}},
                 {"FLAG=", "FLAG", std::nullopt}};
    for (const auto &c : cases) {
        NameValue nv = splitNameValue(c.item);
        EXPECT_EQ(nv.name, c.name) << c.item;
        EXPECT_EQ(nv.value, c.value) << c.item;
    }
}

TEST(ParseNameValueList, KeepsTextOrderIncludingRepeats) {
    std::vector<NameValue> list = parseNameValueList("X=1;B\\;C=2;X=3");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "X");
    EXPECT_EQ(list[1].name, "B;C");
    EXPECT_EQ(list[1].value, "2");
    EXPECT_EQ(list[2].value, "3");
}
