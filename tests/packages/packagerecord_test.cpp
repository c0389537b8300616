// Package records, description files and the available list.

#include "core/hexception.h"
#include "packages/packagedescription.h"
#include "packages/packagedigest.h"
#include "packages/packagefilescan.h"
#include "packages/packagerecord.h"
#include "packages/packagesystem.h"

#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>
#include <zlib.h>

namespace {

TEST(PackageVersions, CompareNumberBySegment) {
    struct Row {
        const char *a, *b;
        int order;
    } rows[] = {
        {"1.10", "1.9", 1},   {"1.9", "1.10", -1}, {"1.0", "1", 0},
        {"2", "10", -1},      {"1.2.3", "1.2", 1}, {"01.2", "1.2", 0},
        {"1.0a", "1.0b", -1}, {"", "0", 0},        {"99999999999999999999", "1", 1},
    };
    for (const Row &row : rows)
        EXPECT_EQ(compareVersions(row.a, row.b), row.order) << row.a << " vs " << row.b;
}

TEST(PackageRecordTables, KindsActionsAndTitles) {
    EXPECT_EQ(packageKindName(PackageRecord::Board), "Board Support Package");
    EXPECT_EQ(packageKindWord(PackageRecord::OperatingSystem), "os");
    EXPECT_EQ(packageKindFromWord("staging"), PackageRecord::Staging);
    EXPECT_EQ(packageKindFromWord("nonsense"), PackageRecord::Other);
    EXPECT_EQ(packageKindName(42), "Package");
    EXPECT_EQ(packageActionName(5), "Update");
    EXPECT_EQ(packageActionName(6), "Unknown");
    EXPECT_EQ(packageActionName(-1), "Unknown");

    PackageRecord cpu;
    cpu.name = "m4";
    cpu.cpuFamily = "Cortex-M4";
    EXPECT_EQ(cpu.displayTitle(), "Cortex-M4 CPU Support Package");
    EXPECT_EQ(cpu.displayDescription(),
              "This package contains project templates, system files and example programs for "
              "the <b>Cortex-M4</b>.");
    PackageRecord board;
    board.boardName = "Nucleo";
    EXPECT_EQ(board.displayTitle(), "Nucleo Board Support Package");
    EXPECT_EQ(board.displayDescription(),
              "This package contains project templates and system files for the <b>Nucleo</b>.");

    std::vector<PackageRecord> records(3);
    records[0].name = "z";
    records[0].title = "Beta";
    records[1].name = "a";
    records[1].title = "Beta";
    records[2].name = "q";
    records[2].cpuFamily = "Alpha";
    std::sort(records.begin(), records.end(), PackageRecordTitleLess());
    EXPECT_EQ(records[0].name, "q");
    EXPECT_EQ(records[1].name, "a");
    EXPECT_EQ(records[2].name, "z");
}

TEST(PackageNames, RefusesNamesThatAreNotPlainFileNames) {
    for (const char *bad : {"", ".", "..", "a/b", "a\\b", "a\nb", "\x7f"})
        EXPECT_FALSE(isValidPackageName(bad)) << bad;
    for (const char *good : {"A", "STM32F4xx", "a.b-c_d", "..."})
        EXPECT_TRUE(isValidPackageName(good)) << good;
    try {
        checkPackageName("../x");
        FAIL() << "no exception";
    } catch (const HException &e) {
        EXPECT_STREQ(e.what(), "invalid package name: ../x");
    }
}

TEST(PackageDescriptionFile, DownloadedRecordsOfInstalledFilesAreDropped) {
    const std::string text =
        "<package name=\"A\" version=\"1.0\" dependencies=\"B; C;;\" custom=\"kept\">\n"
        "  <installed_file file_name=\"/etc/passwd\" crc32=\"12345678\"/>\n"
        "</package>\n";
    const PackageDescription downloaded = PackageDescription::parse(text, "a.xml", false);
    EXPECT_TRUE(downloaded.record().installedFiles.empty());
    EXPECT_EQ(downloaded.record().dependencies, (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(downloaded.toXml().find("passwd"), std::string::npos);

    const PackageDescription installed = PackageDescription::parse(text, "a.xml", true);
    ASSERT_EQ(installed.record().installedFiles.size(), 1u);
    EXPECT_EQ(installed.record().installedFiles[0].crc32, 0x12345678u);

    PackageDescription written = PackageDescription::parse(text, "a.xml", false);
    written.setInstalledFiles({{"/x/one", 0xdeadbeef}, {"/x/two", 7}});
    const PackageRecord back = PackageDescription::parse(written.toXml(), "w", true).record();
    ASSERT_EQ(back.installedFiles.size(), 2u);
    EXPECT_EQ(back.installedFiles[0].fileName, "/x/one");
    EXPECT_EQ(back.installedFiles[0].crc32, 0xdeadbeefu);
    EXPECT_EQ(back.installedFiles[1].crc32, 7u);
    EXPECT_NE(written.toXml().find("crc32=\"00000007\""), std::string::npos);
    EXPECT_NE(written.toXml().find("custom=\"kept\""), std::string::npos);
}

TEST(PackageDescriptionFile, FailuresNameTheFile) {
    try {
        PackageDescription::parse("<package name=\"A\">", "p.xml", false);
        FAIL() << "no exception";
    } catch (const HException &e) {
        EXPECT_EQ(std::string(e.what()).rfind("cannot load package description file: p.xml - ", 0),
                  0u)
            << e.what();
    }
    try {
        PackageDescription::parse("<other/>", "p.xml", false);
        FAIL() << "no exception";
    } catch (const HException &e) {
        EXPECT_STREQ(e.what(), "cannot load package description file: p.xml - no package element");
    }
    try {
        PackageDescription::load("/nonexistent/x_package.xml", true);
        FAIL() << "no exception";
    } catch (const HException &e) {
        EXPECT_STREQ(e.what(), "cannot open package description file: /nonexistent/x_package.xml");
    }
}

TEST(PackageList, RoundTripsAndSkipsUnusableNames) {
    PackageRecord record;
    record.name = "A";
    record.title = "Alpha & <Omega>";
    record.version = "1.10";
    record.kind = PackageRecord::Library;
    record.dependencies = {"B", "C"};
    record.fileName = "A.qzPackage";
    record.url = "sub/A.qzPackage";
    record.size = 5000000000ull;
    record.md5 = "0123456789abcdef0123456789abcdef";
    record.sha256 = std::string(64, 'f');
    PackageRecord bad = record;
    bad.name = "../evil";
    const std::vector<PackageRecord> back =
        parsePackageList(writePackageList({record, bad}), "list");
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].title, record.title);
    EXPECT_EQ(back[0].latestVersion, "1.10");
    EXPECT_EQ(back[0].kind, PackageRecord::Library);
    EXPECT_EQ(back[0].dependencies, record.dependencies);
    EXPECT_EQ(back[0].url, record.url);
    EXPECT_EQ(back[0].size, record.size);
    EXPECT_EQ(back[0].md5, record.md5);
    EXPECT_EQ(back[0].sha256, record.sha256);
}

class PackageCrc : public ScratchDirTest {};

TEST_F(PackageCrc, MatchesZlibAndParsesBack) {
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 300);
    const std::string file = write("data.bin", bytes);
    EXPECT_EQ(fileCrc32(file), std::uint32_t(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()),
                                                   uInt(bytes.size()))));
    EXPECT_FALSE(fileCrc32(path("missing")).has_value());
    EXPECT_EQ(parseCrc32(crc32Text(0x0badf00d)), 0x0badf00du);
    EXPECT_EQ(parseCrc32("0xFF"), 0xffu);
    EXPECT_FALSE(parseCrc32("123456789").has_value());
    EXPECT_FALSE(parseCrc32("12g4").has_value());
    EXPECT_FALSE(parseCrc32("").has_value());
}

// Every tail length around the block and padding boundaries, fed in uneven pieces after a
// reset, against the general-purpose implementation; one large file against the coreutils.
TEST_F(PackageCrc, DigestsMatchTheReferenceWhateverThePieces) {
    std::string bytes(3 * 64 + 7, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + 17);
    for (const auto &[algorithm, reference] :
         {std::pair{PackageDigest::Md5, QCryptographicHash::Md5},
          std::pair{PackageDigest::Sha256, QCryptographicHash::Sha256}}) {
        for (std::size_t size = 0; size <= bytes.size(); ++size) {
            PackageDigest hash(algorithm);
            hash.addData("stale", 5);
            hash.reset();
            for (std::size_t at = 0; at < size; at += 1 + at % 70)
                hash.addData(bytes.data() + at, std::min<std::size_t>(1 + at % 70, size - at));
            EXPECT_EQ(
                hash.hexResult(),
                QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(size)), reference)
                    .toHex()
                    .toStdString())
                << algorithm << " " << size;
        }
    }
    REQUIRE_TOOL("sha256sum", "coreutils");
    std::string big(5 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char((i * 2654435761u) >> 13);
    const std::string file = write("big.bin", big + "tail");
    EXPECT_EQ(fileSha256(file) + "\n",
              runTool("/bin/sh", {"-c", "sha256sum '" + file + "' | cut -c1-64"}).out);
    EXPECT_EQ(fileMd5(file) + "\n",
              runTool("/bin/sh", {"-c", "md5sum '" + file + "' | cut -c1-32"}).out);
    EXPECT_EQ(fileMd5(path("missing")), "");
}

// The sum and the reference are found however the bytes are split, a reference across
// pieces included; a NUL anywhere, before or after the reference, makes the file binary.
TEST(PackageFileScan, SumsAndFindsReferencesWhateverThePieces) {
    const std::string text = std::string(20, ' ') + "$(TovanDir)/x.h\n" + std::string(9, 'y');
    struct Row {
        std::string bytes;
        bool references;
    };
    const std::vector<Row> rows = {{text, true},
                                   {"$(TovanDir) $(TovanDir)x/ $(TovanDir", false},
                                   {std::string(1, '\0') + text, false},
                                   {text + std::string(1, '\0'), false}};
    for (const Row &row : rows) {
        for (std::size_t piece = 1; piece <= row.bytes.size(); ++piece) {
            PackageFileScan scan;
            for (std::size_t at = 0; at < row.bytes.size(); at += piece)
                scan.add(row.bytes.data() + at, std::min(piece, row.bytes.size() - at));
            EXPECT_EQ(scan.referencesTovanDir(), row.references) << piece << " " << row.bytes;
            EXPECT_EQ(scan.crc32(), crc32(0, reinterpret_cast<const Bytef *>(row.bytes.data()),
                                          uInt(row.bytes.size())))
                << piece;
        }
    }
}

TEST(TovanDirRewrite, EachReferenceOnItsOwn) {
    struct Row {
        const char *in, *out;
    } rows[] = {
        {"a $(TovanDir)/x and \"$(TovanDir)/y\"\n", "a /d/x and \"/d/y\"\n"},
        {"<i>$(TovanDir)/x</i>;$(TovanDir)/z", "<i>/d/x</i>;/d/z"},
        {"$(TovanDir)/start", "/d/start"},
        {"x$(TovanDir)/not", "x$(TovanDir)/not"},
        {"$(TovanDir) alone", "$(TovanDir) alone"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(PackageSystem::rewriteTovanDir(row.in, "/d"), row.out) << row.in;
}

TEST(PackageCompatibility, RequiredVersionWhenKnown) {
    PackageRecord record;
    EXPECT_FALSE(PackageSystem::incompatibility(record).has_value());
    record.buildVersion = "99.0";
    EXPECT_EQ(PackageSystem::incompatibility(record), "99.0");
    record.buildVersion.clear();
    record.tovVersions = "0;2";
    EXPECT_EQ(PackageSystem::incompatibility(record), "");
    record.tovVersions = "0;1";
    EXPECT_FALSE(PackageSystem::incompatibility(record).has_value());
    record.tovVersions = "1.0";
    EXPECT_FALSE(PackageSystem::incompatibility(record).has_value());
}

} // namespace
