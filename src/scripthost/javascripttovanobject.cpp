#include "scripthost/javascripttovanobject.h"

#include "core/version.h"
#include "project/macroexpander.h"
#include "script/escontext.h"
#include "scripthost/hostfiles.h"
#include "scripthost/javascriptprocessobject.h"
#include "scripthost/processwait.h"
#include "scripthost/qobjectesclass.h"
#include "scripthost/scriptenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringConverter>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

std::string utf8(const QString &text) {
    return text.toStdString();
}

QString decode(const QByteArray &bytes, const QString &encoding) {
    QStringDecoder decoder(encoding.toLatin1().constData());
    if (!decoder.isValid())
        return QString::fromUtf8(bytes);
    return decoder.decode(bytes);
}

QByteArray encode(const QString &text, const QString &encoding) {
    QStringEncoder encoder(encoding.toLatin1().constData());
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

// Refuses what no script means to empty: the working directory (an empty path), the root
// and the home directory.
bool isProtectedDirectory(const QString &dir) {
    if (dir.trimmed().isEmpty())
        return true;
    QFileInfo info(dir);
    QString path =
        info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    return path == QLatin1String("/") || path.isEmpty() || (!home.isEmpty() && path == home) ||
           QDir::cleanPath(info.absoluteFilePath()) == QDir::cleanPath(QDir::homePath());
}

[[noreturn]] void scriptError(const QString &message) {
    if (ESContext *context = QObjectESClass::callingContext())
        context->throwError(message);
    throw std::runtime_error(message.toStdString());
}

} // namespace

// --- Settings -------------------------------------------------------------------------------

QString JavaScriptTovanObject::getEnvironmentSetting(const QString &name) {
    return m_environment.setting(ScriptEnvironment::EnvironmentSettings, name);
}

void JavaScriptTovanObject::setEnvironmentSetting(const QString &name, const QString &value) {
    m_environment.setSetting(ScriptEnvironment::EnvironmentSettings, name, value);
}

QString JavaScriptTovanObject::getUserSetting(const QString &name) {
    return m_environment.setting(ScriptEnvironment::UserSettings, name);
}

void JavaScriptTovanObject::setUserSetting(const QString &name, const QString &value) {
    m_environment.setSetting(ScriptEnvironment::UserSettings, name, value);
}

void JavaScriptTovanObject::removeUserSetting(const QString &name) {
    m_environment.removeSetting(ScriptEnvironment::UserSettings, name);
}

QString JavaScriptTovanObject::getSessionSetting(const QString &name) {
    return m_environment.setting(ScriptEnvironment::SessionSettings, name);
}

void JavaScriptTovanObject::setSessionSetting(const QString &name, const QString &value) {
    m_environment.setSetting(ScriptEnvironment::SessionSettings, name, value);
}

void JavaScriptTovanObject::removeSessionSetting(const QString &name) {
    m_environment.removeSetting(ScriptEnvironment::SessionSettings, name);
}

// --- Macros ---------------------------------------------------------------------------------

QString JavaScriptTovanObject::getSystemMacro(const QString &name) {
    std::optional<std::string> value =
        m_environment.macros().lookup(utf8(name), MacroMap(), false, true);
    return value ? QString::fromStdString(*value) : QString();
}

QString JavaScriptTovanObject::getGlobalMacro(const QString &name) {
    return QString::fromStdString(m_environment.macros().globalMacros().value(utf8(name)));
}

void JavaScriptTovanObject::setGlobalMacro(const QString &name, const QString &value) {
    m_environment.macros().setGlobalMacro(utf8(name), utf8(value));
}

QString JavaScriptTovanObject::replaceMacros(const QString &string) {
    return QString::fromStdString(m_environment.macros().globalExpand(utf8(string)));
}

// --- Identity -------------------------------------------------------------------------------

QString JavaScriptTovanObject::getTovanName() {
    return QString::fromLatin1(kProductName);
}

QString JavaScriptTovanObject::getTovanVersion() {
    return QString::fromLatin1(kReleaseString);
}

int JavaScriptTovanObject::getTovanTargetNumber() {
    // The release as one comparable number: 1.0 is 10000.
    return kMajorVersion * 10000 + kMinorVersion * 100;
}

QString JavaScriptTovanObject::getCurrentDeviceName() {
    return m_environment.currentDeviceName();
}

// --- Message boxes --------------------------------------------------------------------------

void JavaScriptTovanObject::showWarningMessageBox(const QString &heading, const QString &message) {
    m_environment.showMessage(ScriptEnvironment::Warning, heading, message);
}

void JavaScriptTovanObject::showWarningMessageBox(const QString &message) {
    showWarningMessageBox(QStringLiteral("Warning"), message);
}

void JavaScriptTovanObject::showErrorMessageBox(const QString &heading, const QString &message) {
    m_environment.showMessage(ScriptEnvironment::Error, heading, message);
}

void JavaScriptTovanObject::showErrorMessageBox(const QString &message) {
    showErrorMessageBox(QStringLiteral("Error"), message);
}

// --- Files ----------------------------------------------------------------------------------

QString JavaScriptTovanObject::readFileToString(const QString &path, const QString &encoding) {
    std::optional<QByteArray> bytes = readHostFile(path);
    return bytes ? decode(*bytes, encoding) : QString();
}

bool JavaScriptTovanObject::writeStringToFile(const QString &path, const QString &str,
                                              const QString &encoding) {
    return writeHostFile(path, encode(str, encoding));
}

bool JavaScriptTovanObject::makeDirectory(const QString &dir) {
    return !dir.isEmpty() && QDir().mkpath(dir);
}

bool JavaScriptTovanObject::removeDirectory(const QString &dir) {
    return !dir.isEmpty() && QDir().rmdir(dir);
}

bool JavaScriptTovanObject::removeDirectoryAndContents(const QString &dir) {
    if (isProtectedDirectory(dir))
        scriptError(QStringLiteral("refusing to remove ") +
                    (dir.isEmpty() ? QStringLiteral("an empty path") : dir));
    QFileInfo info(dir);
    if (!info.isDir() || info.isSymLink())
        return false;
    return QDir(dir).removeRecursively();
}

QStringList JavaScriptTovanObject::getDirectoryList(const QString &path, const QString &filter) {
    QDir dir(path.isEmpty() ? QStringLiteral(".") : path);
    return dir.entryList(QStringList{filter.isEmpty() ? QStringLiteral("*") : filter},
                         QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

bool JavaScriptTovanObject::removeFile(const QString &path) {
    return QFile::remove(path);
}

bool JavaScriptTovanObject::fileExists(const QString &path) {
    return !path.isEmpty() && QFileInfo::exists(path);
}

QString JavaScriptTovanObject::formatXMLString(const QString &xml, int indent,
                                               const QString &doctype) {
    QXmlStreamReader reader(xml);
    QString out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(indent >= 0);
    writer.setAutoFormattingIndent(std::clamp(indent, -1, 16));
    bool wroteDoctype = false;
    auto writeDoctype = [&] {
        if (!doctype.isEmpty() && !wroteDoctype)
            writer.writeDTD(QStringLiteral("<!DOCTYPE ") + doctype + QLatin1Char('>'));
        wroteDoctype = true;
    };
    while (!reader.atEnd()) {
        reader.readNext();
        switch (reader.tokenType()) {
        case QXmlStreamReader::StartDocument:
            // A declaration only where the text had one.
            if (!reader.documentVersion().isEmpty())
                writer.writeStartDocument(reader.documentVersion().toString());
            break;
        case QXmlStreamReader::DTD:
            if (doctype.isEmpty())
                writer.writeDTD(reader.text().toString());
            writeDoctype();
            break;
        case QXmlStreamReader::StartElement:
            writeDoctype();
            writer.writeCurrentToken(reader);
            break;
        case QXmlStreamReader::EndDocument:
            writer.writeEndDocument();
            break;
        case QXmlStreamReader::Characters:
            if (!reader.isWhitespace())
                writer.writeCurrentToken(reader);
            break;
        default:
            writer.writeCurrentToken(reader);
            break;
        }
    }
    if (reader.hasError())
        scriptError(QStringLiteral("invalid XML at line %1: %2")
                        .arg(reader.lineNumber())
                        .arg(reader.errorString()));
    // Without a declaration the writer starts with the line break that would follow it.
    if (out.startsWith(QLatin1Char('\n')))
        out.remove(0, 1);
    return out;
}

// --- Build log ------------------------------------------------------------------------------

void JavaScriptTovanObject::clearBuildLog() {
    m_environment.clearBuildLog();
}

void JavaScriptTovanObject::beginBuildLogGroup(const QString &name) {
    m_environment.beginBuildLogGroup(name);
}

void JavaScriptTovanObject::endBuildLogGroup() {
    m_environment.endBuildLogGroup();
}

void JavaScriptTovanObject::outputBuildLogMessage(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogMessage, text);
}

void JavaScriptTovanObject::outputBuildLogWarning(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogWarning, text);
}

void JavaScriptTovanObject::outputBuildLogError(const QString &text) {
    m_environment.outputBuildLog(ScriptEnvironment::BuildLogError, text);
}

// --- Processes ------------------------------------------------------------------------------

QVariantMap JavaScriptTovanObject::spawn(const QString &program, const QStringList &arguments,
                                         const QString &workingDirectory, int timeoutMsecs,
                                         const QStringList &environmentSettings,
                                         bool inheritEnvironment, const QString &encoding) {
    QProcessEnvironment environment =
        inheritEnvironment ? QProcessEnvironment::systemEnvironment() : QProcessEnvironment();
    for (const QString &setting : environmentSettings) {
        qsizetype equals = setting.indexOf(QLatin1Char('='));
        if (equals > 0)
            environment.insert(setting.left(equals), setting.mid(equals + 1));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    QVariantMap result;
    if (!process.waitForStarted(-1)) {
        result.insert(QStringLiteral("exitCode"), -1);
        result.insert(QStringLiteral("normalExit"), false);
        result.insert(QStringLiteral("timedOut"), false);
        result.insert(QStringLiteral("error"), process.errorString());
        return result;
    }
    ProcessWait outcome = waitForProcess(process, QObjectESClass::callingContext(),
                                         timeoutMsecs <= 0 ? -1 : timeoutMsecs);
    bool normal = outcome == ProcessWait::Finished && process.exitStatus() == QProcess::NormalExit;
    result.insert(QStringLiteral("exitCode"), normal ? process.exitCode() : -1);
    result.insert(QStringLiteral("normalExit"), normal);
    result.insert(QStringLiteral("timedOut"), outcome == ProcessWait::TimedOut);
    result.insert(QStringLiteral("standardOutput"),
                  decode(process.readAllStandardOutput(), encoding));
    result.insert(QStringLiteral("standardError"),
                  decode(process.readAllStandardError(), encoding));
    return result;
}

QObject *JavaScriptTovanObject::createProcessObject(const QString &objectName,
                                                    bool inheritEnvironment) {
    auto *process = new JavaScriptProcessObject(inheritEnvironment);
    process->setObjectName(objectName);
    return process;
}
