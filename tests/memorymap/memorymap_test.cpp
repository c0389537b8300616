#include "memorymaptesting.h"

#include "golden.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using Kind = MemoryMapElement::Kind;
using Attribute = MemoryMapElement::Attribute;

TEST(MemoryMapElements, KindFollowsTheTagNameExactly) {
    // The addresses golden files show the code of every kind.
    EXPECT_EQ(MemoryMapElement("memorysegment").kind(), Kind::Other);
    EXPECT_EQ(MemoryMapElement("Registers").kind(), Kind::Other);
    MemoryMapElement element("Register");
    element.setTagName("BitField");
    EXPECT_EQ(element.kind(), Kind::BitField);
}

TEST(MemoryMapElements, AttributeAccessors) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText(
        R"(<Root name="r"><ProgramSection name="my  section" keep="YES" load="yes " fill="0xFF"
             place_from_segment_end="yEs" runin=".fast;.ram" addressSpace="" access="readonly"/>
           <MemorySegment name="A" access="ReadOnly"/><MemorySegment name="B" access="WriteOnly"/>
           <MemorySegment name="C" access="None"/></Root>)"));
    const MemoryMapElement *section = test.named("my  section");
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->symbolName(), "my__section");
    EXPECT_EQ(section->fillAttribute(), "0xFF");
    EXPECT_EQ(section->runinAttribute(), ".fast;.ram");
    EXPECT_TRUE(section->isYes(Attribute::Keep));
    EXPECT_FALSE(section->isYes(Attribute::Load)); // a trailing blank is not "Yes"
    EXPECT_TRUE(section->isYes(Attribute::PlaceFromSegmentEnd));
    EXPECT_TRUE(section->hasAddressSpace());
    EXPECT_EQ(section->addressSpaceAttribute(), "");
    EXPECT_FALSE(section->hasAlignment());
    EXPECT_EQ(section->alignmentAttribute(), "");

    // Only the exact words count; "readonly" is read-write.
    EXPECT_EQ(section->access(), MemoryMapElement::Access::ReadWrite);
    EXPECT_TRUE(test.named("A")->isReadOnly());
    EXPECT_EQ(test.named("B")->access(), MemoryMapElement::Access::WriteOnly);
    EXPECT_EQ(test.named("C")->access(), MemoryMapElement::Access::None);
    EXPECT_EQ(MemoryMapElement::blanksToUnderscores(" a b "), "_a_b_");
}

TEST(MemoryMapLists, SegmentsAreListedLastFirstWithoutNestedOnes) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText(R"(<Root name="r">
        <MemorySegment name="FLASH"><MemorySegment name="Nested"/></MemorySegment>
        <Group><MemorySegment name="RAM"/></Group>
        <MemorySegment name="RAM"/>
      </Root>)"));
    EXPECT_EQ(namesOf(test.map.segments()), (std::vector<std::string>{"RAM", "RAM", "FLASH"}));
    // Finding by name looks everywhere, first in document order.
    EXPECT_EQ(test.map.findSegment("RAM"), test.map.segments()[1]);
    ASSERT_NE(test.map.findSegment("Nested"), nullptr);
    EXPECT_EQ(test.map.findSegment("ram"), nullptr);
    EXPECT_EQ(test.map.findSegment(""), nullptr);
}

TEST(MemoryMapLists, SectionsOfASegmentInDocumentOrder) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText(R"(<Root name="r">
        <MemorySegment name="FLASH">
          <ProgramSection name=".a"><ProgramSection name=".inner"/></ProgramSection>
          <Group><ProgramSection name=".b"/></Group>
          <ProgramSection name=".c"/>
        </MemorySegment>
        <ProgramSection name=".outside"/>
      </Root>)"));
    EXPECT_EQ(namesOf(MemoryMap::sections(*test.map.findSegment("FLASH"))),
              (std::vector<std::string>{".a", ".b", ".c"}));
}

TEST(MemoryMapLists, EmptyDocument) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.loadFromText("  "));
    EXPECT_EQ(test.map.root(), nullptr);
    EXPECT_TRUE(test.map.segments().empty());
    EXPECT_EQ(test.map.findSegment("RAM"), nullptr);
}

TEST(MemoryMapLoad, FailuresKeepTheReaderMessage) {
    TestMemoryMap test;
    const std::string missing = testDataPath("memorymap/no-such-file.xml");
    EXPECT_FALSE(test.map.load(missing, "", true));
    EXPECT_EQ(test.map.errorText(), "couldn't read " + missing);
    EXPECT_EQ(test.map.root(), nullptr);

    EXPECT_FALSE(test.map.loadFromText("<Root>\n<a></b></Root>"));
    EXPECT_EQ(test.map.errorText(), "tagName mismatch");
    EXPECT_EQ(test.map.errorLine(), 1);
    EXPECT_TRUE(test.warnings.empty());
}

TEST(MemoryMapLoad, RemembersHowItWasLoaded) {
    TestMemoryMap test;
    const std::string path = testDataPath("memorymap/device.xml");
    ASSERT_TRUE(test.map.load(path, "A=1;B=2", false));
    EXPECT_EQ(test.map.path(), path);
    EXPECT_EQ(test.map.macroString(), "A=1;B=2");
    EXPECT_FALSE(test.map.preprocessing());
    EXPECT_EQ(test.map.importDirectory(), testDataPath("memorymap"));
    EXPECT_EQ(test.map.documentType(), "Board_Memory_Definition_File");

    ASSERT_TRUE(test.map.loadFromText("<Root name=\"x\"/>"));
    EXPECT_EQ(test.map.path(), "");
    EXPECT_EQ(test.map.importDirectory(), "");
    EXPECT_EQ(test.map.macroString(), "");
}

class MemoryMapFiles : public ScratchDirTest {};

TEST_F(MemoryMapFiles, ReadOnlyFlagFollowsTheFile) {
    std::string path = write("map.xml", "<Root name=\"x\"/>");
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(path));
    EXPECT_FALSE(test.map.isReadOnly());
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write to any file";
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_TRUE(test.map.load(path));
    EXPECT_TRUE(test.map.isReadOnly());
}

TEST(MemoryMapImports, ImportedRootsReplaceImportElementsRecursively) {
    // device.xml imports imports/peripherals.xml, which imports more/timer.xml relative to
    // itself, and a missing file whose Import element stays. Addresses are evaluated after.
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(testDataPath("memorymap/device.xml"), "", false));
    EXPECT_TRUE(test.warnings.empty());
    expectMatchesGolden(addressDump(test.map), "memorymap/device.expected");
    EXPECT_EQ(namesOf(test.map.segments()),
              (std::vector<std::string>{"Peripherals", "RAM", "FLASH"}));

    const MemoryMapElement *imported = test.named("Peripheral Set");
    struct stat status;
    ASSERT_EQ(stat(testDataPath("memorymap/imports/peripherals.xml").c_str(), &status), 0);
    EXPECT_EQ(imported->importTime(), status.st_mtime);
    EXPECT_EQ(test.map.root()->importTime(), 0);
}

TEST(MemoryMapImports, CyclesAreReportedAndCut) {
    TestMemoryMap self;
    ASSERT_TRUE(self.map.load(testDataPath("memorymap/self-import.xml")));
    ASSERT_EQ(self.warnings.size(), 1u);
    EXPECT_EQ(self.warnings[0], "cannot import " + testDataPath("memorymap/self-import.xml") +
                                    ": files import each other");
    EXPECT_EQ(self.map.root()->lastChild()->toElement()->tagName(), "Import");

    TestMemoryMap cycle;
    ASSERT_TRUE(cycle.map.load(testDataPath("memorymap/cycle-a.xml")));
    ASSERT_EQ(cycle.warnings.size(), 1u);
    EXPECT_EQ(cycle.warnings[0], "cannot import " + testDataPath("memorymap/cycle-a.xml") +
                                     ": files import each other");
    EXPECT_EQ(namesOf(cycle.map.segments()), (std::vector<std::string>{"B", "A"}));
}

TEST_F(MemoryMapFiles, DevicesAndPipesAreNeitherLoadedNorImported) {
    ASSERT_EQ(mkfifo(path("pipe.xml").c_str(), 0600), 0);
    std::string main = write("main.xml", "<Root name=\"main\"><Import filename=\"/dev/zero\"/>"
                                         "<Import filename=\"pipe.xml\"/></Root>");
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(main));
    EXPECT_EQ(written(test.map), "<Root name=\"main\">\n  <Import filename=\"/dev/zero\" />\n"
                                 "  <Import filename=\"pipe.xml\" />\n</Root>\n");
    EXPECT_FALSE(test.map.load(path("pipe.xml")));
    EXPECT_EQ(test.map.errorText(), "couldn't read " + path("pipe.xml") + ": not a regular file");
}

TEST_F(MemoryMapFiles, ImportFanOutAndDepthAreBounded) {
    // A chain of files each importing the next one twice would need 2^40 loads.
    const int files = 40;
    for (int i = 0; i < files; ++i) {
        std::string next = "f" + std::to_string(i + 1) + ".xml";
        write("f" + std::to_string(i) + ".xml",
              "<Root name=\"" + std::to_string(i) + "\"><MemorySegment name=\"S" +
                  std::to_string(i) + "\"/><Import filename=\"" + next + "\"/><Import filename=\"" +
                  next + "\"/></Root>");
    }
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(path("f0.xml")));
    ASSERT_FALSE(test.warnings.empty());
    bool depth = false, count = false;
    for (const std::string &warning : test.warnings) {
        depth |= warning.ends_with(": imports nested deeper than 32");
        count |= warning.ends_with(": more than 4096 imports");
    }
    EXPECT_TRUE(count);
    EXPECT_TRUE(depth); // depth first: the first imports reach the bottom early
    EXPECT_LE(test.map.segments().size(), 4097u);

    write("g.xml", "<Root name=\"g\"><Import filename=\"f0.xml\"/></Root>");
    for (int i = 0; i < files; ++i)
        write("f" + std::to_string(i) + ".xml", "<Root name=\"" + std::to_string(i) +
                                                    "\"><Import filename=\"f" +
                                                    std::to_string(i + 1) + ".xml\"/></Root>");
    TestMemoryMap chain;
    ASSERT_TRUE(chain.map.load(path("g.xml")));
    ASSERT_EQ(chain.warnings.size(), 1u);
    EXPECT_EQ(chain.warnings[0],
              "cannot import " + path("f32.xml") + ": imports nested deeper than 32");
}

TEST_F(MemoryMapFiles, ImportsStopOnceTheFilesHoldTooManyElements) {
    std::string big = "<Root name=\"big\">";
    big.reserve(8 * 2000001 + 32);
    for (int i = 0; i < 2000001; ++i)
        big += "<a/>";
    big += "</Root>";
    write("big.xml", big);
    write("main.xml", "<Root name=\"main\"><Import filename=\"big.xml\"/>"
                      "<Import filename=\"small.xml\"/></Root>");
    write("small.xml", "<Root name=\"small\"/>");
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(path("main.xml")));
    EXPECT_EQ(test.warnings,
              std::vector<std::string>{"cannot import " + path("small.xml") +
                                       ": the files read hold more than 2000000 elements"});
    EXPECT_NE(test.named("big"), nullptr);
    EXPECT_EQ(test.named("small"), nullptr);
}
