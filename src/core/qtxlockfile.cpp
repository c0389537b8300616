#include "core/qtxlockfile.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QThread>

namespace QTx {

namespace {

// Between two attempts: a few milliseconds, different for every waiter, so that waiters
// that woke together do not collide again on the next attempt.
constexpr int kMinimumStepUs = 500;
constexpr int kMaximumStepUs = 4000;

} // namespace

LockFile::LockFile(const QString &path) : m_path(path), m_lock(path) {
    // Age alone never makes a lock stale: only a holder that is gone does.
    m_lock.setStaleLockTime(0);
}

LockFile::~LockFile() {
    unlock();
}

bool LockFile::lock(int timeoutMs) {
    m_error.clear();
    if (m_lock.isLocked())
        return true;
    QDeadlineTimer deadline(qMax(timeoutMs, 0));
    for (;;) {
        // One attempt; QLockFile removes a lock whose holder no longer runs and retries.
        if (m_lock.tryLock(0))
            return true;
        switch (m_lock.error()) {
        case QLockFile::PermissionError:
            m_error = QStringLiteral("couldn't lock %1: permission denied").arg(m_path);
            return false;
        case QLockFile::UnknownError:
            m_error = QStringLiteral("couldn't lock %1").arg(m_path);
            return false;
        default:
            break;
        }
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("couldn't lock %1: still held by another process after %2 ms")
                          .arg(m_path)
                          .arg(timeoutMs);
            return false;
        }
        int step = int(QRandomGenerator::global()->bounded(kMinimumStepUs, kMaximumStepUs));
        QThread::usleep(
            static_cast<unsigned long>(qMin<qint64>(step, deadline.remainingTime() * 1000 + 1)));
    }
}

void LockFile::unlock() {
    if (m_lock.isLocked())
        m_lock.unlock();
}

} // namespace QTx
