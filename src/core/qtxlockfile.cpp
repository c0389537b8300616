#include "core/qtxlockfile.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <atomic>

namespace QTx {

namespace {

// Between two attempts: a few milliseconds, different for every waiter, so that waiters
// that woke together do not collide again on the next attempt. Once a waiter has waited a
// while its steps get shorter, so that long waiters tend to win the next release.
constexpr int kStepUs[] = {500, 4000};
constexpr int kPatientAfterMs = 150;
constexpr int kPatientStepUs[] = {100, 800};

// A process that locks again right after releasing would win every time against waiters that
// are asleep between attempts, and starve them. So a lock taken within this window after the
// process's own release first pauses for about one step.
constexpr qint64 kCourtesyWindowNs = 5'000'000;
constexpr int kCourtesyPauseUs[] = {3000, 4000};

qint64 steadyNanoseconds() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.nsecsElapsed();
}

std::atomic<qint64> g_lastReleaseNs{-1};

void pause(const int (&range)[2], qint64 remainingMs) {
    int step = int(QRandomGenerator::global()->bounded(range[0], range[1]));
    QThread::usleep(static_cast<unsigned long>(qMin<qint64>(step, remainingMs * 1000 + 1)));
}

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
    const qint64 lastRelease = g_lastReleaseNs.load();
    if (lastRelease >= 0 && steadyNanoseconds() - lastRelease < kCourtesyWindowNs)
        pause(kCourtesyPauseUs, deadline.remainingTime());
    const qint64 startedNs = steadyNanoseconds();
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
        const bool patient = steadyNanoseconds() - startedNs > qint64(kPatientAfterMs) * 1'000'000;
        pause(patient ? kPatientStepUs : kStepUs, deadline.remainingTime());
    }
}

void LockFile::unlock() {
    if (!m_lock.isLocked())
        return;
    m_lock.unlock();
    g_lastReleaseNs.store(steadyNanoseconds());
}

} // namespace QTx
