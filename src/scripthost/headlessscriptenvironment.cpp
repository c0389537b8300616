#include "scripthost/headlessscriptenvironment.h"

#include "project/systemmacros.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void writeTo(FILE *stream, const QString &text) {
    QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

const char *kindName(ScriptEnvironment::MessageKind kind) {
    switch (kind) {
    case ScriptEnvironment::Warning:
        return "warning";
    case ScriptEnvironment::Error:
        return "error";
    default:
        return "message";
    }
}

} // namespace

HeadlessScriptEnvironment::HeadlessScriptEnvironment()
    : m_output([](const QString &text) { writeTo(stdout, text); }),
      m_messages([](const QString &text) { writeTo(stderr, text); }) {
    QString executable =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    registerSystemMacros(m_macros, executable.toStdString());
    if (!executable.isEmpty())
        m_scriptDirectory = QString::fromStdString(installDirectoryOf(executable.toStdString())) +
                            QStringLiteral("/bin");
}

void HeadlessScriptEnvironment::output(const QString &text) {
    m_output(text);
}

bool HeadlessScriptEnvironment::askYesNo(const QString &title, const QString &question) {
    m_messages(QStringLiteral("%1: %2 [%3]\n")
                   .arg(title, question, m_answer ? QStringLiteral("yes") : QStringLiteral("no")));
    return m_answer;
}

void HeadlessScriptEnvironment::showMessage(MessageKind kind, const QString &title,
                                            const QString &text) {
    m_messages(
        QStringLiteral("%1: %2\n%3\n").arg(QString::fromLatin1(kindName(kind)), title, text));
}

QString HeadlessScriptEnvironment::setting(SettingsScope scope, const QString &name) {
    return m_settings[scope].value(name);
}

void HeadlessScriptEnvironment::setSetting(SettingsScope scope, const QString &name,
                                           const QString &value) {
    m_settings[scope].insert(name, value);
}

void HeadlessScriptEnvironment::removeSetting(SettingsScope scope, const QString &name) {
    m_settings[scope].remove(name);
}

void HeadlessScriptEnvironment::clearBuildLog() {
    m_buildLogDepth = 0;
}

void HeadlessScriptEnvironment::beginBuildLogGroup(const QString &name) {
    m_output(QString(m_buildLogDepth * 2, QLatin1Char(' ')) + name + QLatin1Char('\n'));
    ++m_buildLogDepth;
}

void HeadlessScriptEnvironment::endBuildLogGroup() {
    if (m_buildLogDepth > 0)
        --m_buildLogDepth;
}

void HeadlessScriptEnvironment::outputBuildLog(BuildLogKind kind, const QString &text) {
    static const char *const kPrefixes[] = {"", "warning: ", "error: "};
    m_output(QString(m_buildLogDepth * 2, QLatin1Char(' ')) + QLatin1String(kPrefixes[kind]) +
             text + QLatin1Char('\n'));
}
