#include "scripthost/tovanscriptsystem.h"

#include "script/esexception.h"
#include "script/esnativeglobal.h"
#include "script/esobject.h"
#include "scripthost/forthscriptengine.h"
#include "scripthost/javascriptscriptengine.h"
#include "scripthost/myescontext.h"
#include "scripthost/qobjectesclass.h"
#include "scripthost/scriptenvironment.h"

#include <QFileInfo>

#include <new>

TovanScriptSystem::TovanScriptSystem(ScriptEnvironment &environment, QObject *parent)
    : ScriptSystem(parent), m_environment(environment) {
    registerEngine(QStringLiteral(".js"), std::make_unique<JavaScriptScriptEngine>());
    registerEngine(QStringLiteral(".fth"), std::make_unique<ForthScriptEngine>());
    m_environment.setStopQuery([this] { return stopRequested(); });
}

TovanScriptSystem::~TovanScriptSystem() {
    m_environment.setStopQuery({});
}

ESContext *TovanScriptSystem::context() const {
    return m_context.get();
}

bool TovanScriptSystem::beginScript(bool processEvents) {
    if (m_depth + 1 >= kMaxDepth)
        return false;
    if (++m_depth == 1) {
        m_stopRequested = false;
        m_stopFlag = 0;
        m_context = std::make_unique<MyESContext>(*this, processEvents);
        QString directory = m_environment.scriptDirectory();
        if (!directory.isEmpty())
            m_context->globalClass()->setSearchPath({directory});
        m_environment.installHostObjects(*m_context);
        Q_EMIT runningChanged(true);
    }
    return true;
}

void TovanScriptSystem::endScript() {
    if (m_depth == 0)
        return;
    if (--m_depth == 0) {
        m_context.reset();
        Q_EMIT runningChanged(false);
    }
}

void TovanScriptSystem::requestStop() {
    m_stopRequested = true;
    m_stopFlag = 1;
}

bool TovanScriptSystem::runScript(const QString &source, bool processEvents,
                                  const QString &fileName) {
    Run run;
    run.source = source;
    run.processEvents = processEvents;
    run.fileName = fileName;
    return runScript(run);
}

bool TovanScriptSystem::runScript(const Run &run, QVariant *result) {
    m_lastError.clear();
    if (!beginScript(run.processEvents)) {
        reportFailure(QStringLiteral("Script Fatal Error"),
                      QStringLiteral("script recursion limit reached"));
        return false;
    }
    struct Level {
        TovanScriptSystem *system;
        ~Level() { system->endScript(); }
    } level{this};
    ESContext &context = *m_context;
    try {
        ESCompletion completion = context.evaluate(run.fileName, run.source);
        if (completion.type == ESCompletion::Throw) {
            reportThrown(context, run, completion.value);
            return false;
        }
        if (result)
            *result = QObjectESClass::fromScript(context, completion.value);
        return true;
    } catch (const ESFatalError &e) {
        reportFailure(QStringLiteral("Script Fatal Error"), QString::fromStdString(e.message()));
    } catch (const ESException &e) {
        reportThrown(context, run, e.value());
    } catch (const std::bad_alloc &) {
        reportFailure(QStringLiteral("Script Fatal Error"), QStringLiteral("out of memory"));
    }
    return false;
}

void TovanScriptSystem::reportThrown(ESContext &context, const Run &run, const ESValue &value) {
    QString title = run.kind.isEmpty() ? QStringLiteral("Script runtime error")
                                       : run.kind + QStringLiteral(" Script runtime error ");
    if (!value.isObject()) {
        reportFailure(title, QStringLiteral("Uncaught exception: ") + context.toText(value));
        return;
    }
    ESObject *error = value.object;
    const ESNames &names = context.names();
    auto part = [&](ESString *name) {
        ESValue v = context.get(error, name);
        return v.isUndefined() ? QStringLiteral("undefined") : context.toText(v);
    };
    QString message = part(names.message);
    QString text = QStringLiteral("At line ") + part(names.lineNumber) + QStringLiteral(" of ") +
                   part(names.fileName) + QLatin1Char('\n') + message + QLatin1Char('\n') +
                   QStringLiteral("Source line in error: ") + part(names.sourceLine);
    if (message == QLatin1String("not a function object") && !run.kind.isEmpty() &&
        !run.kindHasScriptFile)
        text += QStringLiteral("\nNote that no ") + run.kind +
                QStringLiteral(" Script File has been specified. If the script being executed "
                               "calls\n") +
                run.kind +
                QStringLiteral(" Script File functions then this is the cause of the error.");
    reportFailure(title, text);
}

void TovanScriptSystem::reportFailure(const QString &title, const QString &text) {
    m_lastError = text;
    m_environment.showMessage(ScriptEnvironment::Error, title, text);
}

void TovanScriptSystem::registerEngine(const QString &suffix,
                                       std::unique_ptr<ScriptEngine> engine) {
    m_engineIndex.insert(suffix.toLower(), engine.get());
    m_engines.push_back(std::move(engine));
}

ScriptEngine *TovanScriptSystem::engineFor(const QString &fileName) const {
    QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix.isEmpty())
        return nullptr;
    return m_engineIndex.value(QLatin1Char('.') + suffix, nullptr);
}

bool TovanScriptSystem::runScriptFile(const QString &fileName) {
    ScriptEngine *engine = engineFor(fileName);
    if (!engine) {
        reportFailure(QStringLiteral("Script System"),
                      QStringLiteral("Can't run script\nNo script engine registered to run "
                                     "'%1'.")
                          .arg(fileName));
        return false;
    }
    return engine->runFile(*this, fileName);
}
