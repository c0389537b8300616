#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantMap>

class PackageSystem;
class ScriptEnvironment;

// The `tovan` object: the environment's invokable methods for settings, macros, solutions,
// packages, identity, message boxes, the debugger, files, XML formatting, the build log and
// processes.
class JavaScriptTovanObject : public QObject {
    Q_OBJECT
public:
    explicit JavaScriptTovanObject(ScriptEnvironment &environment) : m_environment(environment) {}

    // Settings.
    Q_INVOKABLE QString getEnvironmentSetting(const QString &name);
    Q_INVOKABLE void setEnvironmentSetting(const QString &name, const QString &value);
    Q_INVOKABLE QString getUserSetting(const QString &name);
    Q_INVOKABLE void setUserSetting(const QString &name, const QString &value);
    Q_INVOKABLE void removeUserSetting(const QString &name);
    Q_INVOKABLE QString getSessionSetting(const QString &name);
    Q_INVOKABLE void setSessionSetting(const QString &name, const QString &value);
    Q_INVOKABLE void removeSessionSetting(const QString &name);

    // Macros.
    Q_INVOKABLE QString getSystemMacro(const QString &name);
    Q_INVOKABLE QString getGlobalMacro(const QString &name);
    Q_INVOKABLE void setGlobalMacro(const QString &name, const QString &value);
    Q_INVOKABLE QString replaceMacros(const QString &string);

    // Solutions. Opened solutions are remembered, newest first, in the environment setting
    // "Environment/Recent Solutions".
    Q_INVOKABLE bool openSolution(const QString &filename, bool clearBuildLog);
    Q_INVOKABLE bool openSolution(const QString &filename);
    Q_INVOKABLE bool reloadSolution();
    Q_INVOKABLE bool setSolutionAttribute(const QString &name, const QString &value);
    Q_INVOKABLE QString getSolutionAttribute(const QString &name);
    Q_INVOKABLE bool setActiveProject(const QString &name);
    Q_INVOKABLE QString getActiveProject();
    Q_INVOKABLE QStringList getRecentSolutions(int maximumItems);
    Q_INVOKABLE QStringList getRecentFiles(int maximumItems);
    // Triggers the window's action of that name; a script error when there is none.
    Q_INVOKABLE void activateAction(const QString &name);
    // Items of the update service: objects with title, url and date.
    Q_INVOKABLE QVariantList getNewsFeed(int maximumItems);
    Q_INVOKABLE QString getReleaseUpdateURL();
    Q_INVOKABLE QString getReleaseUpdateVersion();

    // Packages: records are objects with name, title, version, installedVersion,
    // latestVersion, kind, url and dependencies.
    Q_INVOKABLE int getNumberOfPackagesInstalled();
    Q_INVOKABLE QVariantList getPackageUpdates(int maximumItems);
    Q_INVOKABLE QVariantList getPackageFiles(int maximumItems, const QString &groupFilter = {},
                                             const QString &urlFilter = {},
                                             const QString &titleFilter = {});
    Q_INVOKABLE QVariantMap getPackageDetails(const QString &name);
    Q_INVOKABLE bool installPackages(const QStringList &packageNames);
    Q_INVOKABLE bool updatePackages(const QStringList &packageNames);

    // Identity.
    Q_INVOKABLE QString getTovanName();
    Q_INVOKABLE QString getTovanVersion();
    Q_INVOKABLE int getTovanTargetNumber();
    Q_INVOKABLE QString getCurrentDeviceName();

    // The window. A cancelled dialog answers "" (or no names).
    Q_INVOKABLE bool openURL(const QString &url);
    Q_INVOKABLE void closeWindow(int status = 0);
    Q_INVOKABLE QString browseExistingDirectory(const QString &caption = QString(),
                                                const QString &dir = QString());
    Q_INVOKABLE QString browseExistingFileName(const QString &caption = QString(),
                                               const QString &dir = QString(),
                                               const QString &filter = QString());
    Q_INVOKABLE QStringList browseExistingFileNames(const QString &caption = QString(),
                                                    const QString &dir = QString(),
                                                    const QString &filter = QString());
    Q_INVOKABLE QString browseSaveFileName(const QString &caption = QString(),
                                           const QString &dir = QString(),
                                           const QString &filter = QString());

    // Message boxes.
    Q_INVOKABLE void showWarningMessageBox(const QString &heading, const QString &message);
    Q_INVOKABLE void showWarningMessageBox(const QString &message);
    Q_INVOKABLE void showErrorMessageBox(const QString &heading, const QString &message);
    Q_INVOKABLE void showErrorMessageBox(const QString &message);

    // The debugger: the value of an expression as its text, and locating to an address.
    Q_INVOKABLE QString evaluateDebuggerExpression(const QString &expression);
    Q_INVOKABLE QString debugLocateToPC(const QString &address);

    // Files.
    Q_INVOKABLE QString readFileToString(const QString &path,
                                         const QString &encoding = QStringLiteral("UTF-8"));
    Q_INVOKABLE bool writeStringToFile(const QString &path, const QString &str,
                                       const QString &encoding = QStringLiteral("UTF-8"));
    Q_INVOKABLE bool makeDirectory(const QString &dir);
    Q_INVOKABLE bool removeDirectory(const QString &dir);
    Q_INVOKABLE bool removeDirectoryAndContents(const QString &dir);
    Q_INVOKABLE QStringList getDirectoryList(const QString &path,
                                             const QString &filter = QStringLiteral("*"));
    Q_INVOKABLE bool removeFile(const QString &path);
    Q_INVOKABLE bool fileExists(const QString &path);
    Q_INVOKABLE QString formatXMLString(const QString &xml, int indent = 2,
                                        const QString &doctype = QString());

    // The build log.
    Q_INVOKABLE void clearBuildLog();
    Q_INVOKABLE void beginBuildLogGroup(const QString &name);
    Q_INVOKABLE void endBuildLogGroup();
    Q_INVOKABLE void outputBuildLogMessage(const QString &text);
    Q_INVOKABLE void outputBuildLogWarning(const QString &text);
    Q_INVOKABLE void outputBuildLogError(const QString &text);

    // Processes. spawn waits for the program and returns an object with exitCode,
    // normalExit, timedOut, standardOutput and standardError (exitCode -1 when it did not
    // start); a stop request of the script kills it, and so does more output than the
    // context's memory limit holds (the call fails with "out of memory").
    Q_INVOKABLE QVariantMap spawn(const QString &program,
                                  const QStringList &arguments = QStringList(),
                                  const QString &workingDirectory = QString(),
                                  int timeoutMsecs = -1,
                                  const QStringList &environmentSettings = QStringList(),
                                  bool inheritEnvironment = true,
                                  const QString &encoding = QStringLiteral("UTF-8"));
    Q_INVOKABLE QObject *createProcessObject(const QString &objectName = QString(),
                                             bool inheritEnvironment = true);

private:
    PackageSystem *packageSystem();

    ScriptEnvironment &m_environment;
};
