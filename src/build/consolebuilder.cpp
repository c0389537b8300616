#include "build/consolebuilder.h"

void ConsoleBuilder::line(const char *prefix, const QString &text) {
    const QByteArray bytes = text.toLocal8Bit();
    if (std::fprintf(m_out, "%s%s\n", prefix, bytes.constData()) < 0)
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
