#pragma once

#include <QString>

#include <memory>

class ESContext;
class JavaScriptTovanObject;
class MacroExpander;

// What scripts reach of the environment: the main window's side of the host objects. The
// window implements it; HeadlessScriptEnvironment stands in for it on the command line and
// in tests. Further groups (builder, debugger, packages, solutions) join as operations here
// and as host objects installed by installHostObjects.
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

    // Directory where `load` looks for scripts a path does not find.
    virtual QString scriptDirectory() = 0;

    // Installs the host objects into a context: KVSys, WScript, BinaryFile and the `tovan`
    // object, which is created once and reused.
    virtual void installHostObjects(ESContext &context);

private:
    std::unique_ptr<JavaScriptTovanObject> m_tovan;
};
