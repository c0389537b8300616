#pragma once

#include "build/builder.h"

#include <QStringList>

// A sink that keeps every event as one line of text ("message: ...", "output: ..."), so a
// test can compare what a worker reported with what it expects.
class RecordingBuilder : public Builder {
public:
    void beginGroup(const QString &text) override { events << "begin: " + text; }
    void endGroup(const QString &badgeText) override { events << "end: " + badgeText; }
    void commandLine(const QString &command) override { events << "command: " + command; }
    void message(const QString &text) override { events << "message: " + text; }
    void error(const QString &text) override { events << "error: " + text; }
    void warning(const QString &text) override { events << "warning: " + text; }
    void note(const QString &text) override { events << "note: " + text; }
    void output(const std::shared_ptr<DiagnosticParser> &, const QString &line,
                bool isErrorOutput) override {
        events << (isErrorOutput ? "stderr: " : "stdout: ") + line;
    }
    void stepFailed() override { events << QStringLiteral("failed"); }
    void finished(BuildResult result) override { events << "finished: " + finalStatusText(result); }

    QStringList events;
};
