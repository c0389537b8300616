// The streams written on several threads: one valid stream for every reader (libz, libbz2,
// python's zlib and bz2, our own reader), bzip2 byte for byte what one thread writes, zlib
// within a hair of it.

#include "packages/packagearchive.h"
#include "packages/packagearchivebzfile.h"
#include "packages/packagearchivegzfile.h"
#include "packages/packagearchiveiofile.h"
#include "packages/packagearchiveparallelbzfile.h"
#include "packages/packagearchiveparallelgzfile.h"

#include "core/hexception.h"
#include "crosstool.h"
#include "golden.h"
#include "toolrunner.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace {

enum class Codec { Zlib, Bzip2 };

// libbz2 ends a block when its run-length coded data reaches this at level 1.
constexpr std::size_t kBzBlockLevel1 = 100000 - 19;

// Text-like data: compressible, with matches reaching across blocks.
std::string textLike(std::size_t size, unsigned seed) {
    static const char *const words[] = {"static", "int", "return", "if", "uint32_t", "0x4000",
                                        "{",      "}",   ";\n",    "(",  ")",        "  "};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size)
        text += std::string(words[random() % 12]) + ' ';
    text.resize(size);
    return text;
}

// No byte equals the one before it, so the run-length coded length is the size itself.
std::string withoutRuns(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = char(i % 251);
    return bytes;
}

// Runs of every length up to 300: those of 4 or more grow by their count byte, and those
// beyond 255 are split.
std::string runs(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    char value = 0;
    while (bytes.size() < size)
        bytes.append(std::size_t(random() % 300 + 1), ++value);
    bytes.resize(size);
    return bytes;
}

// What already compressed files look like: no byte more likely than another.
std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(random());
    return bytes;
}

// Random bytes that deflate still shrinks: one stretch of 30000 repeated, within its reach.
std::string randomRepeats(std::size_t size) {
    const std::string stretch = randomBytes(30000, 5);
    std::string bytes;
    while (bytes.size() < size)
        bytes += stretch;
    bytes.resize(size);
    return bytes;
}

// Random bytes where each block starts with the last 8 KiB of the one before, which only the
// 32 KiB it is primed with reveal.
std::string randomEchoes(std::size_t size) {
    constexpr std::size_t kBlock = PackageArchiveParallelGzOutputFile::kBlockSize;
    constexpr std::size_t kEcho = 8192;
    std::string bytes = randomBytes(size, 13);
    for (std::size_t block = kBlock; block + kEcho <= size; block += kBlock)
        bytes.replace(block, kEcho, bytes, block - kEcho, kEcho);
    return bytes;
}

// Writes `data` as one stream in pieces of uneven sizes, as the archive writer does.
std::string compressed(Codec codec, int level, std::size_t threads, const std::string &data,
                       const std::string &path) {
    std::FILE *handle = std::fopen(path.c_str(), "wb");
    if (!handle)
        throw HException("cannot open " + path);
    PackageArchiveIOFile file(handle);
    std::unique_ptr<PackageArchiveCompressedOutputFile> output;
    if (codec == Codec::Zlib)
        output = threads > 1 ? std::unique_ptr<PackageArchiveCompressedOutputFile>(
                                   new PackageArchiveParallelGzOutputFile(file, level, threads))
                             : std::make_unique<PackageArchiveCompressedGzOutputFile>(file, level);
    else
        output = threads > 1 ? std::unique_ptr<PackageArchiveCompressedOutputFile>(
                                   new PackageArchiveParallelBzOutputFile(file, level, threads))
                             : std::make_unique<PackageArchiveCompressedBzOutputFile>(file, level);
    std::mt19937 random(unsigned(data.size()));
    for (std::size_t done = 0; done < data.size();) {
        std::size_t piece = std::min<std::size_t>(data.size() - done, random() % 70000 + 1);
        if (output->write(data.data() + done, piece) != piece)
            throw HException("short write");
        done += piece;
    }
    output->finish();
    output.reset();
    if (!file.close())
        throw HException("cannot write " + path);
    return readFileBytes(path);
}

// Everything our reader gets out of the stream in `path`.
std::string readBack(Codec codec, const std::string &path) {
    PackageArchiveIOFile file(std::fopen(path.c_str(), "rb"));
    std::unique_ptr<PackageArchiveCompressedInputFile> input;
    if (codec == Codec::Zlib)
        input = std::make_unique<PackageArchiveCompressedGzInputFile>(file);
    else
        input = std::make_unique<PackageArchiveCompressedBzInputFile>(file);
    std::string data, chunk(1 << 16, '\0');
    while (std::size_t got = input->read(chunk.data(), chunk.size()))
        data.append(chunk.data(), got);
    return data;
}

// python3 decompresses the stream in `path` and compares it with the file `expected`.
void expectPythonDecompresses(Codec codec, const std::string &path, const std::string &expected) {
    const std::string module = codec == Codec::Zlib ? "zlib" : "bz2";
    const std::string script = "import sys, " + module +
                               "\n"
                               "data = " +
                               module +
                               ".decompress(open(sys.argv[1], 'rb').read())\n"
                               "print('ok' if data == open(sys.argv[2], 'rb').read() else "
                               "'differs: %d bytes' % len(data))\n";
    ToolResult result = runTool(QStandardPaths::findExecutable("python3").toStdString(),
                                {"-c", script, path, expected});
    EXPECT_EQ(result.out, "ok\n") << result.err;
}

struct StreamCase {
    const char *name;
    Codec codec;
    int level;
    std::size_t size;
    std::string (*make)(std::size_t);
};

void PrintTo(const StreamCase &c, std::ostream *out) {
    *out << c.name;
}

std::string text(std::size_t size) {
    return textLike(size, 7);
}
std::string noRuns(std::size_t size) {
    return withoutRuns(size);
}
std::string manyRuns(std::size_t size) {
    return runs(size, 3);
}

std::string random(std::size_t size) {
    return randomBytes(size, 9);
}

class ParallelStream : public ::testing::TestWithParam<StreamCase> {};

// Each size at 2 and 4 threads: read back by libz or libbz2 through our reader and by python;
// the bzip2 stream is the one a single thread writes.
TEST_P(ParallelStream, EveryReaderGetsTheDataBack) {
    REQUIRE_TOOL("python3", "python3");
    const StreamCase c = GetParam();
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string data = c.make(c.size);
    writeFileBytes(root + "/expected", data);
    const std::string single = compressed(c.codec, c.level, 1, data, root + "/single");
    for (std::size_t threads : {2, 4}) {
        SCOPED_TRACE(threads);
        const std::string path = root + "/parallel" + std::to_string(threads);
        const std::string stream = compressed(c.codec, c.level, threads, data, path);
        if (c.codec == Codec::Bzip2)
            EXPECT_TRUE(stream == single) << "the streams differ";
        else
            EXPECT_LE(stream.size(), single.size() + single.size() / 100 + 16);
        EXPECT_TRUE(readBack(c.codec, path) == data) << "our reader gets other data";
        expectPythonDecompresses(c.codec, path, root + "/expected");
    }
}

constexpr std::size_t kGz = PackageArchiveParallelGzOutputFile::kBlockSize;

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ParallelStream,
    ::testing::Values(
        StreamCase{"zlib_empty", Codec::Zlib, 7, 0, text},
        StreamCase{"zlib_one_byte", Codec::Zlib, 7, 1, text},
        StreamCase{"zlib_one_block", Codec::Zlib, 7, kGz, text},
        StreamCase{"zlib_block_and_one", Codec::Zlib, 7, kGz + 1, text},
        StreamCase{"zlib_many_blocks", Codec::Zlib, 9, 5 * kGz + 4321, text},
        StreamCase{"zlib_stored", Codec::Zlib, 0, 3 * kGz + 5, manyRuns},
        StreamCase{"zlib_runs", Codec::Zlib, 1, 2 * kGz - 1, manyRuns},
        StreamCase{"zlib_random", Codec::Zlib, 7, 3 * kGz + 5, random},
        StreamCase{"zlib_random_last_block", Codec::Zlib, 7, 2 * kGz, random},
        StreamCase{"zlib_random_repeats", Codec::Zlib, 7, 3 * kGz, randomRepeats},
        StreamCase{"zlib_random_echoes", Codec::Zlib, 7, 4 * kGz, randomEchoes},
        StreamCase{"bzip2_empty", Codec::Bzip2, 1, 0, text},
        StreamCase{"bzip2_one_byte", Codec::Bzip2, 1, 1, text},
        StreamCase{"bzip2_block_less_one", Codec::Bzip2, 1, kBzBlockLevel1 - 1, noRuns},
        StreamCase{"bzip2_one_block", Codec::Bzip2, 1, kBzBlockLevel1, noRuns},
        StreamCase{"bzip2_block_and_one", Codec::Bzip2, 1, kBzBlockLevel1 + 1, noRuns},
        StreamCase{"bzip2_block_and_two", Codec::Bzip2, 1, kBzBlockLevel1 + 2, noRuns},
        StreamCase{"bzip2_runs", Codec::Bzip2, 1, 7 * kBzBlockLevel1 + 77, manyRuns},
        StreamCase{"bzip2_text_level_9", Codec::Bzip2, 9, 2'500'000, text}),
    [](const auto &info) { return std::string(info.param.name); });

// Where a block fills up decides what the next one holds: a long run pending at that moment
// moves on whole, one that reaches 255 is cut there, and runs ending exactly at the limit
// leave nothing pending but a single byte.
TEST(ParallelBzip2, RunsAtTheBlockLimitAreCutWhereOneCompressorCutsThem) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    for (std::size_t before = kBzBlockLevel1 - 6; before <= kBzBlockLevel1 + 1; ++before)
        for (std::size_t run : {3, 4, 5, 255, 256, 600}) {
            SCOPED_TRACE(std::to_string(before) + " bytes before a run of " + std::to_string(run));
            std::string data = withoutRuns(before);
            data.append(run, '\xfe');
            data += withoutRuns(10);
            const std::string single = compressed(Codec::Bzip2, 1, 1, data, root + "/single");
            EXPECT_TRUE(compressed(Codec::Bzip2, 1, 2, data, root + "/parallel") == single);
        }
}

// zlib costs a flush marker and a new block per piece of 128 KiB: far below 1 % on data
// that compresses well, where the overhead would show most.
TEST(ParallelZlib, SizeStaysWithinOnePercentOfOneThread) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::string data = textLike(6 << 20, 11);
    const std::size_t single = compressed(Codec::Zlib, 7, 1, data, root + "/single").size();
    const std::string parallel = compressed(Codec::Zlib, 7, 2, data, root + "/parallel");
    EXPECT_LT(double(parallel.size()), double(single) * 1.01);
    // The header is what zlib writes at level 7 and the checksum is that of the whole data.
    EXPECT_EQ(parallel.substr(0, 2), "\x78\xda");
    const std::uint32_t adler =
        std::uint32_t(adler32(1, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
    const std::string tail = parallel.substr(parallel.size() - 4);
    EXPECT_EQ(std::uint32_t(std::uint8_t(tail[0])) << 24 |
                  std::uint32_t(std::uint8_t(tail[1])) << 16 |
                  std::uint32_t(std::uint8_t(tail[2])) << 8 | std::uint32_t(std::uint8_t(tail[3])),
              adler);
}

// A failing file stops the writer with the usual message, whatever is still being compressed,
// and leaves no thread behind.
TEST(ParallelWriter, AFullDiskFailsTheSaveWhileBlocksAreInFlight) {
    for (int algorithm : {PackageArchive::Zlib, PackageArchive::Bzip2}) {
        SCOPED_TRACE(algorithm);
        PackageArchive archive;
        archive.setVersion(2);
        archive.setAlgorithm(algorithm);
        archive.setThreads(4);
        archive.addData("noise", runs(3 << 20, 5));
        try {
            archive.saveArchive("/dev/full", 1);
            ADD_FAILURE() << "saving to a full disk succeeded";
        } catch (const HException &error) {
            EXPECT_EQ(error.message(), "error writing to compressed stream");
        }
    }
}

// A stream dropped before it is finished is not completed behind the caller's back.
TEST(ParallelWriter, AnAbandonedStreamIsNotFinished) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/abandoned";
    for (Codec codec : {Codec::Zlib, Codec::Bzip2}) {
        SCOPED_TRACE(int(codec));
        {
            PackageArchiveIOFile file(std::fopen(path.c_str(), "wb"));
            std::unique_ptr<PackageArchiveCompressedOutputFile> output;
            if (codec == Codec::Zlib)
                output = std::make_unique<PackageArchiveParallelGzOutputFile>(file, 6, 2);
            else
                output = std::make_unique<PackageArchiveParallelBzOutputFile>(file, 1, 2);
            const std::string data = textLike(2 << 20, 1);
            ASSERT_EQ(output->write(data.data(), data.size()), data.size());
        }
        const std::string partial = readFileBytes(path);
        EXPECT_LT(readBack(codec, path).size(), std::size_t(2 << 20));
        if (codec == Codec::Zlib) {
            std::string out(4 << 20, '\0');
            uLongf size = uLongf(out.size());
            EXPECT_NE(uncompress(reinterpret_cast<Bytef *>(out.data()), &size,
                                 reinterpret_cast<const Bytef *>(partial.data()),
                                 uLong(partial.size())),
                      Z_OK);
        }
    }
}

// Whole archives at 1, 2 and 4 threads in both layouts: entries of the sizes around the
// blocks read back the same, and bzip2 archives are identical whatever the thread count.
TEST(ParallelArchive, RoundTripsAtEveryThreadCount) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"empty", ""},
        {"one", "x"},
        {"block", textLike(kGz, 2)},
        {"block_and_one", withoutRuns(kGz + 1)},
        {"bz_block", withoutRuns(kBzBlockLevel1)},
        {"runs", runs(400000, 9)},
    };
    for (const auto &[name, bytes] : entries)
        writeFileBytes(root + "/" + name, bytes);
    struct Layout {
        int version, algorithm, level;
    };
    for (Layout layout : {Layout{1, 0, 7}, Layout{2, 0, 7}, Layout{2, 1, 1}}) {
        std::string first;
        for (int threads : {1, 2, 4}) {
            SCOPED_TRACE(std::to_string(layout.version) + "/" + std::to_string(layout.algorithm) +
                         " at " + std::to_string(threads) + " threads");
            const std::string path = root + "/t" + std::to_string(threads) + ".qzArchive";
            {
                PackageArchive archive;
                archive.setVersion(layout.version);
                archive.setAlgorithm(layout.algorithm);
                archive.setThreads(threads);
                // Files on disk keep their times, so that archives can be compared.
                for (const auto &[name, bytes] : entries)
                    archive.addFile(root + "/" + name, name);
                archive.saveArchive(path, layout.level);
            }
            PackageArchive archive;
            archive.openArchive(path);
            ASSERT_EQ(archive.files().size(), entries.size());
            // Last to first: every entry is reached by starting the stream again.
            for (std::size_t i = entries.size(); i-- > 0;) {
                EXPECT_EQ(archive.files()[i].name(), entries[i].first);
                EXPECT_TRUE(archive.fileData(archive.files()[i]) == entries[i].second)
                    << entries[i].first << " differs";
            }
            if (layout.algorithm == PackageArchive::Bzip2) {
                if (first.empty())
                    first = readFileBytes(path);
                else
                    EXPECT_TRUE(readFileBytes(path) == first) << "the archives differ";
            }
        }
    }
}

} // namespace
