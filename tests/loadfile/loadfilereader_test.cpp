#include "loadfiletesting.h"

#include "loadfile/binaryloadfile.h"

#include <sys/stat.h>

using Chunks = std::vector<Chunk>;

TEST_F(LoadFileTest, IntelHexBuildsSectionsInFileOrder) {
    // A data record without bytes adds no empty section.
    EXPECT_EQ(chunksOf(*read("ihex", "a.hex", ":00030000FD\n:00000001FF\n")), Chunks{});
    // Following records extend a section; a gap or a jump back starts a new one.
    auto file = read("ihex", "a.hex",
                     ":020100000102FA\n:0101020003F9\n:010200000AF3\n:0101000009F5\n"
                     ":00000001FF\n");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x100, "\x01\x02\x03"}, {0x200, "\x0a"}, {0x100, "\x09"}}));
    EXPECT_FALSE(file->hasEntryPoint());
    EXPECT_TRUE(file->hasLoadAddresses());
}

TEST_F(LoadFileTest, IntelHexAddressRecords) {
    // Segment 0x1000 and linear 0x0001 both apply: 0x10010 + 0x10000.
    auto file = read("ihex", "a.hex",
                     ":020000021000EC\n:020000040001F9\n:01001000AA45\n:0400000508000123CB\r\n"
                     ":00000001FF\r\nnot read\n");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x20010, "\xaa"}}));
    EXPECT_TRUE(file->hasEntryPoint());
    EXPECT_EQ(file->entryPoint(), 0x08000123u);
    EXPECT_EQ(read("ihex", "a.hex", ":0400000312345678E5\n:00000001ff\n")->entryPoint(),
              0x12345678u);
}

TEST_F(LoadFileTest, SRecordDataAndStartRecords) {
    auto file = read("srec", "a.srec", "S00600004844521B\nS1050100AABB94\nS2060200000102F4\n");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x100, "\xaa\xbb"}, {0x20000, "\x01\x02"}}));
    EXPECT_FALSE(file->hasEntryPoint());
    file = read("srec", "a.srec", "S30708000000CAFE28\nS5030001FB\nS9030000FC\n");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x08000000, "\xca\xfe"}}));
    EXPECT_TRUE(file->hasEntryPoint());
    EXPECT_EQ(file->entryPoint(), 0u);
    EXPECT_EQ(read("srec", "a.srec", "S70508000123CE\n")->entryPoint(), 0x08000123u);
    EXPECT_EQ(read("srec", "a.srec", "S80401234592\n")->entryPoint(), 0x012345u);
}

TEST_F(LoadFileTest, ListingAndTiTxt) {
    auto listing = read("hex", "a.lst", "00000100 01 02 03\n00000103 04\r\n00000200 05 \n");
    EXPECT_EQ(chunksOf(*listing), (Chunks{{0x100, "\x01\x02\x03\x04"}, {0x200, "\x05"}}));
    auto ti = read("tihex", "a.txt", "@1C000\n01 02 03\n04\n@ \nAA BB\nq\nignored\n");
    EXPECT_EQ(chunksOf(*ti), (Chunks{{0x1c000, "\x01\x02\x03\x04"}, {0, "\xaa\xbb"}}));
}

TEST_F(LoadFileTest, BinaryIsOneSectionAtItsBaseAddress) {
    auto file = read("bin", "a.bin", std::string("\x00\x01\x02", 3));
    EXPECT_FALSE(file->hasLoadAddresses());
    EXPECT_EQ(chunksOf(*file), (Chunks{{0, std::string("\x00\x01\x02", 3)}}));
    EXPECT_EQ(file->sections()[0].name(), "data");
    file->setBaseAddress(0x08000000);
    EXPECT_EQ(chunksOf(*file), (Chunks{{0x08000000, std::string("\x00\x01\x02", 3)}}));
    // An image reaching past 4 GiB cannot be placed.
    file->setBaseAddress(0xfffffffe);
    EXPECT_THROW(
        {
            try {
                file->sections();
            } catch (const HException &error) {
                EXPECT_STREQ(error.what(), "cannot read sections from load file");
                throw;
            }
        },
        HException);
    file->setBaseAddress(0xfffffffd);
    EXPECT_EQ(file->sections()[0].end(), std::uint64_t(1) << 32);
}

TEST_F(LoadFileTest, RecordsCrossing4GiBWrapIntoASectionOfTheirOwn) {
    auto file = read("srec", "a.srec", "S307FFFFFFFF0102F9\nS5030001FB\n");
    EXPECT_EQ(chunksOf(*file), (Chunks{{0xffffffff, "\x01"}, {0, "\x02"}}));
}

struct ReaderError {
    std::string kind;
    std::string content;
    std::string message;
};

class ReaderErrors : public LoadFileTest, public ::testing::WithParamInterface<ReaderError> {};

TEST_P(ReaderErrors, NameTheFaultAndLine) {
    EXPECT_EQ(readError(GetParam().kind, GetParam().content), GetParam().message);
}

// The longest line the Intel HEX reader takes is 529 characters with its line end.
const std::string kEndRecord529 = ":00000001FF" + std::string(517, ' ') + "\n";

INSTANTIATE_TEST_SUITE_P(
    LoadFile, ReaderErrors,
    ::testing::Values(
        ReaderError{"ihex", ":00000001FF\n", "(no error)"},
        ReaderError{"ihex", "", "invalid end of file in hex file : line 1"},
        ReaderError{"ihex", ":0101000009F5\n", "invalid end of file in hex file : line 2"},
        ReaderError{"ihex", ":0101000009F5", "invalid end of file in hex file : line 2"},
        ReaderError{"ihex", ":0101000009F5\n00000001FF\n",
                    "missing record mark in hex file : line 2"},
        ReaderError{"ihex", ":0101000G09F5\n", "invalid ASCII encoded byte : line 1"},
        ReaderError{"ihex", ":0101000009F6\n", "invalid checksum : line 1"},
        // A sound record of a type the format does not have is named, not a checksum error.
        ReaderError{"ihex", ":03000006010203F1\n:00000001FF\n", "unknown record type 06 : line 1"},
        ReaderError{"ihex", ":00000006FA\n", "unknown record type 06 : line 1"},
        ReaderError{"ihex", ":03000006010203F2\n", "invalid checksum : line 1"},
        // Counts that do not fit the line or the record type.
        ReaderError{"ihex", ":10010000AABB\n", "invalid record length : line 1"},
        ReaderError{"ihex", ":00000004FC\n", "invalid record length : line 1"},
        ReaderError{"ihex", ":", "invalid record length : line 1"},
        ReaderError{"ihex", kEndRecord529, "(no error)"},
        ReaderError{"ihex", " " + kEndRecord529, "line too long : line 1"},
        ReaderError{"srec", "S9030000FC\nX\n", "no leading 'S' character : line 2"},
        ReaderError{"srec", "S9030000FD\n", "invalid checksum : line 1"},
        ReaderError{"srec", "S00600004844521B\nS4050000000AF0\n",
                    "unknown record type S4 : line 2"},
        ReaderError{"srec", "SA030000FC\n", "unknown record type SA : line 1"},
        ReaderError{"srec", "S4050000000AF1\n", "invalid checksum : line 1"},
        // A count below the address length must not turn into a huge data length.
        ReaderError{"srec", "S1020100" + std::string(520, '0') + "\n",
                    "invalid record length : line 1"},
        ReaderError{"srec", "S000FF\n", "invalid record length : line 1"},
        ReaderError{"srec", "S1\n", "invalid record length : line 1"},
        ReaderError{"srec", "S1050100AA\n", "invalid record length : line 1"},
        ReaderError{"srec", "S1050100AABB94\nS5030002FA\n", "incorrect data record count : line 2"},
        // Past 65535 data records the count is a 24-bit S6 record.
        ReaderError{"srec", "S1050100AABB94\nS604000001FA\n", "(no error)"},
        ReaderError{"srec", "S1050100AABB94\nS604000002F9\n",
                    "incorrect data record count : line 2"},
        ReaderError{"srec", "S603FC\n", "(no error)"},
        ReaderError{"srec", "S604FB\n", "(no error)"},
        ReaderError{"hex", "0000010\n", "invalid address : line 1"},
        ReaderError{"hex", "00000100 01-02\n", "invalid separator : line 1"},
        ReaderError{"hex", "00000100 0\n", "invalid ASCII encoded byte : line 1"},
        ReaderError{"hex", "00000100 01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19\n",
                    "line too long : line 1"},
        ReaderError{"tihex", "@F000\n01 02\n", "unexpected end of file : line 3"},
        ReaderError{"tihex", "@F0X0\nq\n", "invalid address : line 1"},
        ReaderError{"tihex", "@123456789\nq\n", "invalid address : line 1"},
        ReaderError{"tihex", "01 0Z\nq\n", "invalid ASCII encoded byte : line 1"}),
    // Named by kind and row, so that a failing case can be found and run alone.
    [](const ::testing::TestParamInfo<ReaderError> &info) {
        return info.param.kind + "_" + std::to_string(info.index);
    });

TEST_F(LoadFileTest, OpenFailuresNameThePath) {
    for (const char *kind : {"bin", "ihex", "hex", "tihex", "srec"}) {
        try {
            LoadFileFactory().create(path("missing"), kind);
            ADD_FAILURE() << kind << " opened a missing file";
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), "cannot open " + path("missing"));
        }
        EXPECT_THROW(LoadFileFactory().create(m_dir.path().toStdString(), kind), HException);
    }
    // A named pipe nobody writes to reads as empty instead of blocking the open.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    try {
        LoadFileFactory().create(path("pipe"), "ihex");
        ADD_FAILURE() << "an empty pipe read as an image";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "invalid end of file in hex file : line 1");
    }
}

TEST_F(LoadFileTest, EveryFailureCountsItsExceptions) {
    unsigned long before = HException::count();
    EXPECT_EQ(readError("ihex", ":0101000009F6\n"), "invalid checksum : line 1");
    // The reader's own exception and the one that names the line.
    EXPECT_EQ(HException::count(), before + 2);
    EXPECT_EQ(HException::m_count, HException::count());
}

TEST_F(LoadFileTest, SectionBytesAreCounted) {
    std::uint64_t before = StandardLoadFileSection::m_totalDataSize;
    auto file = read("hex", "a.lst", "00000100 01 02\n00000102 03\n00000200 04\n");
    EXPECT_EQ(StandardLoadFileSection::m_totalDataSize, before + 4);
    EXPECT_EQ(StandardLoadFileSection::totalDataSize(), before + 4);
}
