#include "scripthost/javascriptprocessobject.h"

#include "scripthost/processwait.h"

JavaScriptProcessObject::JavaScriptProcessObject(bool inheritEnvironment, ESContext *context)
    : m_outputLimit(m_process, context),
      m_environment(inheritEnvironment ? QProcessEnvironment::systemEnvironment()
                                       : QProcessEnvironment()) {
    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            &JavaScriptProcessObject::standardOutputAvailable);
    connect(&m_process, &QProcess::readyReadStandardError, this,
            &JavaScriptProcessObject::standardErrorAvailable);
    connect(&m_process, &QProcess::finished, this, &JavaScriptProcessObject::finished);
}

JavaScriptProcessObject::~JavaScriptProcessObject() {
    // A child outlives no script: it goes with its context.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
}

bool JavaScriptProcessObject::start(const QString &program, const QStringList &arguments) {
    if (m_process.state() != QProcess::NotRunning)
        return false;
    m_process.setProcessEnvironment(m_environment);
    m_outputLimit.restart();
    m_process.start(program, arguments);
    return m_process.waitForStarted(-1);
}

bool JavaScriptProcessObject::start(const QString &program) {
    return start(program, QStringList());
}

bool JavaScriptProcessObject::isRunning() const {
    return m_process.state() != QProcess::NotRunning;
}

void JavaScriptProcessObject::kill() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(-1);
    }
}

QString JavaScriptProcessObject::getEnvironmentVariable(const QString &variable,
                                                        const QString &defaultValue) const {
    return m_environment.value(variable, defaultValue);
}

void JavaScriptProcessObject::setEnvironmentVariable(const QString &variable,
                                                     const QString &value) {
    m_environment.insert(variable, value);
}

void JavaScriptProcessObject::removeEnvironmentVariable(const QString &variable) {
    m_environment.remove(variable);
}

void JavaScriptProcessObject::setWorkingDirectory(const QString &dir) {
    m_process.setWorkingDirectory(dir);
}

QString JavaScriptProcessObject::readStandardOutput() {
    m_outputLimit.check();
    return QString::fromUtf8(m_process.readAllStandardOutput());
}

QString JavaScriptProcessObject::readStandardError() {
    m_outputLimit.check();
    return QString::fromUtf8(m_process.readAllStandardError());
}

QString JavaScriptProcessObject::readLine(QProcess::ProcessChannel channel) {
    m_outputLimit.check();
    m_process.setReadChannel(channel);
    QByteArray line = m_process.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool JavaScriptProcessObject::canReadLine(QProcess::ProcessChannel channel) {
    m_outputLimit.check();
    m_process.setReadChannel(channel);
    return m_process.canReadLine();
}

QString JavaScriptProcessObject::readStandardOutputLine() {
    return readLine(QProcess::StandardOutput);
}

bool JavaScriptProcessObject::canReadStandardOutputLine() {
    return canReadLine(QProcess::StandardOutput);
}

QString JavaScriptProcessObject::readStandardErrorLine() {
    return readLine(QProcess::StandardError);
}

bool JavaScriptProcessObject::canReadStandardErrorLine() {
    return canReadLine(QProcess::StandardError);
}

bool JavaScriptProcessObject::writeStandardInput(const QString &str) {
    QByteArray bytes = str.toUtf8();
    return m_process.write(bytes) == bytes.size();
}

int JavaScriptProcessObject::exitCode() const {
    return m_process.exitCode();
}

bool JavaScriptProcessObject::normalExit() const {
    return m_process.exitStatus() == QProcess::NormalExit;
}

bool JavaScriptProcessObject::waitForFinished(int msecs) {
    ProcessWait outcome = waitForProcess(m_process, callingContext(), msecs, false);
    m_outputLimit.check();
    return outcome == ProcessWait::Finished;
}
