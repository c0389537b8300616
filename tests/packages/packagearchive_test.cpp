#include "packages/packagearchive.h"
#include "packages/packagearchivebzfile.h"
#include "packages/packagearchiveiofile.h"

#include "core/hexception.h"
#include "golden.h"

#include <QDir>
#include <QTemporaryDir>

#include <bzlib.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>
#include <zlib.h>

namespace {

std::string le16(unsigned v) {
    return {char(v), char(v >> 8)};
}
std::string le32(unsigned v) {
    return le16(v) + le16(v >> 16);
}

std::string deflated(const std::string &data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef *>(out.data()), &size,
              reinterpret_cast<const Bytef *>(data.data()), uLong(data.size()), 6);
    out.resize(size);
    return out;
}

std::string bzipped(const std::string &data) {
    unsigned size = unsigned(data.size() + data.size() / 100 + 600);
    std::string out(size, '\0');
    BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char *>(data.data()),
                             unsigned(data.size()), 9, 0, 30);
    out.resize(size);
    return out;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = char(random());
    return bytes;
}

// The message a step fails with.
template <typename Step> std::string errorOf(Step &&step) {
    try {
        step();
    } catch (const HException &error) {
        return error.message();
    }
    return "(no error)";
}

struct Entry {
    std::string name, data;
    unsigned offset, size, mode, time;
};

// A version 2 body laid out by hand, so offsets and sizes can lie.
std::string bodyV2(const std::vector<Entry> &entries, unsigned count) {
    std::string body = le32(count) + std::string(16, '\0');
    for (const Entry &e : entries)
        body += le16(unsigned(e.name.size())) + le32(e.offset) + le32(e.size) + le32(e.mode) +
                le32(e.time) + e.name;
    for (const Entry &e : entries)
        body += e.data;
    return body;
}

std::string archiveV2(unsigned formatWord, const std::string &compressedBody) {
    return le32(0x71F5C6B1) + le16(formatWord) + le16(0) + compressedBody;
}

// One well-formed entry "a.txt" holding "hello".
std::string helloBody() {
    return bodyV2({{"a.txt", "hello", 20 + 18 + 5, 5, 0100644, 1000}}, 1);
}

class ArchiveTest : public ::testing::Test {
protected:
    std::string path(const std::string &name) const {
        return m_dir.path().toStdString() + "/" + name;
    }
    std::string write(const std::string &name, const std::string &bytes) const {
        writeFileBytes(path(name), bytes);
        return path(name);
    }
    QStringList leftovers() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".qzArchive.");
    }

    QTemporaryDir m_dir;
};

void expectOpenFails(PackageArchive &archive, const std::string &file, const std::string &message,
                     std::uint64_t start = 0) {
    EXPECT_EQ(errorOf([&] { archive.openArchive(file, start); }), message);
    EXPECT_TRUE(archive.files().empty());
    EXPECT_EQ(archive.data().input, nullptr);
}

struct Layout {
    int version, algorithm;
};
const Layout kLayouts[] = {
    {1, PackageArchive::Zlib}, {2, PackageArchive::Zlib}, {2, PackageArchive::Bzip2}};

TEST_F(ArchiveTest, EveryLayoutRoundTripsAndReadsInAnyOrder) {
    const std::string noise = randomBytes(300000, 1);
    const std::string disk = write("disk.bin", randomBytes(70000, 2));
    ::chmod(disk.c_str(), 04751); // the set-id bit is outside the stored mask
    struct utimbuf times = {1500000000, 1500000000};
    ::utime(disk.c_str(), &times);
    for (const Layout &layout : kLayouts) {
        SCOPED_TRACE(layout.version * 10 + layout.algorithm);
        PackageArchive writer;
        writer.setVersion(layout.version);
        writer.setAlgorithm(layout.algorithm);
        writer.addData("empty", "");
        writer.addData("dir/noise.bin", noise);
        writer.addFile(disk, "from/disk.bin");
        writer.addData("last.txt", "the end\n");
        writer.saveArchive(path("round.qzArchive"), 9);

        PackageArchive reader;
        reader.openArchive(path("round.qzArchive"));
        EXPECT_EQ(reader.version(), layout.version);
        EXPECT_EQ(reader.algorithm(), layout.algorithm);
        ASSERT_EQ(reader.files().size(), 4u);
        const PackageArchiveFile fromDisk = reader.files()[2];
        EXPECT_EQ(fromDisk.name(), "from/disk.bin");
        EXPECT_EQ(fromDisk.modificationTime(), 1500000000u);
        EXPECT_EQ(fromDisk.mode(), layout.version == 2 ? 0100751u : 0666u);
        // Backwards first: every step back restarts the decompression.
        for (int i = 3; i >= 0; --i)
            EXPECT_EQ(reader.fileData(reader.files()[i]), writer.fileData(writer.files()[i]));
        EXPECT_EQ(reader.fileData(reader.files()[1]), noise);
    }
}

TEST_F(ArchiveTest, EmptyArchiveIsTheHeaderAndACompressedBlock) {
    for (int algorithm : {0, 1}) {
        PackageArchive writer;
        writer.setVersion(2);
        writer.setAlgorithm(algorithm);
        writer.saveArchive(path("empty.qzArchive"));
        const std::string bytes = readFileBytes(path("empty.qzArchive"));
        EXPECT_EQ(bytes.substr(0, 8), archiveV2(algorithm << 12 | 2, ""));
        // The rest is one compressed stream of the count and the reserved bytes, all zero.
        std::string block(64, 'x');
        unsigned size = 64;
        uLongf zsize = 64;
        char *body = const_cast<char *>(bytes.data() + 8);
        ASSERT_EQ(algorithm ? BZ2_bzBuffToBuffDecompress(block.data(), &size, body,
                                                         unsigned(bytes.size() - 8), 0, 0)
                            : uncompress(reinterpret_cast<Bytef *>(block.data()), &zsize,
                                         reinterpret_cast<Bytef *>(body), uLong(bytes.size() - 8)),
                  0);
        EXPECT_EQ(block.substr(0, algorithm ? size : zsize), std::string(20, '\0'));
        PackageArchive reader;
        reader.openArchive(path("empty.qzArchive"));
        EXPECT_TRUE(reader.files().empty());
        EXPECT_EQ(reader.algorithm(), algorithm);
    }
}

TEST_F(ArchiveTest, NameLengthLimitsOfEachVersion) {
    struct {
        int version;
        std::size_t length;
        bool fits;
    } const cases[] = {{2, 300, true},   {1, 300, true},   {1, 1023, true},
                       {1, 1024, false}, {2, 65535, true}, {2, 65536, false}};
    const std::string target = write("names.qzArchive", "previous archive");
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.version) + "/" + std::to_string(c.length));
        PackageArchive writer;
        writer.setVersion(c.version);
        const std::string name = std::string(c.length - 2, 'n') + ".c";
        writer.addData(name, "x");
        if (!c.fits) {
            EXPECT_EQ(errorOf([&] { writer.saveArchive(target); }), "filename too long");
            EXPECT_EQ(readFileBytes(target), "previous archive");
            continue;
        }
        writer.saveArchive(path("long.qzArchive"));
        PackageArchive reader;
        reader.openArchive(path("long.qzArchive"));
        ASSERT_EQ(reader.files().size(), 1u);
        EXPECT_EQ(reader.files()[0].name(), name);
        EXPECT_EQ(reader.fileData(reader.files()[0]), "x");
    }
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(" ").toStdString();
}

TEST_F(ArchiveTest, FormatWordSelectsTheCodec) {
    PackageArchive archive;
    archive.openArchive(write("zlib", archiveV2(0x0002, deflated(helloBody()))));
    EXPECT_EQ(archive.fileData(archive.files().at(0)), "hello");
    archive.openArchive(write("bzip2", archiveV2(0x1002, bzipped(helloBody()))));
    EXPECT_EQ(archive.algorithm(), 1);
    EXPECT_EQ(archive.fileData(archive.files().at(0)), "hello");
    expectOpenFails(archive, write("algo2", archiveV2(0x2002, deflated(helloBody()))),
                    "unsupported compression algorithm");
    expectOpenFails(archive, write("v3", archiveV2(0x0003, deflated(helloBody()))),
                    "unsupported package file format");
    expectOpenFails(archive, write("zlib-as-bzip2", archiveV2(0x1002, deflated(helloBody()))),
                    "error decompressing stream");
}

TEST_F(ArchiveTest, DamagedAndLyingArchivesFailWithTheirMessages) {
    const std::string body = helloBody();
    const std::string good = archiveV2(2, deflated(body));
    std::string flipped = good;
    flipped[8] = 0; // the zlib header
    struct {
        const char *name;
        std::string bytes;
        const char *message;
    } const cases[] = {
        {"empty", "", "unsupported package file format"},
        {"text", "not an archive at all", "unsupported package file format"},
        {"short header", good.substr(0, 6), "bad header"},
        {"short block", archiveV2(2, deflated(body.substr(0, 12))), "bad header"},
        {"short entry", archiveV2(2, deflated(body.substr(0, 30))), "bad table of contents"},
        {"short name", archiveV2(2, deflated(body.substr(0, 40))), "bad table of contents"},
        {"truncated stream", good.substr(0, 11), "bad header"},
        {"damaged stream", flipped, "error reading from compressed stream"},
        // Four billion entries claimed by a few bytes: refused without reserving room.
        {"huge count", archiveV2(2, deflated(le32(0xFFFFFFFF) + std::string(16, 0))),
         "bad table of contents"},
        {"huge count v1", le32(0x4152C3C8) + le32(4000000), "bad table of contents"},
        {"count beyond data v1",
         le32(0xB231F47A) + le32(1) + le32(0) + deflated(le32(0x4152C3C8) + le32(3000)),
         "bad table of contents"},
        {"v1 prefix only", le32(0xB231F47A) + le32(1), "bad header"},
        {"v1 wrong body magic", le32(0xB231F47A) + le32(1) + le32(0) + deflated(le32(7) + le32(0)),
         "unsupported package file format"},
    };
    PackageArchive archive;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        expectOpenFails(archive, write("bad", c.bytes), c.message);
    }
    expectOpenFails(archive, path("missing.qzArchive"),
                    path("missing.qzArchive") + " does not exist");
    expectOpenFails(archive, m_dir.path().toStdString(),
                    "cannot read " + m_dir.path().toStdString());
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    expectOpenFails(archive, path("pipe"), "cannot read " + path("pipe"));
}

TEST_F(ArchiveTest, ClaimedSizesAndOffsetsAreProvenByTheData) {
    const unsigned contents = 20 + 3 * 18 + 3;
    const std::string bytes =
        archiveV2(2, deflated(bodyV2({{"a", "0123456789", contents, 10, 0100644, 0},
                                      {"b", "", contents + 5, 0xFFFFFFFF, 0100644, 0},
                                      {"c", "", 0xFFFFFF00, 4, 0100644, 0}},
                                     3)));
    PackageArchive archive;
    archive.openArchive(write("liar", bytes));
    ASSERT_EQ(archive.files().size(), 3u);
    for (int i : {1, 2}) {
        const PackageArchiveFile file = archive.files()[i];
        EXPECT_EQ(errorOf([&] { archive.fileData(file); }),
                  "cannot read file " + file.name() + " from archive");
    }
    EXPECT_EQ(archive.fileData(archive.files()[0]), "0123456789");
    // An entry of an earlier opening is not read from the archive opened since.
    archive.openArchive(path("liar"));
    const PackageArchiveFile stale = archive.files()[0];
    archive.openArchive(write("other", archiveV2(2, deflated(helloBody()))));
    EXPECT_EQ(errorOf([&] { archive.fileData(stale); }), "cannot read file a from archive");
}

TEST_F(ArchiveTest, DamageFailsTheEntriesThatReachIt) {
    // bzip2 checks each 100 kB block on its own, so damage to the last block spares the
    // first; zlib's checksum follows the whole stream. Either way the entry holding the
    // damage fails, even when it is read exactly to its last byte.
    std::string text(400000, ' ');
    std::mt19937 random(5);
    for (char &c : text)
        c = char('a' + random() % 16);
    for (const auto &[algorithm, message] : {std::pair{1, "error decompressing stream"},
                                             {0, "error reading from compressed stream"}}) {
        PackageArchive writer;
        writer.setVersion(2);
        writer.setAlgorithm(algorithm);
        writer.addData("first", text.substr(0, 50000));
        writer.addData("rest", text);
        writer.saveArchive(path("damaged.qzArchive"), 1);
        std::string bytes = readFileBytes(path("damaged.qzArchive"));
        bytes[bytes.size() - 100] ^= 0x10;
        write("damaged.qzArchive", bytes);

        PackageArchive archive;
        archive.openArchive(path("damaged.qzArchive"));
        const PackageArchiveFile first = archive.files()[0], rest = archive.files()[1];
        const auto ignore = [](const char *, std::size_t) {};
        EXPECT_EQ(errorOf([&] { archive.readContents(rest, ignore); }), message);
        EXPECT_EQ(archive.fileData(first), text.substr(0, 50000));
        EXPECT_EQ(errorOf([&] { archive.fileData(rest); }), message);
    }
}

// Counts what the bzip2 decoder produces, to tell a single pass from a pass per entry.
class CountingBzInput : public PackageArchiveCompressedBzInputFile {
public:
    CountingBzInput(PackageArchiveIOFile &file, std::uint64_t &moved)
        : PackageArchiveCompressedBzInputFile(file), m_moved(moved) {}

protected:
    std::size_t moveChunk(char *buffer, std::size_t count) override {
        std::size_t moved = PackageArchiveCompressedBzInputFile::moveChunk(buffer, count);
        m_moved += moved;
        return moved;
    }

private:
    std::uint64_t &m_moved;
};

class CountingArchive : public PackageArchive {
public:
    std::uint64_t moved = 0;

protected:
    std::unique_ptr<PackageArchiveIOFileInterface>
    openInputStream(int algorithm, PackageArchiveIOFile &file) override {
        return std::make_unique<CountingBzInput>(file, moved);
    }
};

TEST(ArchiveDamage, DamagedDataIsNotDecompressedAgainForEveryEntry) {
    // 123 bytes whose 96 entries all lie beyond a damaged block that expands to megabytes.
    CountingArchive archive;
    archive.openArchive(testDataPath("packages/damaged-bzip2-runs.qzArchive"));
    ASSERT_EQ(archive.files().size(), 96u);
    const auto ignore = [](const char *, std::size_t) {};
    EXPECT_EQ(errorOf([&] { archive.readContents(archive.files()[0], ignore); }),
              "error decompressing stream");
    const std::uint64_t onePass = archive.moved;
    for (const PackageArchiveFile &file : archive.files())
        EXPECT_EQ(errorOf([&] { archive.readContents(file, ignore); }),
                  "error decompressing stream");
    EXPECT_EQ(archive.moved, onePass);
}

namespace {

void putLittle(std::string &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(char(value >> (8 * i)));
}

// A format-2 bzip2 archive of `names` whose entries all hold the same `size` bytes
// starting at `offset` of the decompressed stream; the body is zeros up to the end.
std::string sharedEntryArchive(std::uint32_t claimed, const std::vector<std::string> &names,
                               std::uint32_t offset, std::uint32_t size) {
    std::string body;
    putLittle(body, claimed, 4);
    body.append(16, '\0');
    for (const std::string &name : names) {
        putLittle(body, std::uint32_t(name.size()), 2);
        putLittle(body, offset, 4);
        putLittle(body, size, 4);
        putLittle(body, 0100644, 4);
        putLittle(body, 0, 4);
        body += name;
    }
    body.resize(std::max(body.size(), std::size_t(offset) + size), '\0');
    std::string compressed(body.size() + body.size() / 100 + 600, '\0');
    unsigned length = unsigned(compressed.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(compressed.data(), &length, body.data(),
                                       unsigned(body.size()), 9, 0, 30),
              BZ_OK);
    compressed.resize(length);
    std::string archive;
    putLittle(archive, 0x71F5C6B1, 4);
    putLittle(archive, 0x1002, 2);
    putLittle(archive, 0, 2);
    return archive + compressed;
}

} // namespace

TEST_F(ArchiveTest, ATableLargerThanTheDataCanHoldIsRefused) {
    // A few hundred bytes claiming 200 million entries: refused before any is read.
    write("claims.qzArchive", sharedEntryArchive(200'000'000, {"a"}, 0, 0));
    ASSERT_LT(readFileBytes(path("claims.qzArchive")).size(), 2000u);
    PackageArchive archive;
    EXPECT_EQ(errorOf([&] { archive.openArchive(path("claims.qzArchive")); }),
              "bad table of contents");
    // zlib cannot expand 100 bytes into the 18 MB of a million entries either.
    std::string tiny = std::string("\xb1\xc6\xf5\x71\x02\x00\x00\x00", 8);
    std::string block(20, '\0');
    block[0] = '\x40'; // 0x00100040 entries
    block[1] = '\x00';
    block[2] = '\x10';
    uLongf size = compressBound(uLong(block.size()));
    std::string packed(size, '\0');
    ASSERT_EQ(compress(reinterpret_cast<Bytef *>(packed.data()), &size,
                       reinterpret_cast<const Bytef *>(block.data()), uLong(block.size())),
              Z_OK);
    packed.resize(size);
    write("zlib.qzArchive", tiny + packed);
    EXPECT_EQ(errorOf([&] { archive.openArchive(path("zlib.qzArchive")); }),
              "bad table of contents");
}

TEST(ArchiveSharing, EntriesSharingTheirBytesAreReadInOnePass) {
    // 500 entries of the same 1000 bytes far into the stream: one decompression, not 500.
    std::vector<std::string> names;
    for (int i = 0; i < 500; ++i)
        names.push_back("e" + std::to_string(i));
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("shared.qzArchive")).toStdString();
    writeFileBytes(file, sharedEntryArchive(500, names, 4'000'000, 1000));
    CountingArchive archive;
    archive.openArchive(file);
    ASSERT_EQ(archive.files().size(), 500u);
    for (auto it = archive.files().rbegin(); it != archive.files().rend(); ++it)
        EXPECT_EQ(archive.fileData(*it), std::string(1000, '\0'));
    EXPECT_LT(archive.moved, 4'100'000u);
}

// Keeps its own bytes in front of the archive, as a derived archive may.
class HeaderArchive : public PackageArchive {
public:
    std::string seen;

protected:
    void writeUserHeader(PackageArchiveIOFile &file) override { file.write("USERHDR!", 8); }
    void readUserHeader(PackageArchiveIOFile &file) override {
        seen.assign(8, '\0');
        seen.resize(file.read(seen.data(), 8));
    }
};

TEST_F(ArchiveTest, ArchivesInsideLargerFilesWithUserHeaders) {
    const std::string lead = randomBytes(1000, 3);
    for (const Layout &layout : kLayouts) {
        SCOPED_TRACE(layout.version * 10 + layout.algorithm);
        HeaderArchive writer;
        writer.setVersion(layout.version);
        writer.setAlgorithm(layout.algorithm);
        for (int i = 0; i < 4; ++i)
            writer.addData("f" + std::to_string(i), randomBytes(40000, 10 + i));
        writer.saveArchive(path("inner"));
        const std::string inner = readFileBytes(path("inner"));
        ASSERT_EQ(inner.substr(0, 8), "USERHDR!");
        write("outer", lead + inner + "tail");

        HeaderArchive reader;
        reader.openArchive(path("outer"), lead.size());
        EXPECT_EQ(reader.seen, "USERHDR!");
        ASSERT_EQ(reader.files().size(), 4u);
        for (int i : {3, 1, 2, 0})
            EXPECT_EQ(reader.fileData(reader.files()[i]), randomBytes(40000, 10 + i));
        expectOpenFails(reader, path("outer"), "unsupported package file format", lead.size() + 1);
    }
}

TEST_F(ArchiveTest, ExtractionNeverLosesTheFileThatWasThere) {
    PackageArchive writer;
    writer.setVersion(2);
    writer.addData("new.txt", "new contents");
    writer.addData("broken.bin", randomBytes(100000, 4));
    writer.saveArchive(path("x.qzArchive"));
    std::string bytes = readFileBytes(path("x.qzArchive"));
    write("truncated.qzArchive", bytes.substr(0, bytes.size() - 2000));

    const std::string old = write("old.txt", "old contents");
    ::chmod(old.c_str(), 0444);
    PackageArchive archive;
    archive.openArchive(path("x.qzArchive"));
    EXPECT_EQ(errorOf([&] { archive.extractFile(archive.files()[0], old, false); }),
              "cannot overwrite file " + old);
    EXPECT_EQ(readFileBytes(old), "old contents");

    PackageArchive truncated;
    truncated.openArchive(path("truncated.qzArchive"));
    EXPECT_EQ(errorOf([&] { truncated.extractFile(truncated.files()[1], old, true); }),
              "cannot read file broken.bin from archive");
    EXPECT_EQ(readFileBytes(old), "old contents");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".old.txt."),
              QStringList());

    archive.extractFile(archive.files()[0], old, true);
    EXPECT_EQ(readFileBytes(old), "new contents");
    struct stat info;
    ASSERT_EQ(::stat(old.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // A name near the length limit still leaves room for the temporary name beside it.
    const std::string longest = path(std::string(250, 'n'));
    archive.extractFile(archive.files()[0], longest, false);
    EXPECT_EQ(readFileBytes(longest), "new contents");
}

TEST(ArchiveExtractionPath, RefusesNamesThatLeaveTheDestination) {
    EXPECT_EQ(PackageArchive::extractionPath("/dest", "a/b.c"), "/dest/a/b.c");
    EXPECT_EQ(PackageArchive::extractionPath("/dest/", "./a..b"), "/dest/./a..b");
    EXPECT_EQ(PackageArchive::extractionPath("", "x"), "x");
    const struct {
        std::string name;
        const char *reason;
    } refused[] = {{"/etc/passwd", "absolute path"},
                   {"../up", "\"..\" in the path"},
                   {"a/../../up", "\"..\" in the path"},
                   {"a/..", "\"..\" in the path"},
                   {"", "not a file name"},
                   {"dir/", "not a file name"},
                   {"a/.", "not a file name"},
                   {std::string("a\0b", 3), "the name holds a zero byte"}};
    for (const auto &c : refused)
        EXPECT_EQ(errorOf([&] { PackageArchive::extractionPath("/dest", c.name); }),
                  "refusing to extract \"" + PackageArchive::displayName(c.name) +
                      "\": " + c.reason);
}

TEST_F(ArchiveTest, FailedSaveKeepsThePreviousArchive) {
    const std::string target = write("keep.qzArchive", "previous archive");
    const std::string source = write("vanishing.txt", "soon gone");
    PackageArchive archive;
    archive.setVersion(2);
    archive.addFile(source, "vanishing.txt");
    ::unlink(source.c_str());
    EXPECT_EQ(errorOf([&] { archive.saveArchive(target); }), "cannot read " + source);
    EXPECT_EQ(readFileBytes(target), "previous archive");
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(" ").toStdString();

    archive.addData("vanishing.txt", "now in memory");
    EXPECT_EQ(errorOf([&] { archive.saveArchive(path("no/such/dir/a.qzArchive")); }),
              "cannot open output file");
    archive.setVersion(3);
    EXPECT_EQ(errorOf([&] { archive.saveArchive(target); }), "unsupported package file version");
    archive.setVersion(2);
    archive.setAlgorithm(2);
    EXPECT_EQ(errorOf([&] { archive.saveArchive(target); }), "unsupported compression algorithm");
    EXPECT_EQ(readFileBytes(target), "previous archive");
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(" ").toStdString();
    const std::string directory = m_dir.path().toStdString();
    EXPECT_EQ(errorOf([&] { archive.addFile(path("missing"), "m"); }),
              "cannot read " + path("missing"));
    EXPECT_EQ(errorOf([&] { archive.addFile(directory, "d"); }), "cannot read " + directory);
}

TEST_F(ArchiveTest, SavingThroughALinkKeepsTheLinkAndWritesDevicesInPlace) {
    PackageArchive archive;
    archive.addData("a.txt", "contents");
    const std::string file = write("real.qzArchive", "old");
    ASSERT_EQ(::symlink(file.c_str(), path("link.qzArchive").c_str()), 0);
    archive.saveArchive(path("link.qzArchive"));
    struct stat info;
    ASSERT_EQ(::lstat(path("link.qzArchive").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    PackageArchive reread;
    reread.openArchive(file);
    EXPECT_EQ(reread.fileData(reread.findFile("a.txt")), "contents");

    // A full device reports the failure and stays a device.
    ASSERT_EQ(::symlink("/dev/full", path("full").c_str()), 0);
    EXPECT_EQ(errorOf([&] { archive.saveArchive(path("full")); }),
              "error writing to compressed stream");
    ASSERT_EQ(::lstat(path("full").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(ArchiveTest, ReplacedEntriesTakeTheirNewSourceAndOrder) {
    PackageArchive first;
    first.setVersion(2);
    first.addData("a.txt", "first a");
    first.addData("board_package.xml", "<package/>");
    first.addData("z.txt", "first z");
    first.saveArchive(path("edit.qzArchive"));

    PackageArchive archive;
    archive.openArchive(path("edit.qzArchive"));
    EXPECT_EQ(archive.findDescriptionFile().name(), "board_package.xml");
    archive.addFile(write("replacement", "a replacement that is longer"), "a.txt");
    archive.addData("new.txt", "added");
    quint64 lastDone = 0, lastTotal = 0;
    QObject::connect(&archive, &PackageArchive::progress, [&](quint64 done, quint64 total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    });
    // Saving over the open archive still reads the untouched entries from it.
    archive.saveArchive(path("edit.qzArchive"));
    EXPECT_EQ(lastDone, lastTotal);
    EXPECT_EQ(lastTotal, 28u + 10 + 7 + 5);

    PackageArchive reader;
    reader.openArchive(path("edit.qzArchive"));
    std::vector<std::string> seen;
    for (const PackageArchiveFile &file : reader.files())
        seen.push_back(file.name() + "=" + reader.fileData(file));
    EXPECT_EQ(seen, (std::vector<std::string>{"a.txt=a replacement that is longer",
                                              "board_package.xml=<package/>", "z.txt=first z",
                                              "new.txt=added"}));
    reader.clear();
    EXPECT_TRUE(reader.findDescriptionFile().isNull());
}

} // namespace
