// Colour-scheme files: reading, writing back, inheritance with its broken chains, and the
// errors and warnings of bad files.

#include "editor/colorscheme.h"

#include "core/hexception.h"

#include "scratchdirtest.h"

#include <gtest/gtest.h>

namespace {

const char kFile[] = R"(<!DOCTYPE Tovan_Color_Scheme_File>
<schemes>
 <scheme name="Base">
  <scheme-color name="editor-text" color="#000000"/>
  <scheme-color name="comment" color="#00FF00" background-color="#101010" italic="1"/>
  <scheme-color name="keyword" color="#0000ff" bold="1" underline="1"/>
 </scheme>
 <scheme name="Child" inherits="Base" hidden="1">
  <scheme-color name="keyword" color="#ff0000"/>
 </scheme>
</schemes>
)";

TEST(ColorScheme, ReadsEntriesFlagsAndAttributes) {
    ColorSchemeSet set;
    set.readText(kFile, "t.xml");
    ASSERT_EQ(set.schemes().size(), 2u);
    const ColorScheme *base = set.find("Base");
    ASSERT_TRUE(base);
    EXPECT_FALSE(base->hidden);
    const SchemeColor &comment = *base->entries[StyleComment];
    EXPECT_EQ(comment.color, 0x00FF00u);
    EXPECT_EQ(comment.background, 0x101010u);
    EXPECT_TRUE(comment.italic);
    EXPECT_FALSE(comment.bold);
    EXPECT_TRUE(base->entries[StyleKeyword]->underline);
    EXPECT_FALSE(base->entries[StyleString].has_value());
    const ColorScheme *child = set.find("Child");
    EXPECT_TRUE(child->hidden);
    EXPECT_EQ(child->inherits, "Base");
}

TEST(ColorScheme, WritesWhatItReads) {
    ColorSchemeSet set;
    set.readText(kFile, "t.xml");
    QByteArray xml = set.toXml();
    // flags only when set, colours in lower case, the document type after the declaration
    EXPECT_TRUE(xml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<!DOCTYPE Tovan_Color_Scheme_File>\n<schemes>\n"));
    EXPECT_TRUE(xml.contains("<scheme name=\"Child\" inherits=\"Base\" hidden=\"1\">"));
    EXPECT_TRUE(xml.contains("<scheme-color name=\"comment\" color=\"#00ff00\" "
                             "background-color=\"#101010\" italic=\"1\"/>"));
    EXPECT_FALSE(xml.contains("bold=\"0\""));
    ColorSchemeSet again;
    again.readText(xml, "again");
    EXPECT_EQ(again.schemes(), set.schemes());
}

TEST(ColorScheme, BuiltinSchemesAreComplete) {
    ColorSchemeSet set = ColorSchemeSet::builtin();
    ColorScheme dark = set.resolved("Dark");
    for (int i = 0; i < kStyleCount; ++i)
        EXPECT_TRUE(dark.entries[std::size_t(i)] && dark.entries[std::size_t(i)]->color)
            << styleTable()[i].xmlName;
}

TEST(ColorScheme, InheritanceFillsMissingEntriesNearestFirst) {
    ColorSchemeSet set;
    set.readText(kFile, "t.xml");
    set.readText(R"(<schemes><scheme name="Grandchild" inherits="Child">
        <scheme-color name="string" color="#123456"/></scheme></schemes>)",
                 "u.xml");
    QStringList warnings;
    ColorScheme resolved = set.resolved("Grandchild", &warnings);
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_EQ(resolved.entries[StyleString]->color, 0x123456u);
    EXPECT_EQ(resolved.entries[StyleKeyword]->color, 0xFF0000u); // Child's, not Base's
    EXPECT_FALSE(resolved.entries[StyleKeyword]->bold);
    EXPECT_EQ(resolved.entries[StyleComment]->color, 0x00FF00u);
    EXPECT_EQ(resolved.name, "Grandchild");
}

TEST(ColorScheme, CyclesAndMissingParentsEndTheChainWithAWarning) {
    ColorSchemeSet set;
    set.readText(R"(<schemes>
        <scheme name="Self" inherits="Self"><scheme-color name="keyword" color="#000001"/></scheme>
        <scheme name="A" inherits="B"><scheme-color name="keyword" color="#00000a"/></scheme>
        <scheme name="B" inherits="C"><scheme-color name="comment" color="#00000b"/></scheme>
        <scheme name="C" inherits="A"><scheme-color name="string" color="#00000c"/></scheme>
        <scheme name="Orphan" inherits="Nobody"/>
        </schemes>)",
                 "c.xml");
    QStringList warnings;
    EXPECT_EQ(set.resolved("Self", &warnings).entries[StyleKeyword]->color, 1u);
    EXPECT_EQ(warnings, QStringList{"colour scheme Self inherits from itself through Self"});
    warnings.clear();
    ColorScheme a = set.resolved("A", &warnings);
    EXPECT_EQ(a.entries[StyleComment]->color, 0xBu);
    EXPECT_EQ(a.entries[StyleString]->color, 0xCu);
    EXPECT_EQ(warnings, QStringList{"colour scheme A inherits from itself through A -> B -> C"});
    warnings.clear();
    set.resolved("Orphan", &warnings);
    EXPECT_EQ(warnings, QStringList{"colour scheme Orphan inherits from unknown scheme Nobody"});
    EXPECT_THROW(set.resolved("Missing"), HException);
}

TEST(ColorScheme, BadFiles) {
    struct Case {
        const char *xml;
        const char *error;
    } cases[] = {
        {"<!DOCTYPE Palindor_Settings_File><schemes/>",
         "f.xml:1: not a colour scheme file (document type Palindor_Settings_File)"},
        {"<settings/>", "f.xml:1: not a colour scheme file (root element settings)"},
        {"", "f.xml:1: Premature end of document."},
        {"<schemes>\n<scheme/>\n</schemes>", "f.xml:2: scheme without a name"},
    };
    for (const Case &c : cases) {
        ColorSchemeSet set;
        try {
            set.readText(c.xml, "f.xml");
            ADD_FAILURE() << "no error for " << c.xml;
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), c.error);
        }
        EXPECT_TRUE(set.schemes().empty()); // nothing half-read
    }
}

TEST(ColorScheme, UnknownStylesAndBadColoursAreSkippedWithWarnings) {
    ColorSchemeSet set;
    QStringList warnings;
    set.readText(R"(<schemes><scheme name="S">
<scheme-color name="future-style" color="#000000"/>
<scheme-color name="keyword" color="red" bold="1"/>
<scheme-color name="comment" color="#12345"/>
</scheme></schemes>)",
                 "w.xml", &warnings);
    EXPECT_EQ(warnings, (QStringList{"w.xml:2: unknown style future-style",
                                     "w.xml:3: bad colour red for keyword",
                                     "w.xml:4: bad colour #12345 for comment"}));
    const ColorScheme *scheme = set.find("S");
    EXPECT_FALSE(scheme->entries[StyleKeyword]->color.has_value());
    EXPECT_TRUE(scheme->entries[StyleKeyword]->bold);
}

class ColorSchemeFiles : public ScratchDirTest {};

TEST_F(ColorSchemeFiles, WriteFileAndReadItBack) {
    ColorSchemeSet set = ColorSchemeSet::builtin();
    std::string file = path("schemes.xml");
    set.writeFile(QString::fromStdString(file));
    ColorSchemeSet again;
    again.readFile(QString::fromStdString(file));
    EXPECT_EQ(again.schemes(), set.schemes());
    EXPECT_THROW(set.writeFile(QString::fromStdString(path("no/such/dir/x.xml"))), HException);
    EXPECT_THROW(again.readFile(QString::fromStdString(path("none.xml"))), HException);
}

TEST(ColorName, ParseAndFormat) {
    EXPECT_EQ(colorName(0xA0B0C0), "#a0b0c0");
    EXPECT_EQ(colorName(0x000001), "#000001");
    EXPECT_EQ(parseColorName("#A0b0C0"), 0xA0B0C0u);
    for (const char *bad : {"", "#", "a0b0c0", "#a0b0c", "#a0b0c0d", "#g0b0c0", "#-1b0c0"})
        EXPECT_FALSE(parseColorName(bad).has_value()) << bad;
}

} // namespace
