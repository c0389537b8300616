#include "memorymaptesting.h"

#include "golden.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

namespace {

std::string familyFile(const std::string &name) {
    return testDataPath("memorymap/family/" + name);
}

} // namespace

TEST(MemoryMapPreprocessing, FamilyMapForOneDevice) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(familyFile("device.xml"), "DEVICE=F407;FLASH_KB=1024", true))
        << test.map.errorText();
    EXPECT_TRUE(test.warnings.empty()) << test.warnings.front();
    EXPECT_TRUE(test.map.preprocessing());

    EXPECT_EQ(namesOf(test.map.segments()),
              (std::vector<std::string>{"Peripherals", "FLASH2", "CCM RAM", "SRAM", "FLASH"}));
    EXPECT_TRUE(test.map.findSegment("FLASH")->isReadOnly());
    // GPIO blocks are included per port, each with its own definitions; the import is
    // preprocessed with the same macros.
    expectMatchesGolden(addressDump(test.map), "memorymap/family/expected-f407.txt");
}

TEST(MemoryMapPreprocessing, AddressesMatchAFreshEvaluation) {
    // A preprocessed load evaluates while preprocessing; a separate pass must agree.
    const std::pair<std::string, const char *> loads[] = {
        {familyFile("device.xml"), "DEVICE=F407;FLASH_KB=1024"},
        {testDataPath("xmlpp/board/board.xml"), "FAMILY=F4;FLASH_KB=1024;Board=B"},
        {testDataPath("memorymap/device.xml"), ""},
    };
    for (const auto &[file, macros] : loads) {
        TestMemoryMap test;
        ASSERT_TRUE(test.map.load(file, macros, true)) << file;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> during;
        const XMLNode *top = test.map.rootElement();
        for (XMLNode *node = test.map.rootElement(); node; node = node->nextInTree(top)) {
            auto *element = static_cast<MemoryMapElement *>(node);
            during.emplace_back(element->start(), element->size());
            element->setStart(0xDEAD);
            element->setSize(0xBEEF);
        }
        test.map.evaluateAddresses();
        std::size_t i = 0, nonZero = 0;
        for (XMLNode *node = test.map.rootElement(); node; node = node->nextInTree(top), ++i) {
            auto *element = static_cast<MemoryMapElement *>(node);
            const int kind = int(element->kind());
            const bool evaluates = kind <= 6 && kind != 3; // not Root, Processor, Vector, other
            if (!evaluates)
                continue;
            EXPECT_EQ(during[i].first, element->start()) << file << " " << element->nameAttribute();
            EXPECT_EQ(during[i].second, element->size()) << file << " " << element->nameAttribute();
            nonZero += element->start() != 0;
        }
        EXPECT_GT(nonZero, 3u) << file;
    }
}

TEST(MemoryMapPreprocessing, OtherDeviceAndDefaults) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(familyFile("device.xml"), "DEVICE=F401;FLASH_KB=256;NO_PERIPHERALS"));
    EXPECT_EQ(namesOf(test.map.segments()), (std::vector<std::string>{"Backup", "SRAM", "FLASH"}));
    EXPECT_EQ(test.map.findSegment("SRAM")->size(), 64u * 1024);
    EXPECT_EQ(test.map.findSegment("FLASH")->size(), 0x40000u);

    TestMemoryMap placement;
    ASSERT_TRUE(placement.map.load(familyFile("placement.xml"), "STACK_SIZE=0x800"));
    std::vector<MemoryMapElement *> segments = placement.map.segments();
    EXPECT_EQ(namesOf(segments), (std::vector<std::string>{"SRAM", "FLASH;FLASH1"}));
    EXPECT_EQ(namesOf(MemoryMap::sections(*segments[1])),
              (std::vector<std::string>{".vectors", ".text"}));
    const MemoryMapElement *stack = placement.named(".stack");
    EXPECT_EQ(stack->sizeAttribute(), "0x800");
    EXPECT_EQ(stack->size(), 0x800u);
    EXPECT_TRUE(stack->isYes(MemoryMapElement::Attribute::PlaceFromSegmentEnd));

    ASSERT_TRUE(
        placement.map.load(familyFile("placement.xml"), "STACK_IN_CCM=Yes;RAM_SEGMENT=CCM"));
    segments = placement.map.segments();
    EXPECT_EQ(namesOf(segments), (std::vector<std::string>{"CCM", "FLASH;FLASH1"}));
    EXPECT_EQ(namesOf(MemoryMap::sections(*segments[1])),
              (std::vector<std::string>{".vectors", ".text", ".fast"}));
    EXPECT_EQ(placement.named(".stack")->sizeAttribute(), "0x400");
}

TEST(MemoryMapPreprocessing, WithoutTheFlagTheTreeIsAsWritten) {
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(familyFile("device.xml"), "DEVICE=F407;FLASH_KB=1024", false));
    EXPECT_EQ(test.map.root()->nameAttribute(), "$(DEVICE)");
    EXPECT_EQ(test.map.root()->firstChildElement()->tagName(), "define");
    EXPECT_EQ(namesOf(test.map.segments()),
              (std::vector<std::string>{"Peripherals", "FLASH2", "Backup", "CCM RAM", "SRAM",
                                        "SRAM", "$(NAME)"}));
    EXPECT_TRUE(test.warnings.empty());
}

class MemoryMapPreprocessingFiles : public ScratchDirTest {};

TEST_F(MemoryMapPreprocessingFiles, WarningsOfImportedFilesReachTheHandler) {
    write("sub/part.xml",
          R"~(<Root name="part"><define name="X"/><ifex expression="$(N)"><a/></ifex></Root>)~");
    write("main.xml", R"(<Root name="main"><Import filename="sub/part.xml"/></Root>)");
    TestMemoryMap test;
    ASSERT_TRUE(test.map.load(path("main.xml"), "N=1"));
    EXPECT_EQ(test.warnings,
              std::vector<std::string>{
                  "XmlPP::processConditionals(): missing value or expression in <define>"});
    ASSERT_NE(test.named("part"), nullptr);
    EXPECT_EQ(test.named("part")->firstChildElement()->tagName(), "a");

    // Without preprocessing the import is read as written too.
    test.warnings.clear();
    ASSERT_TRUE(test.map.load(path("main.xml"), "N=1", false));
    EXPECT_TRUE(test.warnings.empty());
    EXPECT_EQ(test.named("part")->firstChildElement()->tagName(), "define");
}
