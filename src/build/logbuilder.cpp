#include "build/logbuilder.h"

#include "build/buildlog.h"

LogBuilder::LogBuilder(BuildLog *log, int builderIndex)
    : m_log(log), m_builderIndex(builderIndex), m_started(QDateTime::currentDateTime()) {}

void LogBuilder::beginGroup(const QString &text) {
    m_log->beginGroup(text, BuildLog::NoFlags, m_builderIndex);
}

void LogBuilder::endGroup(const QString &badgeText) {
    m_log->endGroup(m_log->groupItem(m_builderIndex), QString(), badgeText);
}

void LogBuilder::commandLine(const QString &command) {
    ++m_steps;
    m_log->addMessage(m_builderIndex, nullptr, command, BuildLog::CommandLine);
}

void LogBuilder::message(const QString &text) {
    m_log->addLine(m_builderIndex, nullptr, Bookmark::Plain, text, BuildLog::NoFlags);
}

void LogBuilder::error(const QString &text) {
    m_log->addLine(m_builderIndex, nullptr, Bookmark::Error, text, BuildLog::NoFlags);
}

void LogBuilder::warning(const QString &text) {
    m_log->addLine(m_builderIndex, nullptr, Bookmark::Warning, text, BuildLog::NoFlags);
}

void LogBuilder::note(const QString &text) {
    m_log->addLine(m_builderIndex, nullptr, Bookmark::Note, text, BuildLog::NoFlags);
}

void LogBuilder::output(const std::shared_ptr<DiagnosticParser> &parser, const QString &line,
                        bool isErrorOutput) {
    m_log->processOutput(m_builderIndex, parser, nullptr, line, isErrorOutput);
}

void LogBuilder::stepFailed() {
    m_log->stepFailed(m_log->groupItem(m_builderIndex));
}

void LogBuilder::finished(BuildResult result) {
    m_log->buildFinished(result, m_started, m_steps);
}
