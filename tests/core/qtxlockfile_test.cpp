#include "core/qtxlockfile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

class LockFiles : public ::testing::Test {
protected:
    QString lockPath() const { return m_dir.filePath(QStringLiteral("file.lck")); }
    QTemporaryDir m_dir;
};

TEST_F(LockFiles, LockIsExclusiveAndReleasedOnDestruction) {
    {
        QTx::LockFile first(lockPath());
        ASSERT_TRUE(first.lock());
        EXPECT_TRUE(first.isLocked());
        EXPECT_TRUE(QFileInfo::exists(lockPath()));

        QTx::LockFile second(lockPath());
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(second.lock(150));
        // Waited out the time-out, but not much longer: the steps are short.
        EXPECT_GE(timer.elapsed(), 140);
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_EQ(second.errorString(),
                  QStringLiteral("couldn't lock %1: still held by another process after 150 ms")
                      .arg(lockPath()));
    }
    EXPECT_FALSE(QFileInfo::exists(lockPath()));
    QTx::LockFile again(lockPath());
    EXPECT_TRUE(again.lock(0));
    EXPECT_TRUE(again.errorString().isEmpty());
}

TEST_F(LockFiles, LockOfAHolderThatDiedIsTakenOver) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QTx::LockFile held(lockPath());
        // Leaves without releasing, as a killed process would.
        ::_exit(held.lock() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFileInfo::exists(lockPath()));

    QTx::LockFile taker(lockPath());
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(taker.lock());
    EXPECT_LT(timer.elapsed(), 500);
}

TEST_F(LockFiles, ALiveHolderKeepsAnOldLock) {
    QTx::LockFile held(lockPath());
    ASSERT_TRUE(held.lock());
    // An old time stamp alone must not make the lock look abandoned.
    QFile file(lockPath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                 QFileDevice::FileModificationTime));
    file.close();
    QTx::LockFile other(lockPath());
    EXPECT_FALSE(other.lock(50));
}

TEST_F(LockFiles, MissingDirectoryIsAnError) {
    QTx::LockFile lock(m_dir.filePath(QStringLiteral("absent/file.lck")));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(lock.lock());
    EXPECT_FALSE(lock.errorString().isEmpty());
    // Reported at once: waiting cannot make the directory appear.
    EXPECT_LT(timer.elapsed(), 500);
}

} // namespace
