#include "loadfiletesting.h"

#include "loadfile/loadfilelist.h"

using Chunks = std::vector<Chunk>;

TEST_F(LoadFileTest, MakeContiguousFillsTheGaps) {
    auto file = read("hex", "a.lst", "00000108 05 06\n00000100 01 02 03 04\n");
    file->makeContiguous(0xff);
    ASSERT_EQ(file->sections().size(), 1u);
    EXPECT_EQ(file->sections()[0].name(), "Contiguous section");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x100, "\x01\x02\x03\x04\xff\xff\xff\xff\x05\x06"}}));
    // Merging again keeps the bytes of the merged image.
    file->makeContiguous(0);
    EXPECT_EQ(chunksOf(*file)[0].bytes, "\x01\x02\x03\x04\xff\xff\xff\xff\x05\x06");

    auto empty = read("ihex", "a.hex", ":00000001FF\n");
    empty->makeContiguous(0);
    EXPECT_TRUE(empty->sections().empty());
}

TEST_F(LoadFileTest, MakeContiguousRefusesImagesOf4GiB) {
    auto file = read("hex", "a.lst", "00000000 01\nFFFFFFFF 02\n");
    try {
        file->makeContiguous(0);
        ADD_FAILURE() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "contiguous image too large (4294967296 bytes)");
    }
    EXPECT_EQ(file->sections().size(), 2u);
    // Short of 4 GiB the fill alone would still take gigabytes of memory.
    file = read("hex", "a.lst", "00000000 01\nFFFF0000 02\n");
    EXPECT_THROW(file->makeContiguous(0), HException);
    EXPECT_EQ(file->sections().size(), 2u);
}

TEST_F(LoadFileTest, FindSectionNeedsTheWholeRangeInside) {
    auto file = read("hex", "a.lst", "00000100 01 02 03 04\n00000100 09\nFFFFFFFE 01 02\n");
    LoadFileSectionInterface *first = &file->sections()[0];
    EXPECT_EQ(file->findSection(0x100, 1), first); // first in list order wins
    EXPECT_EQ(file->findSection(0x102, 2), first);
    EXPECT_EQ(file->findSection(0x102, 3), nullptr);
    EXPECT_EQ(file->findSection(0xff, 2), nullptr);
    EXPECT_EQ(file->findSection(0x100, 0), nullptr);
    EXPECT_EQ(file->findSection(0xfffffffe, 2), &file->sections()[2]);
    EXPECT_EQ(file->findSection(0xffffffff, 2), nullptr); // wraps past 4 GiB
}

TEST_F(LoadFileTest, SortingAndWorkingCopies) {
    auto file = read("hex", "a.lst", "00000200 02\n00000100 01\n00000200 03\n");
    file->sortSections();
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x100, "\x01"}, {0x200, "\x02"}, {0x200, "\x03"}}));

    LoadFileSectionInterface &section = file->sections()[0];
    const std::uint8_t *original = section.data(false);
    EXPECT_EQ(section.data(true), original);
    std::uint8_t *copy = section.workingCopy();
    copy[0] = 0x55;
    EXPECT_EQ(section.workingCopy(), copy);
    EXPECT_EQ(*section.data(true), 0x55);
    EXPECT_EQ(*section.data(false), 0x01);
    section.discardWorkingCopy();
    EXPECT_EQ(section.data(true), original);
}

TEST(LoadFileFactory, KindForFileNameChecksEndingsCaseSensitively) {
    const std::pair<const char *, const char *> rows[] = {
        {"a.bin", "bin"},   {"A.BIN", "bin"},   {"x.rom", "bin"},   {"X.ROM", "bin"},
        {".bin", "bin"},    {"a.hex", "ihex"},  {"a.HEX", "ihex"},  {"a.Hex", nullptr},
        {"a.lst", "hex"},   {"a.LST", "hex"},   {"a.txt", "tihex"}, {"a.TXT", "tihex"},
        {".srec", "srec"},  {"a.SREC", "srec"}, {"a.s19", "srec"},  {"a.S19", "srec"},
        {"a.s28", nullptr}, {"bin", nullptr},   {"", nullptr},      {"a.elf", nullptr},
    };
    LoadFileFactory factory;
    for (const auto &[name, kind] : rows) {
        const char *found = factory.kindForFileName(name);
        EXPECT_STREQ(found, kind) << name;
    }
    EXPECT_EQ(factory.create("a.hex", "elf"), nullptr);
    EXPECT_EQ(factory.create("a.hex", nullptr), nullptr);
    factory.destroy(nullptr);
}

TEST_F(LoadFileTest, LoadFileListsSortAndFindOverlaps) {
    auto high = read("hex", "high.lst", "00000300 01 02\n00000200 01 02\n");
    auto low = read("hex", "low.lst", "00000100 01 02 03 04\n");
    auto touching = read("hex", "touch.lst", "00000104 05\n");
    auto empty = read("ihex", "empty.hex", ":00000001FF\n");
    LoadFileList list{{high.get()}, {low.get()}, {empty.get()}};
    sortLoadFileList(list);
    EXPECT_EQ(list[0].loadFile, empty.get());
    EXPECT_EQ(list[1].loadFile, low.get());
    EXPECT_EQ(high->sections()[0].address(), 0x200u);
    EXPECT_EQ(findLoadFileOverlap(list), 0u);

    list.push_back({touching.get()});
    EXPECT_EQ(findLoadFileOverlap(list), 0u);
    auto overlapping = read("hex", "over.lst", "00000400 01\n00000301 01\n");
    list.push_back({overlapping.get()});
    EXPECT_EQ(findLoadFileOverlap(list), 4u);
}
