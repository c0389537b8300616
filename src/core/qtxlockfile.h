#pragma once

#include <QLockFile>
#include <QString>

namespace QTx {

// An exclusive lock between processes, held as a lock file beside the data it guards.
//
// Waiting polls in short, randomly jittered steps instead of QLockFile's doubling back-off:
// with a handful of writers that each hold the lock for a few milliseconds, a back-off that
// grows to hundreds of milliseconds lets the others win every time and the loser times out.
// For the same reason a process that locks again right after its own release gives the
// waiters a moment first, and waiters poll faster the longer they have waited.
// A lock whose holder died is recognised by the holder's process id and taken over; a lock
// held by a live process is never taken, however old it is.
class LockFile {
public:
    explicit LockFile(const QString &path);
    ~LockFile(); // releases the lock when held
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;

    static constexpr int kDefaultTimeoutMs = 1000;

    // Takes the lock, waiting at most `timeoutMs` milliseconds. False with errorString()
    // set when it cannot be had.
    bool lock(int timeoutMs = kDefaultTimeoutMs);
    void unlock();
    bool isLocked() const { return m_lock.isLocked(); }

    const QString &path() const { return m_path; }
    // Why the last lock() failed; empty after a success.
    const QString &errorString() const { return m_error; }

private:
    QString m_path;
    QLockFile m_lock;
    QString m_error;
};

} // namespace QTx
