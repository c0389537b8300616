#include "scripthost/threadswindow.h"

#include "script/esexception.h"
#include "scripthost/hostfiles.h"
#include "scripthost/myescontext.h"
#include "scripthost/scriptenvironment.h"

namespace {
const QString kTitle = QStringLiteral("Threads");
}

ThreadsWindow::ThreadsWindow(ScriptEnvironment &environment) : m_environment(environment) {}

ThreadsWindow::~ThreadsWindow() = default;

bool ThreadsWindow::update(const QString &scriptPath, int threadLimit) {
    std::optional<QByteArray> source = readHostFile(scriptPath);
    if (!source) {
        m_environment.showMessage(ScriptEnvironment::Error, kTitle,
                                  QStringLiteral("Cannot open: ") + scriptPath);
        return false;
    }
    m_threads = nullptr;
    m_context = std::make_unique<ThreadsWindowESContext>();
    auto report = [this](const QString &text) {
        m_environment.showMessage(ScriptEnvironment::Warning, kTitle, text);
    };
    m_threads = static_cast<ThreadsWindowScriptObjectClass *>(m_context->adoptClass(
        std::make_unique<ThreadsWindowScriptObjectClass>(threadLimit, report)));
    m_threads->install(*m_context, "Debug");
    ESCompletion completion;
    try {
        completion = m_context->evaluate(scriptPath, QString::fromUtf8(*source));
    } catch (const ESFatalError &e) {
        m_environment.showMessage(ScriptEnvironment::Error, kTitle,
                                  QString::fromStdString(e.message()));
        return false;
    }
    if (completion.type == ESCompletion::Throw) {
        m_environment.showMessage(ScriptEnvironment::Error, kTitle, completion.text);
        return false;
    }
    if (m_context->budgetSpent()) {
        m_environment.showMessage(ScriptEnvironment::Error, kTitle,
                                  QStringLiteral("the thread script ran too long"));
        return false;
    }
    return true;
}
