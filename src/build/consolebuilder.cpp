#include "build/consolebuilder.h"

void ConsoleBuilder::line(const char *prefix, const QString &text) {
    // Put, not printed: a build with nothing to do writes a line per object.
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fputs(prefix, m_out) == EOF || std::fputs(bytes.constData(), m_out) == EOF ||
        std::fputc('\n', m_out) == EOF)
        m_failed = true;
}

void ConsoleBuilder::beginGroup(const QString &text) {
    line("", text);
}

void ConsoleBuilder::endGroup(const QString &) {}

void ConsoleBuilder::commandLine(const QString &command) {
    line("", command);
}

void ConsoleBuilder::message(const QString &text) {
    line("", text);
}

void ConsoleBuilder::error(const QString &text) {
    line("error: ", text);
}

void ConsoleBuilder::warning(const QString &text) {
    line("warning: ", text);
}

void ConsoleBuilder::note(const QString &text) {
    line("note: ", text);
}

void ConsoleBuilder::output(const std::shared_ptr<DiagnosticParser> &, const QString &text, bool) {
    line("", text);
}

void ConsoleBuilder::finished(BuildResult result) {
    line("", finalStatusText(result));
    if (std::fflush(m_out) != 0)
        m_failed = true;
}
