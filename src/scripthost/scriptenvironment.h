#pragma once

#include "build/buildresult.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class ESContext;
class JavaScriptTovanObject;
class MacroExpander;
class PackageSystem;
class SymbolicDebuggerInterface;
struct BuildRequest;

// What scripts reach of the environment: the main window's side of the host objects. The
// window implements it; HeadlessScriptEnvironment stands in for it on the command line and
// in tests.
class ScriptEnvironment {
public:
    enum SettingsScope { EnvironmentSettings, UserSettings, SessionSettings };
    enum MessageKind { Information, Warning, Error };
    enum BuildLogKind { BuildLogMessage, BuildLogWarning, BuildLogError };

    ScriptEnvironment();
    virtual ~ScriptEnvironment();
    ScriptEnvironment(const ScriptEnvironment &) = delete;
    ScriptEnvironment &operator=(const ScriptEnvironment &) = delete;

    // Output: the output terminal that WScript.Echo and the console write to.
    virtual void output(const QString &text) = 0;
    // Questions and message boxes.
    virtual bool askYesNo(const QString &title, const QString &question) = 0;
    virtual void showMessage(MessageKind kind, const QString &title, const QString &text) = 0;

    // Macros: the system and global layers.
    virtual MacroExpander &macros() = 0;

    // Settings by slash-separated name; an absent setting reads as empty.
    virtual QString setting(SettingsScope scope, const QString &name) = 0;
    virtual void setSetting(SettingsScope scope, const QString &name, const QString &value) = 0;
    virtual void removeSetting(SettingsScope scope, const QString &name) = 0;

    // The build log.
    virtual void clearBuildLog() = 0;
    virtual void beginBuildLogGroup(const QString &name) = 0;
    virtual void endBuildLogGroup() = 0;
    virtual void outputBuildLog(BuildLogKind kind, const QString &text) = 0;

    // Identity: the selected target device ("" when none).
    virtual QString currentDeviceName() = 0;

    // The window. A file dialog answers the paths chosen, none when it was cancelled; the
    // filter is a list of name patterns such as "Images (*.hex *.bin)".
    enum FileDialog { ExistingDirectory, ExistingFile, ExistingFiles, SaveFile };
    virtual QStringList browse(FileDialog dialog, const QString &caption, const QString &dir,
                               const QString &filter) = 0;
    // Shows the page in a browser; false when it could not.
    virtual bool openUrl(const QString &url) = 0;
    // Closes the window once the running script has returned; the environment then exits
    // with the status.
    virtual void closeWindow(int status) = 0;
    // Triggers the window's action of that name; false when there is none.
    virtual bool activateAction(const QString &name) = 0;
    // What the update service last offered: news items (objects with title, url and date)
    // and a newer release (empty when none).
    virtual QVariantList newsFeed() = 0;
    virtual QString releaseUpdateUrl() = 0;
    virtual QString releaseUpdateVersion() = 0;

    // The open solution, its active project and build configuration (empty when there is
    // none). Opening reports why it failed; the setters refuse a name the solution lacks.
    virtual bool openSolution(const QString &fileName) = 0;
    virtual QString solutionFileName() = 0;
    virtual QString solutionAttribute(const QString &name) = 0;
    virtual bool setSolutionAttribute(const QString &name, const QString &value) = 0;
    virtual QString activeProject() = 0;
    virtual bool setActiveProject(const QString &name) = 0;
    virtual QString buildConfiguration() = 0;
    virtual bool setBuildConfiguration(const QString &name) = 0;
    // The configurations a batch build of the project (empty: the solution) goes through.
    virtual QStringList batchBuildConfigurations(const QString &project) = 0;
    // The target processors the active project can be built for, and the chosen one.
    virtual QStringList targetProcessors() = 0;
    virtual QString targetProcessor() = 0;
    virtual bool setTargetProcessor(const QString &name) = 0;
    // Runs a build of the open solution to its end, reporting to the build log. A stop
    // request of the running script cancels it.
    virtual BuildResult build(const BuildRequest &request) = 0;

    // The debugger engine of the running session, or null; stopDebugging ends the session.
    virtual SymbolicDebuggerInterface *debugger() = 0;
    virtual void stopDebugging() = 0;
    // The package system, or null where packages are not managed.
    virtual PackageSystem *packages() = 0;

    // Directory where `load` for scripts a path does not find.
    virtual QString scriptDirectory() = 0;

    // Installs the host objects into a context: Debug, Build, KVSys, WScript, BinaryFile and
    // the `tovan` object, which is created once and reused.
    virtual void installHostObjects(ESContext &context);

    // Whether the script system running scripts here was asked to stop them; long work
    // (a build) polls it from another thread.
    void setStopQuery(std::function<bool()> query) { m_stopQuery = std::move(query); }
    bool stopRequested() const { return m_stopQuery && m_stopQuery(); }

private:
    std::unique_ptr<JavaScriptTovanObject> m_tovan;
    std::function<bool()> m_stopQuery;
};
