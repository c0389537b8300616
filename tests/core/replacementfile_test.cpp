#include "core/replacementfile.h"

#include "golden.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

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

} // namespace
