#include "scripthost/javascripttovanobject.h"

#include "core/hexception.h"
#include "core/version.h"
#include "debug/symbolicdebuggerinterface.h"
#include "expr/parserexception.h"
#include "packages/packagesystem.h"
#include "project/macroexpander.h"
#include "script/escontext.h"
#include "scripthost/hostfiles.h"
#include "scripthost/javascriptprocessobject.h"
#include "scripthost/processoutputlimit.h"
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

const QString kRecentSolutions = QStringLiteral("Environment/Recent Solutions");
const QString kRecentFiles = QStringLiteral("Environment/Recent Files");
constexpr int kRecentLimit = 20;

// At most `maximumItems` of the ";"-list (all for a negative count).
QStringList firstItems(const QString &list, int maximumItems) {
    QStringList items = list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (maximumItems >= 0 && items.size() > maximumItems)
        items.resize(maximumItems);
    return items;
}

QVariantMap packageMap(const PackageRecord &record) {
    QStringList dependencies;
    for (const std::string &name : record.dependencies)
        dependencies << QString::fromStdString(name);
    return {
        {QStringLiteral("name"), QString::fromStdString(record.name)},
        {QStringLiteral("title"), QString::fromStdString(record.displayTitle())},
        {QStringLiteral("version"), QString::fromStdString(record.version)},
        {QStringLiteral("installedVersion"), QString::fromStdString(record.installedVersion)},
        {QStringLiteral("latestVersion"), QString::fromStdString(record.latestVersion)},
        {QStringLiteral("kind"), QString::fromStdString(packageKindName(record.kind))},
        {QStringLiteral("url"), QString::fromStdString(record.url)},
        {QStringLiteral("dependencies"), dependencies},
    };
}

// Package files are read as they are asked for: an unreadable list is a script error.
template <typename Work> auto packageWork(Work work) {
    try {
        return work();
    } catch (const HException &error) {
        scriptError(QString::fromStdString(error.message()));
    }
}

std::vector<std::string> utf8List(const QStringList &names) {
    std::vector<std::string> list;
    for (const QString &name : names)
        list.push_back(name.toStdString());
    return list;
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

// --- Solutions ------------------------------------------------------------------------------

bool JavaScriptTovanObject::openSolution(const QString &filename, bool clearBuildLog) {
    if (clearBuildLog)
        m_environment.clearBuildLog();
    if (!m_environment.openSolution(filename))
        return false;
    QString path = m_environment.solutionFileName();
    QStringList recent = firstItems(
        m_environment.setting(ScriptEnvironment::EnvironmentSettings, kRecentSolutions), -1);
    recent.removeAll(path);
    recent.prepend(path);
    m_environment.setSetting(
        ScriptEnvironment::EnvironmentSettings, kRecentSolutions,
        firstItems(recent.join(QLatin1Char(';')), kRecentLimit).join(QLatin1Char(';')));
    return true;
}

bool JavaScriptTovanObject::openSolution(const QString &filename) {
    return openSolution(filename, false);
}

bool JavaScriptTovanObject::reloadSolution() {
    QString path = m_environment.solutionFileName();
    if (path.isEmpty())
        scriptError(QStringLiteral("no solution is open"));
    return m_environment.openSolution(path);
}

bool JavaScriptTovanObject::setSolutionAttribute(const QString &name, const QString &value) {
    return m_environment.setSolutionAttribute(name, value);
}

QString JavaScriptTovanObject::getSolutionAttribute(const QString &name) {
    return m_environment.solutionAttribute(name);
}

bool JavaScriptTovanObject::setActiveProject(const QString &name) {
    return m_environment.setActiveProject(name);
}

QString JavaScriptTovanObject::getActiveProject() {
    return m_environment.activeProject();
}

QStringList JavaScriptTovanObject::getRecentSolutions(int maximumItems) {
    return firstItems(
        m_environment.setting(ScriptEnvironment::EnvironmentSettings, kRecentSolutions),
        maximumItems);
}

QStringList JavaScriptTovanObject::getRecentFiles(int maximumItems) {
    return firstItems(m_environment.setting(ScriptEnvironment::EnvironmentSettings, kRecentFiles),
                      maximumItems);
}

void JavaScriptTovanObject::activateAction(const QString &name) {
    if (!m_environment.activateAction(name))
        scriptError(QStringLiteral("no action named ") + name);
}

QVariantList JavaScriptTovanObject::getNewsFeed(int maximumItems) {
    QVariantList items = m_environment.newsFeed();
    if (maximumItems >= 0 && items.size() > maximumItems)
        items.resize(maximumItems);
    return items;
}

QString JavaScriptTovanObject::getReleaseUpdateURL() {
    return m_environment.releaseUpdateUrl();
}

QString JavaScriptTovanObject::getReleaseUpdateVersion() {
    return m_environment.releaseUpdateVersion();
}

// --- Packages -------------------------------------------------------------------------------

PackageSystem *JavaScriptTovanObject::packageSystem() {
    PackageSystem *packages = m_environment.packages();
    if (!packages)
        scriptError(QStringLiteral("the package system is not available"));
    return packages;
}

int JavaScriptTovanObject::getNumberOfPackagesInstalled() {
    PackageSystem *packages = packageSystem();
    return packageWork([&] { return int(packages->installedPackages().size()); });
}

QVariantList JavaScriptTovanObject::getPackageUpdates(int maximumItems) {
    PackageSystem *packages = packageSystem();
    QVariantList updates;
    for (const PackageRecord &record : packageWork([&] { return packages->packageList(); })) {
        if (maximumItems >= 0 && updates.size() >= maximumItems)
            break;
        if (record.isInstalled() && record.hasUpdate())
            updates << packageMap(record);
    }
    return updates;
}

QVariantList JavaScriptTovanObject::getPackageFiles(int maximumItems, const QString &groupFilter,
                                                    const QString &urlFilter,
                                                    const QString &titleFilter) {
    auto matches = [](const QString &filter, const std::string &text) {
        return filter.isEmpty() ||
               QString::fromStdString(text).contains(filter, Qt::CaseInsensitive);
    };
    PackageSystem *packages = packageSystem();
    QVariantList files;
    for (const PackageRecord &record : packageWork([&] { return packages->packageList(); })) {
        if (maximumItems >= 0 && files.size() >= maximumItems)
            break;
        if (matches(groupFilter, packageKindName(record.kind)) && matches(urlFilter, record.url) &&
            matches(titleFilter, record.displayTitle()))
            files << packageMap(record);
    }
    return files;
}

QVariantMap JavaScriptTovanObject::getPackageDetails(const QString &name) {
    PackageSystem *packages = packageSystem();
    for (const PackageRecord &record : packageWork([&] { return packages->packageList(); }))
        if (record.name == name.toStdString())
            return packageMap(record);
    return {};
}

bool JavaScriptTovanObject::installPackages(const QStringList &packageNames) {
    PackageSystem *packages = packageSystem();
    return packageWork([&] { return packages->installNames(utf8List(packageNames)); }) ==
           PackageSystem::Result::Done;
}

bool JavaScriptTovanObject::updatePackages(const QStringList &packageNames) {
    PackageSystem *packages = packageSystem();
    return packageWork([&] { return packages->update(utf8List(packageNames)); }) ==
           PackageSystem::Result::Done;
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

// --- Window ---------------------------------------------------------------------------------

bool JavaScriptTovanObject::openURL(const QString &url) {
    return m_environment.openUrl(url);
}

void JavaScriptTovanObject::closeWindow(int status) {
    m_environment.closeWindow(status);
}

QString JavaScriptTovanObject::browseExistingDirectory(const QString &caption, const QString &dir) {
    return m_environment.browse(ScriptEnvironment::ExistingDirectory, caption, dir, QString())
        .value(0);
}

QString JavaScriptTovanObject::browseExistingFileName(const QString &caption, const QString &dir,
                                                      const QString &filter) {
    return m_environment.browse(ScriptEnvironment::ExistingFile, caption, dir, filter).value(0);
}

QStringList JavaScriptTovanObject::browseExistingFileNames(const QString &caption,
                                                           const QString &dir,
                                                           const QString &filter) {
    return m_environment.browse(ScriptEnvironment::ExistingFiles, caption, dir, filter);
}

QString JavaScriptTovanObject::browseSaveFileName(const QString &caption, const QString &dir,
                                                  const QString &filter) {
    return m_environment.browse(ScriptEnvironment::SaveFile, caption, dir, filter).value(0);
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

// --- Debugger -------------------------------------------------------------------------------

QString JavaScriptTovanObject::evaluateDebuggerExpression(const QString &expression) {
    SymbolicDebuggerInterface *debugger = m_environment.debugger();
    if (!debugger)
        scriptError(QStringLiteral("the debugger is not running"));
    try {
        return QString::fromStdString(debugger->evaluateExpression(expression.toStdString()));
    } catch (const ParserException &error) {
        scriptError(QString::fromStdString(error.message()));
    } catch (const std::exception &error) {
        scriptError(QString::fromStdString(error.what()));
    }
}

QString JavaScriptTovanObject::debugLocateToPC(const QString &address) {
    bool ok = false;
    std::uint64_t pc = address.trimmed().toULongLong(&ok, 0);
    if (!ok)
        pc = evaluateDebuggerExpression(address).toULongLong(&ok, 0);
    if (!ok)
        scriptError(QStringLiteral("not an address: ") + address);
    SymbolicDebuggerInterface *debugger = m_environment.debugger();
    if (!debugger)
        scriptError(QStringLiteral("the debugger is not running"));
    std::string function, file;
    int line = 0;
    std::uint64_t start = 0, end = 0;
    if (!debugger->getSourceLocation(pc, function, file, line, start, end) || file.empty())
        return {};
    QString location = QStringLiteral("%1:%2").arg(QString::fromStdString(file)).arg(line);
    m_environment.output(location + QLatin1Char('\n'));
    return location;
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
        case QXmlStreamReader::Invalid:
            // The error ends the loop and is reported below.
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
    ESContext *context = QObjectESClass::callingContext();
    ProcessOutputLimit outputLimit(process, context);
    process.start(program, arguments);
    QVariantMap result;
    if (!process.waitForStarted(-1)) {
        result.insert(QStringLiteral("exitCode"), -1);
        result.insert(QStringLiteral("normalExit"), false);
        result.insert(QStringLiteral("timedOut"), false);
        result.insert(QStringLiteral("error"), process.errorString());
        return result;
    }
    ProcessWait outcome = waitForProcess(process, context, timeoutMsecs <= 0 ? -1 : timeoutMsecs);
    outputLimit.check();
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
    auto *process =
        new JavaScriptProcessObject(inheritEnvironment, QObjectESClass::callingContext());
    process->setObjectName(objectName);
    return process;
}
