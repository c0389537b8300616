#pragma once

#include "build/builder.h"

#include <QDateTime>

class BuildLog;

// The sink that writes a builder's events into a build log under its own builder index, so
// that the concurrent workers of one build keep their groups apart in the same log.
class LogBuilder : public Builder {
public:
    LogBuilder(BuildLog *log, int builderIndex);

    void beginGroup(const QString &text) override;
    void endGroup(const QString &badgeText) override;
    void commandLine(const QString &command) override;
    void message(const QString &text) override;
    void error(const QString &text) override;
    void warning(const QString &text) override;
    void note(const QString &text) override;
    void output(const std::shared_ptr<DiagnosticParser> &parser, const QString &line,
                bool isErrorOutput) override;
    void stepFailed() override;
    void finished(BuildResult result) override;

    int builderIndex() const { return m_builderIndex; }
    int steps() const { return m_steps; }

private:
    BuildLog *m_log;
    int m_builderIndex;
    QDateTime m_started;
    int m_steps = 0;
};
