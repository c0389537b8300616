#pragma once

#include <QMetaObject>

#include <cstddef>
#include <cstdint>

class ESContext;
class QProcess;

// Bounds the output of a script's child process that waits unread: as it arrives, its
// growth is charged to the memory limit of the script's context, as byte images are, and
// the whole to a ceiling that holds without a limit too. Once either would be passed the
// child is killed and its output dropped, so that the script gets no part of it: `check`
// then fails with "out of memory".
class ProcessOutputLimit {
public:
    // `context` may be null: then only the ceiling applies.
    ProcessOutputLimit(QProcess &process, ESContext *context);
    ~ProcessOutputLimit();
    ProcessOutputLimit(const ProcessOutputLimit &) = delete;
    ProcessOutputLimit &operator=(const ProcessOutputLimit &) = delete;

    // More than any script string holds, four bytes per character.
    static constexpr std::size_t kCeiling = std::size_t(1) << 30;

    // For a new start of the process: its output is kept again.
    void restart() { m_dropping = false; }
    // Throws "out of memory" if the output was dropped since the last check.
    void check();

private:
    void outputArrived();

    QProcess &m_process;
    ESContext *m_context;
    // The most unread output charged since the context's last collection, which forgets
    // the charge: reading and refilling up to it costs nothing until then.
    std::size_t m_charged = 0;
    std::uint64_t m_collections = 0;
    bool m_dropping = false;
    bool m_unreported = false;
    QMetaObject::Connection m_standardOutput;
    QMetaObject::Connection m_standardError;
};
