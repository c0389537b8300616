#include "scripthost/javascriptconsole.h"

#include "core/namevaluelist.h"
#include "script/esexception.h"
#include "script/esobject.h"
#include "scripthost/myescontext.h"
#include "scripthost/scriptenvironment.h"

#include <new>

namespace {

QString escaped(const QString &line) {
    QString out;
    for (QChar ch : line) {
        if (ch == QLatin1Char(';') || ch == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += ch;
    }
    return out;
}

// What the console prints for a thrown value.
QString thrownText(ESContext &context, const ESValue &value) {
    if (!value.isObject())
        return QStringLiteral("Uncaught exception: ") + context.toText(value) + QLatin1Char('\n');
    const ESNames &names = context.names();
    ESObject *error = value.object;
    auto part = [&](ESString *name) {
        ESValue v = context.get(error, name);
        return v.isUndefined() ? QString() : context.toText(v);
    };
    QString text = part(names.message) + QLatin1Char('\n');
    QString file = part(names.fileName), line = part(names.lineNumber);
    if (!file.isEmpty() || !line.isEmpty())
        text += file + QLatin1Char(':') + line + QLatin1Char('\n');
    QString source = part(names.sourceLine);
    if (!source.isEmpty())
        text += source + QLatin1Char('\n');
    return text;
}

} // namespace

JavaScriptConsole::JavaScriptConsole(ScriptEnvironment &environment)
    : m_environment(environment), m_context(std::make_unique<MyESContext2>()) {
    m_environment.installHostObjects(*m_context);
}

JavaScriptConsole::~JavaScriptConsole() = default;

ESContext &JavaScriptConsole::context() {
    return *m_context;
}

void JavaScriptConsole::stop() {
    m_context->setKeepGoing(false);
}

QStringList JavaScriptConsole::history() const {
    QStringList lines;
    std::string stored =
        m_environment
            .setting(ScriptEnvironment::EnvironmentSettings, QLatin1String(kHistorySetting))
            .toStdString();
    for (const std::string &line : splitEscapedList(stored))
        lines.append(QString::fromStdString(line));
    return lines;
}

void JavaScriptConsole::enterLine(const QString &line) {
    if (!line.trimmed().isEmpty()) {
        QStringList lines = history();
        lines.append(line);
        while (lines.size() > kHistoryLength)
            lines.removeFirst();
        QStringList stored;
        for (const QString &entry : lines)
            stored.append(escaped(entry));
        m_environment.setSetting(ScriptEnvironment::EnvironmentSettings,
                                 QLatin1String(kHistorySetting), stored.join(QLatin1Char(';')));
    }
    m_context->setKeepGoing(true);
    QString text;
    try {
        ESCompletion completion = m_context->evaluate(QString(), line);
        if (completion.type == ESCompletion::Throw)
            text = thrownText(*m_context, completion.value);
        else
            text = m_context->toText(completion.value) + QLatin1Char('\n');
    } catch (const ESException &e) {
        text = thrownText(*m_context, e.value());
    } catch (const ESFatalError &e) {
        text = QString::fromStdString(e.message()) + QLatin1Char('\n');
    } catch (const std::bad_alloc &) {
        text = QStringLiteral("out of memory\n");
    }
    m_environment.output(text + QLatin1String(kPrompt));
}
