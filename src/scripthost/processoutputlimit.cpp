#include "scripthost/processoutputlimit.h"

#include "script/escontext.h"
#include "script/esexception.h"

#include <QProcess>

#include <algorithm>

namespace {

// The bytes waiting in both channels; with `drop` they are discarded, without a copy.
qint64 unreadBytes(QProcess &process, bool drop = false) {
    QProcess::ProcessChannel channel = process.readChannel();
    qint64 bytes = 0;
    for (QProcess::ProcessChannel each : {QProcess::StandardOutput, QProcess::StandardError}) {
        process.setReadChannel(each);
        bytes += process.bytesAvailable();
        if (drop)
            process.skip(process.bytesAvailable());
    }
    process.setReadChannel(channel);
    return bytes;
}

} // namespace

ProcessOutputLimit::ProcessOutputLimit(QProcess &process, ESContext *context)
    : m_process(process), m_context(context) {
    // Output arrives in pipe-sized pieces, each announced: the check keeps pace with it.
    m_standardOutput =
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [this] { outputArrived(); });
    m_standardError =
        QObject::connect(&process, &QProcess::readyReadStandardError, [this] { outputArrived(); });
}

ProcessOutputLimit::~ProcessOutputLimit() {
    QObject::disconnect(m_standardOutput);
    QObject::disconnect(m_standardError);
}

void ProcessOutputLimit::check() {
    if (m_unreported) {
        m_unreported = false;
        ESContext::fatal("out of memory");
    }
}

void ProcessOutputLimit::outputArrived() {
    if (!m_dropping) {
        auto unread = std::size_t(unreadBytes(m_process));
        bool fits = unread <= kCeiling;
        if (m_context && m_context->collectionStats().collections != m_collections) {
            m_collections = m_context->collectionStats().collections;
            m_charged = 0;
        }
        if (fits && unread > m_charged && m_context) {
            // Called from the toolkit's signal: the error is kept for the script's call.
            try {
                m_context->reserveMemory(unread - m_charged);
            } catch (const ESFatalError &) {
                fits = false;
            }
        }
        if (fits) {
            m_charged = std::max(m_charged, unread);
            return;
        }
        m_dropping = true;
        m_unreported = true;
        m_process.kill();
    }
    unreadBytes(m_process, true);
}
