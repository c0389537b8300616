#include "core/regularfile.h"

#include "core/filebuffer.h"

#include "scratchdirtest.h"

#include <sys/stat.h>

namespace {

class RegularFiles : public ScratchDirTest {};

} // namespace

TEST_F(RegularFiles, ReadsWholeFilesUpToTheLimit) {
    std::string contents = "stale";
    EXPECT_EQ(readRegularFile(write("empty", ""), contents), RegularFileStatus::Ok);
    EXPECT_EQ(contents, "");
    std::string bytes(100000, 'x');
    bytes[0] = '\0';
    bytes.back() = 'y';
    EXPECT_EQ(readRegularFile(write("big", bytes), contents), RegularFileStatus::Ok);
    EXPECT_EQ(contents, bytes);

    EXPECT_EQ(readRegularFile(write("ten", "0123456789"), contents, 10), RegularFileStatus::Ok);
    EXPECT_EQ(contents, "0123456789");
    EXPECT_EQ(readRegularFile(path("ten"), contents, 9), RegularFileStatus::TooLarge);
    EXPECT_EQ(contents, "");
}

TEST_F(RegularFiles, FilesWithoutAReportedSizeAreStillCapped) {
    // /proc files report size 0 but have content: read to the end, within the limit.
    std::string contents;
    ASSERT_EQ(readRegularFile("/proc/self/status", contents), RegularFileStatus::Ok);
    EXPECT_NE(contents.find("Name:"), std::string::npos);
    EXPECT_EQ(readRegularFile("/proc/self/status", contents, 16), RegularFileStatus::TooLarge);
    EXPECT_EQ(contents, "");
}

TEST_F(RegularFiles, FileBuffersHoldTheSameBytes) {
    FileBuffer buffer;
    EXPECT_EQ(readRegularFile(write("empty", ""), buffer), RegularFileStatus::Ok);
    EXPECT_EQ(buffer.view(), "");
    std::string bytes(100000, 'x');
    bytes[0] = '\0';
    bytes.back() = 'y';
    EXPECT_EQ(readRegularFile(write("big", bytes), buffer), RegularFileStatus::Ok);
    EXPECT_EQ(buffer.view(), bytes);
    // Without a reported size the buffer grows as the file is read.
    ASSERT_EQ(readRegularFile("/proc/self/status", buffer), RegularFileStatus::Ok);
    EXPECT_NE(buffer.view().find("\nPid:"), std::string_view::npos);
    EXPECT_EQ(readRegularFile(path("big"), buffer, 99999), RegularFileStatus::TooLarge);
    EXPECT_EQ(buffer.view(), "");
    EXPECT_EQ(readRegularFile(path("missing"), buffer), RegularFileStatus::CannotOpen);
}

TEST_F(RegularFiles, OnlyRegularFilesAreRead) {
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    std::string contents;
    // Neither blocks: a pipe without a writer, a device without an end.
    EXPECT_EQ(readRegularFile(path("pipe"), contents), RegularFileStatus::NotRegularFile);
    EXPECT_EQ(readRegularFile("/dev/zero", contents), RegularFileStatus::NotRegularFile);
    EXPECT_EQ(readRegularFile(m_dir.path().toStdString(), contents),
              RegularFileStatus::NotRegularFile);
    EXPECT_EQ(readRegularFile(path("missing"), contents), RegularFileStatus::CannotOpen);
    EXPECT_EQ(readRegularFileHead(path("pipe"), contents, 10), RegularFileStatus::NotRegularFile);
    EXPECT_EQ(readRegularFileHead("/dev/zero", contents, 10), RegularFileStatus::NotRegularFile);
}

TEST_F(RegularFiles, HeadsStopAtTheCount) {
    std::string contents;
    EXPECT_EQ(readRegularFileHead(write("f", "0123456789"), contents, 4), RegularFileStatus::Ok);
    EXPECT_EQ(contents, "0123");
    EXPECT_EQ(readRegularFileHead(path("f"), contents, 40), RegularFileStatus::Ok);
    EXPECT_EQ(contents, "0123456789");
}

TEST(RegularFileErrors, SayWhy) {
    EXPECT_EQ(regularFileError(RegularFileStatus::Ok), "");
    EXPECT_EQ(regularFileError(RegularFileStatus::NotRegularFile), "not a regular file");
    EXPECT_EQ(regularFileError(RegularFileStatus::TooLarge), "larger than 256 MiB");
    EXPECT_EQ(regularFileError(RegularFileStatus::TooLarge, 1000), "larger than 1000 bytes");
}
