#include "core/replacementfile.h"

#include "golden.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ReplacementFiles : public ::testing::Test {
protected:
    std::string path(const std::string &name) const {
        return m_dir.path().toStdString() + "/" + name;
    }
    // Every name in the directory, hidden ones included: a leftover temporary shows here.
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    static void writeText(int fd, const std::string &text) {
        ASSERT_EQ(::write(fd, text.data(), text.size()), ssize_t(text.size()));
    }

    QTemporaryDir m_dir;
};

TEST_F(ReplacementFiles, UncommittedLeavesTheOldFileAndNoTemporary) {
    std::string target = path("out.bin");
    writeFileBytes(target, "old");
    {
        ReplacementFile file(target);
        int fd = file.create(0644);
        ASSERT_GE(fd, 0);
        writeText(fd, "new but abandoned");
    }
    EXPECT_EQ(readFileBytes(target), "old");
    EXPECT_EQ(entries(), QStringList{"out.bin"});
}

TEST_F(ReplacementFiles, CommitReplacesOrRefusesAnExistingFile) {
    std::string target = path("out.bin");
    writeFileBytes(target, "old");
    {
        ReplacementFile file(target);
        writeText(file.create(0644), "kept out");
        EXPECT_FALSE(file.commit(false));
        EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_EQ(readFileBytes(target), "old");
    ReplacementFile file(target);
    writeText(file.create(0644), "new");
    ASSERT_TRUE(file.commit(true));
    EXPECT_EQ(readFileBytes(target), "new");
    EXPECT_EQ(entries(), QStringList{"out.bin"});
}

TEST_F(ReplacementFiles, AMissingDirectoryFailsOnCreate) {
    ReplacementFile file(path("missing/out.bin"));
    EXPECT_LT(file.create(0644), 0);
    EXPECT_FALSE(file.commit(true));
}

TEST_F(ReplacementFiles, AnOutputBehindALinkIsReplacedAndTheLinkKept) {
    std::string target = path("real.bin"), link = path("link.bin");
    writeFileBytes(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ReplacementFile file(link);
    writeText(file.openOutput(0666), "new");
    ASSERT_TRUE(file.commit(true));
    struct stat info;
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readFileBytes(target), "new");
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its mode";
}

TEST_F(ReplacementFiles, DevicesAreWrittenInPlaceAndDirectoriesRefused) {
    {
        ReplacementFile file("/dev/null");
        int fd = file.openOutput(0666);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(file.writesInPlace());
        writeText(fd, "gone");
        EXPECT_TRUE(file.commit(true));
    }
    struct stat info;
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));

    ReplacementFile directory(m_dir.path().toStdString());
    EXPECT_LT(directory.openOutput(0666), 0);
    EXPECT_EQ(errno, EISDIR);
}

} // namespace
