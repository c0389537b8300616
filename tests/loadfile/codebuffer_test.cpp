#include "loadfiletesting.h"

#include "loadfile/binarybuffer.h"
#include "loadfile/tekhexbuffer.h"

#include <QDir>
#include <QFile>

#include <tuple>

using Chunks = std::vector<Chunk>;

namespace {
std::string bytesFrom(unsigned first, unsigned count) {
    std::string bytes;
    for (unsigned i = 0; i < count; ++i)
        bytes.push_back(char(first + i));
    return bytes;
}

// Gaps, a jump back, a run across 64 KiB, addresses above 1 MiB and 16 MiB.
const Chunks kSample = {{0x20000000, bytesFrom(0x40, 20)},
                        {0xfff8, bytesFrom(0, 24)},
                        {0x1c000, bytesFrom(0x80, 3)},
                        {0x1c010, bytesFrom(0x90, 17)}};
} // namespace

class CodeBufferTest : public LoadFileTest {
protected:
    std::string written(const std::string &format, const Chunks &chunks, std::uint32_t entry = 0) {
        std::unique_ptr<CodeBuffer> writer = format == "tek"
                                                 ? std::make_unique<TekHexBuffer>(path("out"))
                                                 : createWriter(format, path("out"));
        writeImage(*writer, chunks, entry);
        return readFileBytes(path("out"));
    }
};

TEST_F(CodeBufferTest, IntelHexAddsLinearAddressRecords) {
    EXPECT_EQ(written("hex", {{0x20000000, bytesFrom(0, 20)}}),
              ":020000042000DA\n"
              ":10000000000102030405060708090A0B0C0D0E0F78\n"
              ":0400100010111213A6\n"
              ":00000001FF\n");
    EXPECT_EQ(written("hex", {}, 0x08000123), ":0400000508000123CB\n:00000001FF\n");
}

TEST_F(CodeBufferTest, TiTxtAddressLinesHaveFourOrFiveDigitsOrMore) {
    EXPECT_EQ(written("txt", {{0x1c000, "\x01\x02"}}), "@1C000\n01 02\nq\n");
    EXPECT_EQ(written("txt", {{0xf000, "\x01"}, {0xf001, "\x02"}, {0xf100, "\x03"}}),
              "@F000\n01 02\n@F100\n03\nq\n");
    EXPECT_EQ(written("txt", {{0x08000000, "\x01"}}), "@8000000\n01\nq\n");
    EXPECT_EQ(written("txt", {{0xffffffff, "\x01"}}), "@FFFFFFFF\n01\nq\n");
}

TEST_F(CodeBufferTest, SRecordHeaderNamesTheFileAndStartRecordsFitTheEntry) {
    std::string text = written("srec", {{0x10, "\xAA"}}, 0);
    std::string header = text.substr(0, text.find('\n'));
    std::string name;
    for (std::size_t i = 4; i + 2 < header.size(); i += 2)
        name.push_back(char(std::stoi(header.substr(i, 2), nullptr, 16)));
    EXPECT_EQ(name, path("out"));
    EXPECT_EQ(text.substr(header.size() + 1), "S1040010AA41\nS9030000FC\n");
    text = written("srec", {}, 0x08000123);
    EXPECT_EQ(text.substr(text.find('\n') + 1), "S70508000123CE\n");
}

TEST_F(CodeBufferTest, TekHexChecksumsAddDigitValues) {
    EXPECT_EQ(written("tek", {{0x100, "\x01\x02"}}), "%0D61A31000102\n%0781010\n");
}

TEST_F(CodeBufferTest, BinaryFillsEveryGapWithOneByte) {
    // Gaps inside pages written to and whole pages never written read the same.
    std::string bytes = written("bin", {{0x2000, "\x02"}, {0, "\x01"}});
    ASSERT_EQ(bytes.size(), 0x2001u);
    EXPECT_EQ(bytes.front(), '\x01');
    EXPECT_EQ(bytes.back(), '\x02');
    EXPECT_EQ(bytes.substr(1, 0x1fff), std::string(0x1fff, '\xff'));
    EXPECT_EQ(written("bin", {}), "");

    {
        BinaryBuffer zeros(path("zeros.bin"), 0x00);
        writeImage(zeros, {{0x3000, "\x07"}, {0x10, "\x05"}}, 0);
    }
    std::string filled = readFileBytes(path("zeros.bin"));
    ASSERT_EQ(filled.size(), 0x2ff1u);
    EXPECT_EQ(filled.substr(1, 0x2fef), std::string(0x2fef, '\0'));
}

TEST_F(CodeBufferTest, BinaryRefusesImagesSpanningMoreThan2GiB) {
    BinaryBuffer writer(path("far.bin"));
    writer.setAddress(0);
    writer.putByte(1);
    writer.setAddress(0xffffff00);
    writer.putByte(2);
    try {
        writer.finish(0);
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "contiguous image too large (4294967041 bytes)");
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("far.bin"))));
}

TEST_F(CodeBufferTest, SampleImageInEveryFormat) {
    // A relative path keeps the S0 header the same from run to run.
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    for (const char *format : {"hex", "srec", "lst", "txt", "tek"}) {
        std::unique_ptr<CodeBuffer> writer = std::string(format) == "tek"
                                                 ? std::make_unique<TekHexBuffer>("sample")
                                                 : createWriter(format, "sample");
        writeImage(*writer, kSample, 0x08000123);
        expectMatchesGolden(readFileBytes(path("sample")),
                            std::string("loadfile/writers/sample.") + format);
    }
}

TEST_F(CodeBufferTest, FailuresAreThrownAndLeaveNoFile) {
    EXPECT_EQ(createWriter("elf", path("x")), nullptr);
    for (const char *format : {"hex", "srec", "lst", "txt", "bin"}) {
        try {
            createWriter(format, path("no/such/dir"));
            ADD_FAILURE() << format << " opened a file in a missing directory";
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), "cannot open " + path("no/such/dir"));
        }
        EXPECT_THROW(createWriter(format, m_dir.path().toStdString()), HException);
        // A device that fills up loses nothing silently.
        std::unique_ptr<CodeBuffer> full = createWriter(format, "/dev/full");
        try {
            writeImage(*full, {{0, std::string(1 << 20, 'x')}}, 0);
            ADD_FAILURE() << format << " wrote to a full device";
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), "cannot write /dev/full");
        }
        // Abandoned before finish: neither the output nor a temporary remains.
        createWriter(format, path("abandoned"))->putByte(1);
        writeFileBytes(path("kept"), "old");
        createWriter(format, path("kept"))->putByte(1);
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"kept"});
        EXPECT_EQ(readFileBytes(path("kept")), "old");
    }
}

TEST_F(CodeBufferTest, ReplacesLongerFilesWhole) {
    // Memory-backed directories below /dev hold regular files like any other.
    QTemporaryDir shm("/dev/shm/codebuffer-XXXXXX");
    for (std::string dir : {m_dir.path().toStdString(), shm.path().toStdString()}) {
        if (dir.empty())
            continue;
        writeFileBytes(dir + "/out.lst", std::string(1000, 'x'));
        writeImage(*createWriter("lst", dir + "/out.lst"), {{0x10, "\x01"}}, 0);
        EXPECT_EQ(readFileBytes(dir + "/out.lst"), "00000010 01\n") << dir;
    }
}

// Read a file written in one format, write it in another, read that: the same bytes at the
// same addresses, and the entry point wherever both formats carry one.
class RoundTrip : public CodeBufferTest,
                  public ::testing::WithParamInterface<std::tuple<const char *, const char *>> {};

TEST_P(RoundTrip, KeepsEveryByteAndTheEntryPoint) {
    const std::map<std::string, std::string> kinds = {
        {"hex", "ihex"}, {"srec", "srec"}, {"lst", "hex"}, {"txt", "tihex"}, {"bin", "bin"}};
    auto [from, to] = GetParam();
    const std::uint32_t entry = 0x08000123;
    auto carriesEntry = [](const std::string &format) {
        return format == "hex" || format == "srec";
    };
    // Binary images hold one run from the lowest address on, so they get one.
    const Chunks image = std::string(from) == "bin" || std::string(to) == "bin"
                             ? Chunks{{0xfff8, bytesFrom(0, 300)}}
                             : kSample;

    std::unique_ptr<CodeBuffer> first = createWriter(from, path("first"));
    writeImage(*first, image, entry);
    std::unique_ptr<LoadFileInterface> firstFile =
        LoadFileFactory().create(path("first"), kinds.at(from).c_str());
    firstFile->setBaseAddress(0xfff8);
    firstFile->sortSections();
    std::unique_ptr<CodeBuffer> second = createWriter(to, path("second"));
    writeImage(*second, chunksOf(*firstFile),
               firstFile->hasEntryPoint() ? firstFile->entryPoint() : 0);
    std::unique_ptr<LoadFileInterface> secondFile =
        LoadFileFactory().create(path("second"), kinds.at(to).c_str());
    secondFile->setBaseAddress(0xfff8);

    EXPECT_EQ(byteMap(chunksOf(*secondFile)), byteMap(image));
    if (carriesEntry(from) && carriesEntry(to)) {
        EXPECT_TRUE(secondFile->hasEntryPoint());
        EXPECT_EQ(secondFile->entryPoint(), entry);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormatPair, RoundTrip,
                         ::testing::Combine(::testing::Values("hex", "srec", "lst", "txt", "bin"),
                                            ::testing::Values("hex", "srec", "lst", "txt", "bin")));
