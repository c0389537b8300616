#include "scripthost/scriptbuildlog.h"

#include "scripthost/scriptenvironment.h"

void ScriptBuildLog::beginGroup(const QString &text) {
    m_environment.beginBuildLogGroup(text);
}

void ScriptBuildLog::endGroup(const QString &badgeText) {
    if (!badgeText.isEmpty())
        m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, badgeText);
    m_environment.endBuildLogGroup();
}

void ScriptBuildLog::commandLine(const QString &command) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, command);
}

void ScriptBuildLog::message(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, text);
}

void ScriptBuildLog::error(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogError, text);
}

void ScriptBuildLog::warning(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogWarning, text);
}

void ScriptBuildLog::note(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, text);
}

void ScriptBuildLog::output(const std::shared_ptr<DiagnosticParser> &, const QString &line, bool) {
    // The tools' own lines carry their diagnostics as the tools wrote them.
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, line);
}

void ScriptBuildLog::finished(BuildResult result) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, finalStatusText(result));
}
