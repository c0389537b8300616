// The markup stream's decoder, the style table and the Markdown parser's exact markup.

#include "parsertesting.h"

#include "editor/codeeditmarkdownparser.h"
#include "editor/styletable.h"

#include <set>

namespace {

std::vector<MarkupRun> decode(const std::u16string &markup, std::u16string *text = nullptr) {
    std::u16string terminated = markup + u'\0';
    std::u16string decoded;
    std::vector<MarkupRun> runs;
    decodeMarkup(terminated.c_str(), decoded, runs);
    if (text)
        *text = decoded;
    return runs;
}

TEST(MarkupDecoder, StylesFlagsAndIgnoredControls) {
    std::u16string text;
    auto runs = decode(u"a" + esc(3) + u"bc" + esc(315) + u"d" + esc(571) + u"e" + esc(316) + u"f" +
                           esc(59) + esc(999) + u"g",
                       &text);
    EXPECT_EQ(text, u"abcdefg");
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].style, 0);
    EXPECT_EQ(runs[1].style, 3);
    EXPECT_EQ(runs[1].length, 2);
    EXPECT_EQ(runs[2].flags, kMarkupSquiggle);
    EXPECT_EQ(runs[3].flags, kMarkupSquiggle | kMarkupBold);
    // 316 clears only the squiggle; 59 (flags on, no bits) and 999 change nothing
    EXPECT_EQ(runs[4].flags, kMarkupBold);
    EXPECT_EQ(runs[4].column, 5);
    EXPECT_EQ(runs[4].length, 2);
}

TEST(MarkupDecoder, PairsThatKeepTheLookMergeAndStyleZeroIsAControl) {
    std::u16string text;
    auto runs = decode(esc(0) + u"a" + esc(0) + u" " + esc(0) + u"b" + esc(7) + u"+", &text);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].length, 3);
    EXPECT_EQ(text, u"a b+");
}

TEST(MarkupDecoder, ColumnsCountCharacters) {
    auto runs = decode(u"\U0001F600" + esc(1) + u"x");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].length, 2); // two units, one character
    EXPECT_EQ(runs[1].column, 1);
    EXPECT_EQ(runs[1].start, 2);
}

TEST(StyleTable, IndexesNamesAndKinds) {
    const StyleInfo *table = styleTable();
    std::set<std::string> names;
    for (int i = 0; i < kStyleCount; ++i) {
        EXPECT_EQ(table[i].index, i);
        EXPECT_TRUE(names.insert(table[i].xmlName).second) << table[i].xmlName;
    }
    EXPECT_STREQ(table[23].xmlName, "brace-match-aligned-connector");
    EXPECT_STREQ(table[27].xmlName, "overwrite");
    EXPECT_STREQ(table[42].displayName, "Terminal Black");
    EXPECT_STREQ(table[50].displayName, "Terminal Bright Black");
    EXPECT_STREQ(table[57].xmlName, "terminal-bright-white");
    EXPECT_STREQ(table[58].xmlName, "progress-bar");
    EXPECT_EQ(table[16].kind, StyleKind::Text);
    EXPECT_EQ(table[17].kind, StyleKind::Colour);
    EXPECT_EQ(table[32].kind, StyleKind::Text);
    EXPECT_EQ(table[33].kind, StyleKind::Colour);
    EXPECT_EQ(styleByXmlName("control")->index, 6);
    EXPECT_EQ(styleByXmlName("nothing"), nullptr);
}

TEST(MarkdownParser, HeadingsBulletsAndEmphasis) {
    CodeEditMarkdownParser md;
    EXPECT_MARKUP(parseLine(md, u"## Title").markup, esc(4) + u"##" + esc(3) + u" Title");
    EXPECT_MARKUP(parseLine(md, u"* item").markup, esc(3) + u"* " + esc(2) + u"item");
    EXPECT_MARKUP(parseLine(md, u"a **b").markup,
                  esc(2) + u"a " + esc(4) + u"**" + esc(571) + u"b");
    EXPECT_MARKUP(parseLine(md, u"a *b").markup, esc(2) + u"a " + esc(4) + u"*" + esc(1083) + u"b");
    // "**" before a blank or the end is a single star and italic, then the second star
    EXPECT_MARKUP(parseLine(md, u"x**").markup, esc(2) + u"x" + esc(4) + u"*" + esc(1083) + u"*");
    EXPECT_MARKUP(parseLine(md, u"** y").markup, esc(2) + esc(4) + u"*" + esc(1083) + u"* y");
    // a star before a blank is text
    EXPECT_MARKUP(parseLine(md, u"2 * 3").markup, esc(2) + u"2 * 3");
    EXPECT_MARKUP(parseLine(md, u"").markup, esc(2));
}

} // namespace
