#pragma once

#include "scripthost/processoutputlimit.h"
#include "scripthost/qobjectesclass.h"

#include <QProcess>
#include <QProcessEnvironment>

// A child process a script starts and talks to (tovan.createProcessObject). Its unread
// output is charged to `context`, the one that keeps the object; reading and waiting fail
// with "out of memory" once too much of it was left unread.
class JavaScriptProcessObject : public ESQObject {
    Q_OBJECT
public:
    explicit JavaScriptProcessObject(bool inheritEnvironment = true, ESContext *context = nullptr);
    ~JavaScriptProcessObject() override;

    Q_INVOKABLE bool start(const QString &program, const QStringList &arguments);
    Q_INVOKABLE bool start(const QString &program);
    Q_INVOKABLE bool isRunning() const;
    Q_INVOKABLE void kill();
    Q_INVOKABLE QString getEnvironmentVariable(const QString &variable,
                                               const QString &defaultValue = QString()) const;
    Q_INVOKABLE void setEnvironmentVariable(const QString &variable, const QString &value);
    Q_INVOKABLE void removeEnvironmentVariable(const QString &variable);
    Q_INVOKABLE void setWorkingDirectory(const QString &dir);
    Q_INVOKABLE QString readStandardOutput();
    Q_INVOKABLE QString readStandardOutputLine();
    Q_INVOKABLE bool canReadStandardOutputLine();
    Q_INVOKABLE QString readStandardError();
    Q_INVOKABLE QString readStandardErrorLine();
    Q_INVOKABLE bool canReadStandardErrorLine();
    Q_INVOKABLE bool writeStandardInput(const QString &str);
    Q_INVOKABLE int exitCode() const;
    Q_INVOKABLE bool normalExit() const;
    // True once the process has finished; false after msecs (-1: no limit) or a stop.
    Q_INVOKABLE bool waitForFinished(int msecs = -1);

Q_SIGNALS:
    void standardOutputAvailable();
    void standardErrorAvailable();
    void finished();

private:
    QString readLine(QProcess::ProcessChannel channel);
    bool canReadLine(QProcess::ProcessChannel channel);

    QProcess m_process;
    ProcessOutputLimit m_outputLimit;
    QProcessEnvironment m_environment;
};
