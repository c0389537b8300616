#include "build/outputlinesplitter.h"

#include "build/diagnosticparser.h"

#include <cstring>
#include <utility>

OutputLineSplitter::OutputLineSplitter(LineHandler handler, Mode mode)
    : m_handler(std::move(handler)), m_mode(mode) {}

void OutputLineSplitter::feed(const char *data, qsizetype size) {
    const char *end = data + size;
    while (data < end) {
        const char *newline =
            static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        if (!newline) {
            m_partial.append(data, end - data);
            return;
        }
        if (m_partial.isEmpty()) {
            deliver(data, newline - data);
        } else {
            m_partial.append(data, newline - data);
            deliver(m_partial.constData(), m_partial.size());
            m_partial.clear();
        }
        data = newline + 1;
    }
}

void OutputLineSplitter::finish() {
    if (m_partial.isEmpty())
        return;
    QByteArray last = std::exchange(m_partial, {});
    deliver(last.constData(), last.size());
}

void OutputLineSplitter::deliver(const char *data, qsizetype size) {
    QString line = QString::fromUtf8(data, size);
    m_handler(m_mode == Clean ? DiagnosticParser::cleanLine(line) : line);
}
