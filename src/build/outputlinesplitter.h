#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Cuts the bytes a tool prints into lines as they arrive, in chunks of any size. Each line
// is decoded as UTF-8 (invalid bytes become U+FFFD) and, unless verbatim, cleaned of carriage
// returns and terminal sequences; a last line without a line break is still delivered by
// finish().
class OutputLineSplitter {
public:
    using LineHandler = std::function<void(const QString &line)>;
    // Verbatim lines keep every character the tool printed, for sinks that pass them on.
    enum Mode { Clean, Verbatim };

    explicit OutputLineSplitter(LineHandler handler, Mode mode = Clean);

    void feed(const char *data, qsizetype size);
    void feed(const QByteArray &data) { feed(data.constData(), data.size()); }
    // Delivers the unfinished last line, if any.
    void finish();

private:
    void deliver(const char *data, qsizetype size);

    LineHandler m_handler;
    Mode m_mode;
    QByteArray m_partial;
};
