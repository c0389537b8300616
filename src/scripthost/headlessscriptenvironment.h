#pragma once

#include "scripthost/scriptenvironment.h"

#include "project/macroexpander.h"

#include <QHash>

#include <functional>

// The environment without a window: output and build-log lines go to one text sink,
// message boxes and questions to another (questions take a preset answer), settings live in
// memory, and the macros are the program's system macros.
class HeadlessScriptEnvironment : public ScriptEnvironment {
public:
    using Sink = std::function<void(const QString &)>;

    // Both sinks default to standard output and standard error.
    HeadlessScriptEnvironment();

    void setOutput(Sink sink) { m_output = std::move(sink); }
    void setMessageOutput(Sink sink) { m_messages = std::move(sink); }
    void setAnswer(bool yes) { m_answer = yes; }
    void setCurrentDeviceName(const QString &name) { m_deviceName = name; }
    void setScriptDirectory(const QString &directory) { m_scriptDirectory = directory; }

    void output(const QString &text) override;
    bool askYesNo(const QString &title, const QString &question) override;
    void showMessage(MessageKind kind, const QString &title, const QString &text) override;
    MacroExpander &macros() override { return m_macros; }
    QString setting(SettingsScope scope, const QString &name) override;
    void setSetting(SettingsScope scope, const QString &name, const QString &value) override;
    void removeSetting(SettingsScope scope, const QString &name) override;
    void clearBuildLog() override;
    void beginBuildLogGroup(const QString &name) override;
    void endBuildLogGroup() override;
    void outputBuildLog(BuildLogKind kind, const QString &text) override;
    QString currentDeviceName() override { return m_deviceName; }
    QString scriptDirectory() override { return m_scriptDirectory; }

private:
    Sink m_output;
    Sink m_messages;
    bool m_answer = false;
    QString m_deviceName;
    QString m_scriptDirectory;
    MacroExpander m_macros;
    QHash<QString, QString> m_settings[3];
    int m_buildLogDepth = 0;
};
