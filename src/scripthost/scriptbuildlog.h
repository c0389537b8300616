#pragma once

#include "build/builder.h"

class ScriptEnvironment;

// The build sink of environments whose build log is the ScriptEnvironment's: groups,
// command lines, tool output and the final status line go there in the order they come.
class ScriptBuildLog : public Builder {
public:
    explicit ScriptBuildLog(ScriptEnvironment &environment) : m_environment(environment) {}

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

private:
    ScriptEnvironment &m_environment;
};
