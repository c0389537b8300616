#pragma once

#include "scripthost/scriptenvironment.h"

#include "project/macroexpander.h"
#include "project/propertyregistry.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>

class Builder;
class ProjectElement;
class Settings;
class StandardProjectSystem;

// The environment without a window: output and build-log lines go to one text sink,
// message boxes and questions to another (questions take a preset answer), settings live in
// memory unless a settings file is attached, and the macros are the program's system macros.
// A solution opens with the standard project system; the debugger and the package system are
// the caller's, attached while they live.
class HeadlessScriptEnvironment : public ScriptEnvironment {
public:
    using Sink = std::function<void(const QString &)>;

    // Both sinks default to standard output and standard error.
    HeadlessScriptEnvironment();
    ~HeadlessScriptEnvironment() override;

    void setOutput(Sink sink) { m_output = std::move(sink); }
    void setMessageOutput(Sink sink) { m_messages = std::move(sink); }
    void setAnswer(bool yes) { m_answer = yes; }
    void setCurrentDeviceName(const QString &name) { m_deviceName = name; }
    void setScriptDirectory(const QString &directory) { m_scriptDirectory = directory; }
    // Keeps the scope's settings in the file: read at once, written on every change. False
    // when an existing file cannot be read.
    bool attachSettingsFile(SettingsScope scope, const QString &path);
    void setDebugger(SymbolicDebuggerInterface *debugger) { m_debugger = debugger; }
    void setPackageSystem(PackageSystem *packages) { m_packages = packages; }
    ProjectElement *solution() const;

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
    // Dialogs are cancelled; there is no browser, no action and no update service.
    QStringList browse(FileDialog dialog, const QString &caption, const QString &dir,
                       const QString &filter) override;
    bool openUrl(const QString &) override { return false; }
    void closeWindow(int status) override { m_closeStatus = status; }
    bool activateAction(const QString &) override { return false; }
    QVariantList newsFeed() override { return {}; }
    QString releaseUpdateUrl() override { return {}; }
    QString releaseUpdateVersion() override { return {}; }
    // The status a script closed the window with, if it did.
    std::optional<int> closeStatus() const { return m_closeStatus; }
    bool openSolution(const QString &fileName) override;
    QString solutionFileName() override { return m_solutionFile; }
    QString solutionAttribute(const QString &name) override;
    bool setSolutionAttribute(const QString &name, const QString &value) override;
    QString activeProject() override { return m_activeProject; }
    bool setActiveProject(const QString &name) override;
    QString buildConfiguration() override { return m_configuration; }
    bool setBuildConfiguration(const QString &name) override;
    QStringList batchBuildConfigurations(const QString &project) override;
    // No property names target processors: the list is empty and the build is the one.
    QStringList targetProcessors() override { return {}; }
    QString targetProcessor() override { return {}; }
    bool setTargetProcessor(const QString &name) override { return name.isEmpty(); }
    BuildResult build(const BuildRequest &request) override;
    SymbolicDebuggerInterface *debugger() override { return m_debugger; }
    void stopDebugging() override { m_debugger = nullptr; }
    PackageSystem *packages() override { return m_packages; }
    QString scriptDirectory() override { return m_scriptDirectory; }

private:
    ProjectElement *findProject(const QString &name) const;

    Sink m_output;
    Sink m_messages;
    bool m_answer = false;
    QString m_deviceName;
    QString m_scriptDirectory;
    MacroExpander m_macros;
    QHash<QString, QString> m_settings[3];
    std::unique_ptr<Settings> m_settingsFiles[3];
    PropertyRegistry m_registry;
    std::unique_ptr<StandardProjectSystem> m_projects;
    QString m_solutionFile;
    QString m_activeProject;
    QString m_configuration;
    SymbolicDebuggerInterface *m_debugger = nullptr;
    PackageSystem *m_packages = nullptr;
    int m_buildLogDepth = 0;
    std::optional<int> m_closeStatus;
};
