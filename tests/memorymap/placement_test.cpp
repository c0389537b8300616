// Section placement and the script writers below the command line: the place-from-end pass,
// run sections, layout order and its limits, and writer details the golden scripts do not
// pin down.

#include "memorymap/gnulinkerscriptwriter.h"
#include "memorymap/memorymap.h"
#include "memorymap/sectionplacement.h"
#include "memorymap/vantrellinkerscriptwriter.h"
#include "project/macroexpander.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Documents {
    Documents(const std::string &map, const std::string &sections) {
        EXPECT_TRUE(memoryMap.loadFromText(map));
        EXPECT_TRUE(placement.loadFromText(sections));
        settings.log = &log;
        settings.warnings = &warnings;
    }
    SectionPlacement placed() { return SectionPlacement(memoryMap, &placement, settings); }
    std::string gnu(GnuScriptOptions options = {}) {
        return GnuLinkerScriptWriter(input(), options).text();
    }
    LinkerScriptInput input() { return {memoryMap, &placement, symbols, settings}; }

    MacroExpander macros;
    MemoryMap memoryMap{macros};
    MemoryMap placement{macros};
    SymbolDefinitions symbols;
    LinkerScriptSettings settings;
    std::ostringstream log;
    std::ostringstream warnings;
};

const std::string kMap = R"(<Root name="m">
  <MemorySegment name="RAM" start="0x20000000" size="0x1000" />
  <MemorySegment name="FLASH" start="0" size="0x1000" access="ReadOnly" />
</Root>)";

std::string inRam(const std::string &sections) {
    return "<Root name=\"p\"><MemorySegment name=\"RAM\">" + sections + "</MemorySegment></Root>";
}

std::vector<std::string> layoutOrder(SectionPlacement &placement) {
    std::vector<std::string> names;
    placement.layOut([&](PlacedSection &section) { names.push_back(section.name); });
    return names;
}

TEST(PlacementSegments, MapSectionsBelongToTheirOutermostSegment) {
    // Sections below nested segments and register groups count for the outermost segment;
    // those inside a section or outside every segment do not; a segment inside a loose
    // section is an outermost one. The same as the memory map's own queries find.
    Documents d(R"(<Root name="m">
          <ProgramSection name=".loose" />
          <ProgramSection name=".host">
            <MemorySegment name="INSIDE" start="0x3000" size="0x10"><ProgramSection name=".i" /></MemorySegment>
          </ProgramSection>
          <MemorySegment name="A" start="0" size="0x100">
            <RegisterGroup name="G"><ProgramSection name=".g"><ProgramSection name=".deep" /></ProgramSection></RegisterGroup>
            <MemorySegment name="B" start="0x10" size="0x10"><ProgramSection name=".b" /></MemorySegment>
            <ProgramSection name=".a" />
          </MemorySegment>
          <MemorySegment name="C" start="0x1000" size="0x100"><ProgramSection name=".c" /></MemorySegment>
        </Root>)",
                "<Root/>");
    std::vector<std::string> expected;
    for (const MemoryMapElement *segment : d.memoryMap.segments())
        for (const MemoryMapElement *section : MemoryMap::sections(*segment))
            expected.push_back(std::string(segment->nameAttribute()) + ":" +
                               std::string(section->nameAttribute()));
    EXPECT_EQ(expected, (std::vector<std::string>{"C:.c", "A:.g", "A:.b", "A:.a", "INSIDE:.i"}));
    SectionPlacement placement(d.memoryMap, nullptr, d.settings);
    std::vector<std::string> placed;
    for (const auto &section : placement.sections())
        placed.push_back(std::string(section->segment->nameAttribute()) + ":" + section->name);
    EXPECT_EQ(placed, expected);
    ASSERT_EQ(placement.segments().size(), 3u);
    EXPECT_EQ(placement.segments()[2]->nameAttribute(), "INSIDE");
}

TEST(PlaceFromEnd, SumsFixedSizesAfterTheFurthestRequest) {
    Documents d(kMap, inRam(R"(<ProgramSection name=".bss" />
        <ProgramSection name=".heap" size="HEAP" place_from_segment_end="yes" />
        <ProgramSection name=".mid" size="0x10" />
        <ProgramSection name=".stack" size="STACK" place_from_segment_end="Yes" />)"));
    d.symbols = {{"HEAP", "0x100"}, {"STACK", "040"}};
    SectionPlacement placement = d.placed();
    placement.placeFromSegmentEnd(d.symbols);
    const auto &sections = placement.sections();
    // The request further back wins and covers everything after it: 0x100 + 0x10 + 32.
    EXPECT_TRUE(sections[1]->placedFromEnd);
    EXPECT_EQ(sections[1]->offsetFromEnd, 0x130u);
    EXPECT_FALSE(sections[3]->placedFromEnd);
    EXPECT_EQ(d.warnings.str(), "");
}

TEST(PlaceFromEnd, SizesThatAreNotNumbersStopThePass) {
    for (const char *size : {"", "0x", "12k", "-4", "0x100000000", "UNDEFINED", "4+4"}) {
        Documents d(kMap, inRam(R"(<ProgramSection name=".stack" size="16"
                                     place_from_segment_end="Yes" />
                                   <ProgramSection name=".tail" size=")" +
                                std::string(size) + "\" />"));
        SectionPlacement placement = d.placed();
        placement.placeFromSegmentEnd(d.symbols);
        EXPECT_FALSE(placement.sections()[0]->placedFromEnd) << size;
        EXPECT_EQ(d.warnings.str(), "warning: cannot place section .stack at end of segment "
                                    "because section .tail does not have a fixed size\n")
            << size;
    }
    // Blanks around a number are allowed, and the sum wraps at 32 bits like the addresses.
    Documents d(kMap, inRam(R"(<ProgramSection name=".a" size=" 0xffffffff "
                                 place_from_segment_end="Yes" /><ProgramSection name=".b" size="2" />)"));
    SectionPlacement placement = d.placed();
    placement.placeFromSegmentEnd(d.symbols);
    EXPECT_EQ(placement.sections()[0]->offsetFromEnd, 1u);
}

TEST(RunSections, FirstExistingCandidateInListOrder) {
    Documents d(kMap, R"(<Root name="p">
        <MemorySegment name="FLASH"><ProgramSection name=".run" /></MemorySegment>
        <MemorySegment name="RAM">
          <ProgramSection name=".code" runin=";.none;.run;.other" />
          <ProgramSection name=".other" /><ProgramSection name=".run" />
        </MemorySegment></Root>)");
    SectionPlacement placement = d.placed();
    const auto &sections = placement.sections();
    ASSERT_EQ(sections.size(), 4u);
    // RAM comes first (segments are taken last to first), so its .run is the first one.
    EXPECT_EQ(placement.findRunSection(*sections[0]), sections[2].get());
    EXPECT_EQ(placement.findRunSection(*sections[1]), nullptr);
    // Only a whole runin text makes a run section.
    EXPECT_TRUE(placement.sectionsRunningIn(*sections[2]).empty());
}

TEST(PlacementSegments, NamesFindTheFirstSegmentInDocumentOrder) {
    // A segment nested in another is found by name, and of two of one name the first counts.
    Documents d(R"(<Root name="m">
          <MemorySegment name="OUTER" start="0" size="0x100">
            <MemorySegment name="INNER" start="0x10" size="0x10" />
          </MemorySegment>
          <MemorySegment name="RAM" start="0x1000" size="0x100" />
          <MemorySegment name="RAM" start="0x2000" size="0x100" />
        </Root>)",
                R"(<Root name="p">
          <MemorySegment name="INNER"><ProgramSection name=".in" /></MemorySegment>
          <MemorySegment name="RAM"><ProgramSection name=".r" /></MemorySegment>
        </Root>)");
    SectionPlacement placement = d.placed();
    ASSERT_EQ(placement.sections().size(), 2u);
    EXPECT_EQ(placement.sections()[0]->segment->start(), 0x1000u);
    EXPECT_EQ(placement.sections()[1]->segment->start(), 0x10u);

    // Many placement segments, each naming a map segment by its second candidate.
    std::string map = "<Root name=\"m\">", sections = "<Root name=\"p\">";
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        map += "<MemorySegment name=\"S" + n + "\" start=\"" + n + "\" size=\"1\" />";
        sections += "<MemorySegment name=\"X;S" + n + "\"><ProgramSection name=\".s" + n +
                    "\" /></MemorySegment>";
    }
    Documents many(map + "</Root>", sections + "</Root>");
    SectionPlacement manyPlaced = many.placed();
    ASSERT_EQ(manyPlaced.sections().size(), 3000u);
    EXPECT_EQ(manyPlaced.sections().front()->segment->nameAttribute(), "S2999");
    EXPECT_EQ(manyPlaced.sections().back()->segment->start(), 0u);
}

TEST(Layout, RunSectionsWaitForWhatRunsInThem) {
    Documents d(kMap, R"(<Root name="p">
        <MemorySegment name="FLASH">
          <ProgramSection name=".text" /><ProgramSection name=".data" runin=".data_run" />
        </MemorySegment>
        <MemorySegment name="RAM">
          <ProgramSection name=".data_run" /><ProgramSection name=".bss" />
        </MemorySegment></Root>)");
    SectionPlacement placement = d.placed();
    EXPECT_EQ(layoutOrder(placement),
              (std::vector<std::string>{".text", ".data", ".data_run", ".bss"}));
    EXPECT_EQ(placement.sections()[3]->runSection, placement.sections()[0].get());
}

TEST(Layout, DiscardedSectionsAreSkippedByTheirSuccessors) {
    Documents d(kMap, inRam(R"(<ProgramSection name=".a" />
        <ProgramSection name=".lost" runin=".nowhere" /><ProgramSection name=".b" />)"));
    d.settings.missingRunInIsError = false;
    SectionPlacement placement = d.placed();
    EXPECT_EQ(layoutOrder(placement), (std::vector<std::string>{".a", ".b"}));
    EXPECT_EQ(placement.sections()[2]->previousKept(), placement.sections()[0].get());
    EXPECT_EQ(d.log.str(), "");
}

TEST(Layout, LongChainsDoNotReachTheCallStack) {
    // The run section comes first in the list and waits for the last section of a chain of
    // 200,000, which waits for every section before it.
    std::string flash;
    for (int i = 0; i < 200000; ++i)
        flash += "<ProgramSection name=\"s" + std::to_string(i) + "\" />";
    flash += "<ProgramSection name=\"last\" runin=\"run\" />";
    Documents d(kMap, "<Root name=\"p\"><MemorySegment name=\"FLASH\">" + flash +
                          "</MemorySegment><MemorySegment name=\"RAM\">"
                          "<ProgramSection name=\"run\" /></MemorySegment></Root>");
    SectionPlacement placement = d.placed();
    std::vector<std::string> order = layoutOrder(placement);
    ASSERT_EQ(order.size(), 200002u);
    EXPECT_EQ(order.front(), "s0");
    EXPECT_EQ(order[200000], "last");
    EXPECT_EQ(order.back(), "run");
}

TEST(GnuWriter, RunInWinsOverRunOffsetAndAlignmentsMustBeNumbers) {
    Documents d(kMap, R"(<Root name="p">
        <MemorySegment name="RAM">
          <ProgramSection name=".a" alignment="eight" />
          <ProgramSection name=".b" runin=".r" runoffset="0x10" />
        </MemorySegment>
        <MemorySegment name="FLASH"><ProgramSection name=".r" alignment="0" /></MemorySegment>
        </Root>)");
    std::string script = d.gnu();
    EXPECT_NE(script.find("  .a __RAM_segment_start__ (NOLOAD) : AT(__RAM_segment_start__)\n"),
              std::string::npos);
    EXPECT_NE(script.find("  .b ALIGN(__FLASH_segment_start__ , 0) (NOLOAD) : AT(__a_end__)\n"),
              std::string::npos);
    EXPECT_NE(script.find("  __b_load_end__ = __b_load_start__ + SIZEOF(.b);\n"),
              std::string::npos);
}

TEST(GnuWriter, ManySectionsRunningInOneShareOneEnd) {
    // The run section's end is the largest end of everything that runs in it.
    std::string flash;
    for (int i = 0; i < 3000; ++i)
        flash += "<ProgramSection name=\".s" + std::to_string(i) + "\" runin=\".r\" />";
    Documents d(kMap, "<Root name=\"p\"><MemorySegment name=\"FLASH\">" + flash +
                          "</MemorySegment><MemorySegment name=\"RAM\">"
                          "<ProgramSection name=\".r\" /></MemorySegment></Root>");
    std::string script = d.gnu();
    std::size_t at = script.find("  __r_end__ = ");
    ASSERT_NE(at, std::string::npos);
    std::string expression = script.substr(at + 14, script.find(";\n", at) - at - 14);
    std::size_t opened = 0;
    for (std::size_t i = 0; expression.compare(i, 4, "MAX(") == 0; i += 4)
        ++opened;
    EXPECT_EQ(opened, 2999u);
    EXPECT_NE(expression.find("MAX(__r_start__ + SIZEOF(.s0), __r_start__ + SIZEOF(.s1)), "
                              "__r_start__ + SIZEOF(.s2))"),
              std::string::npos);
    EXPECT_TRUE(expression.ends_with(", __r_start__ + SIZEOF(.s2999))"));
}

TEST(GnuWriter, ThrowsPlacementErrorsWithTheirMessages) {
    Documents d(kMap, inRam(R"(<ProgramSection name=".x" runin=".y;.z" />)"));
    try {
        d.gnu();
        FAIL() << "no error";
    } catch (const PlacementError &error) {
        EXPECT_STREQ(error.what(), "cannot find run section .y;.z referenced in x");
    }
}

TEST(VantrelWriter, SectionsOfSegmentsNotDescribedAreLeftOut) {
    Documents d(kMap, R"(<Root name="p">
        <MemorySegment name="RAM" start="0x20000000" size="0x100">
          <ProgramSection name=".bss" />
        </MemorySegment></Root>)");
    // The placement's own segment is described; its sections belong to the memory map's RAM.
    std::string text = VantrelLinkerScriptWriter(d.input()).text();
    EXPECT_NE(text.find("define region RAM = mem:[ from 0x20000000 size 0x00000100 ];"),
              std::string::npos);
    EXPECT_EQ(text.find(".bss"), std::string::npos);
    EXPECT_NE(text.find("place in RAM with fixed order {\n};\n"), std::string::npos);
}

TEST(VantrelWriter, ManySegmentsEachGetTheirOwnSection) {
    // Many segments of one section each: every segment gets its own section, none other.
    std::string map = "<Root name=\"m\">";
    for (int i = 0; i < 3000; ++i)
        map += "<MemorySegment name=\"S" + std::to_string(i) + "\" start=\"" +
               std::to_string(i * 16) + "\" size=\"16\"><ProgramSection name=\".s" +
               std::to_string(i) + "\" size=\"4\" /></MemorySegment>";
    Documents d(map + "</Root>", "<Root name=\"p\" />");
    std::string text = VantrelLinkerScriptWriter(d.input()).text();
    // Segments are listed last to first, each with its own section.
    EXPECT_NE(text.find("define region S2999 = mem:[ from 0x0000bb70 size 0x00000010 ];\n\n"
                        "define block .s2999 with readwrite access, size=4 { };\n\n"
                        "place in S2999 with fixed order {\n  block .s2999\n};\n\n"
                        "define region S2998 "),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("place in S0 with fixed order {\n  block .s0\n};\n\n"));
}

} // namespace
