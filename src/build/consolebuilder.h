#pragma once

#include "build/builder.h"

#include <cstdio>

// The sink of command-line builds: one line per group, command line and message, errors,
// warnings and notes with their kind in front ("error: ..."), tool output verbatim, and the
// final status line last. Not thread-safe: the engine calls a sink from one thread at a time.
class ConsoleBuilder : public Builder {
public:
    explicit ConsoleBuilder(std::FILE *out) : m_out(out) {}

    void beginGroup(const QString &text) override;
    void endGroup(const QString &badgeText) override;
    void commandLine(const QString &command) override;
    void message(const QString &text) override;
    void error(const QString &text) override;
    void warning(const QString &text) override;
    void note(const QString &text) override;
    void output(const std::shared_ptr<DiagnosticParser> &parser, const QString &line,
                bool isErrorOutput) override;
    void stepFailed() override {}
    void finished(BuildResult result) override;

    // Whether every line reached the output.
    bool ok() const { return !m_failed; }

private:
    void line(const char *prefix, const QString &text);

    std::FILE *m_out;
    bool m_failed = false;
};
