// Our reader against archives built by python's zlib and bz2, and our writer against python's
// parser of the same layouts.

#include "packages/packagearchive.h"

#include "crosstool.h"
#include "golden.h"
#include "toolrunner.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

ToolResult runPython(const std::vector<std::string> &arguments) {
    std::string python = QStandardPaths::findExecutable("python3").toStdString();
    std::vector<std::string> all = {ARCHIVE_CROSSCHECK_SCRIPT};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runTool(python, all);
}

TEST(ArchiveCrossCheck, ReadsArchivesBuiltByPython) {
    REQUIRE_TOOL("python3", "python3");
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    ToolResult made = runPython({"make", root});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const QJsonArray archives =
        QJsonDocument::fromJson(QByteArray::fromStdString(readFileBytes(root + "/manifest.json")))
            .object()["archives"]
            .toArray();
    ASSERT_GE(archives.size(), 11);
    for (const QJsonValue &value : archives) {
        const QJsonObject expected = value.toObject();
        SCOPED_TRACE(expected["file"].toString().toStdString());
        PackageArchive archive;
        archive.openArchive(root + "/" + expected["file"].toString().toStdString(),
                            std::uint64_t(expected["start"].toInt()));
        EXPECT_EQ(archive.version(), expected["version"].toInt());
        EXPECT_EQ(archive.algorithm(), expected["algorithm"].toInt());
        const QJsonArray entries = expected["entries"].toArray();
        ASSERT_EQ(archive.files().size(), std::size_t(entries.size()));
        // Last to first, so every entry is reached by restarting the decompression.
        for (qsizetype i = entries.size() - 1; i >= 0; --i) {
            const QJsonObject entry = entries[i].toObject();
            const PackageArchiveFile file = archive.files()[std::size_t(i)];
            EXPECT_EQ(file.name(), entry["name"].toString().toStdString());
            EXPECT_EQ(file.size(), std::uint32_t(entry["size"].toInteger()));
            EXPECT_EQ(file.mode(), std::uint32_t(entry["mode"].toInteger()));
            EXPECT_EQ(file.modificationTime(), std::uint32_t(entry["mtime"].toInteger()));
            EXPECT_EQ(archive.fileData(file),
                      QByteArray::fromHex(entry["hex"].toString().toLatin1()).toStdString());
        }
    }
}

struct WriterCase {
    const char *name;
    int version, algorithm, level;
    bool empty;
    int threads = 1;
};

class ArchiveWriterCrossCheck : public ::testing::TestWithParam<WriterCase> {};

TEST_P(ArchiveWriterCrossCheck, PythonParsesWhatWeWrite) {
    REQUIRE_TOOL("python3", "python3");
    const WriterCase c = GetParam();
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    writeFileBytes(root + "/disk.txt", std::string(5000, 'd'));

    PackageArchive archive;
    archive.setVersion(c.version);
    archive.setAlgorithm(c.algorithm);
    archive.setThreads(c.threads);
    if (!c.empty) {
        std::string noise(150000, '\0');
        for (std::size_t i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 2654435761u) >> 13);
        archive.addData("src/board_package.xml", "<package/>\n");
        archive.addData("empty", "");
        archive.addData("bin/noise", noise);
        archive.addFile(root + "/disk.txt", "docs/disk.txt");
        archive.addData(std::string(c.version == 2 ? 300 : 1023, 'L'), "long\n");
    }
    archive.saveArchive(root + "/ours.qzArchive", c.level);

    QJsonArray entries;
    for (const PackageArchiveFile &file : archive.files()) {
        QJsonObject entry;
        entry["name"] = QString::fromStdString(file.name());
        entry["size"] = qint64(file.size());
        entry["mode"] = qint64(file.mode());
        entry["mtime"] = qint64(file.modificationTime());
        entry["hex"] =
            QString::fromLatin1(QByteArray::fromStdString(archive.fileData(file)).toHex());
        entries.append(entry);
    }
    QJsonObject expected{{"file", "ours.qzArchive"},
                         {"version", c.version},
                         {"algorithm", c.algorithm},
                         {"level", c.level},
                         {"entries", entries}};
    QJsonObject manifest{{"archives", QJsonArray{expected}}};
    writeFileBytes(root + "/manifest.json", QJsonDocument(manifest).toJson().toStdString());

    ToolResult checked = runPython({"check", root + "/ours.qzArchive", root + "/manifest.json"});
    EXPECT_EQ(checked.out, "ok\n") << checked.err;
    EXPECT_EQ(checked.exitCode, 0);
}

// Levels out of range are clamped: above 9 means 9, negative means 7, and bzip2's smallest
// block stands in for level 0.
INSTANTIATE_TEST_SUITE_P(Layouts, ArchiveWriterCrossCheck,
                         ::testing::Values(WriterCase{"v1_zlib_7", 1, 0, 7, false},
                                           WriterCase{"v1_zlib_default", 1, 0, -1, false},
                                           WriterCase{"v1_empty", 1, 0, 3, true},
                                           WriterCase{"v2_zlib_1", 2, 0, 1, false},
                                           WriterCase{"v2_zlib_6", 2, 0, 6, false},
                                           WriterCase{"v2_zlib_clamped", 2, 0, 40, false},
                                           WriterCase{"v2_bzip2_9", 2, 1, 9, false},
                                           WriterCase{"v2_bzip2_0", 2, 1, 0, false},
                                           WriterCase{"v2_bzip2_default", 2, 1, -5, true},
                                           WriterCase{"v1_zlib_threads", 1, 0, 9, false, 3},
                                           WriterCase{"v2_zlib_threads", 2, 0, 0, false, 2},
                                           WriterCase{"v2_bzip2_threads", 2, 1, 1, false, 4},
                                           WriterCase{"v2_bzip2_empty_threads", 2, 1, 9, true, 2}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
