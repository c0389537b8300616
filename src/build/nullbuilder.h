#pragma once

#include "build/builder.h"

// Discards every event: the sink of silent questions, such as whether a project is up to date.
class NullBuilder : public Builder {
public:
    void beginGroup(const QString &) override {}
    void endGroup(const QString &) override {}
    void commandLine(const QString &) override {}
    void message(const QString &) override {}
    void error(const QString &) override {}
    void warning(const QString &) override {}
    void note(const QString &) override {}
    void output(const std::shared_ptr<DiagnosticParser> &, const QString &, bool) override {}
    void stepFailed() override {}
    void finished(BuildResult) override {}
};
