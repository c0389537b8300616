#pragma once

#include "script/esvalue.h"
#include "scripthost/scriptsystem.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <atomic>
#include <csignal>
#include <memory>
#include <vector>

class ESContext;
class MyESContext;
class ScriptEngine;
class ScriptEnvironment;

// Runs script files and project scripts in one context shared by nested runs: a script may
// run a script, four levels deep. Failures are reported to the environment as message boxes.
class TovanScriptSystem : public ScriptSystem {
    Q_OBJECT
public:
    static constexpr int kMaxDepth = 5; // the level that fails

    // One run: the source, the file it came from and its kind ("Project", "Build", ...; empty
    // for a plain script). `kindHasScriptFile` tells whether the kind's script file exists,
    // which explains a call of one of its functions that fails.
    struct Run {
        QString source;
        QString fileName;
        QString kind;
        bool processEvents = true;
        bool kindHasScriptFile = true;
    };

    explicit TovanScriptSystem(ScriptEnvironment &environment, QObject *parent = nullptr);
    ~TovanScriptSystem() override;

    // Enters a nesting level; the first creates the context with the host objects. False,
    // with the level left again, when the limit is reached ("script recursion limit reached").
    bool beginScript(bool processEvents);
    void endScript();
    // The context of the current runs; null when idle.
    ESContext *context() const;
    int depth() const { return m_depth; }

    // Begins, evaluates, ends and reports a failure. The second form hands back the
    // program's value.
    bool runScript(const QString &source, bool processEvents, const QString &fileName);
    bool runScript(const Run &run, QVariant *result = nullptr);

    bool isRunning() const override { return m_depth > 0; }
    void requestStop() override;
    bool stopRequested() const override { return m_stopRequested.load(); }
    // Set with a stop request, for engines that poll a signal-style flag.
    volatile std::sig_atomic_t *stopFlag() { return &m_stopFlag; }

    // Engines per file type, by the suffix with its dot (".js", ".fth"). Both are registered
    // from the start.
    void registerEngine(const QString &suffix, std::unique_ptr<ScriptEngine> engine);
    ScriptEngine *engineFor(const QString &fileName) const;
    // Runs a file with its type's engine; without one, reports "Can't run script".
    bool runScriptFile(const QString &fileName);

    ScriptEnvironment &environment() const { return m_environment; }
    // The text of the last failure reported, empty after a success.
    const QString &lastError() const { return m_lastError; }
    // Reports a failure: a message box with the title and text.
    void reportFailure(const QString &title, const QString &text);

private:
    void reportThrown(ESContext &context, const Run &run, const ESValue &value);

    ScriptEnvironment &m_environment;
    std::unique_ptr<MyESContext> m_context;
    int m_depth = 0;
    std::atomic<bool> m_stopRequested{false};
    volatile std::sig_atomic_t m_stopFlag = 0;
    QHash<QString, ScriptEngine *> m_engineIndex;
    std::vector<std::unique_ptr<ScriptEngine>> m_engines;
    QString m_lastError;
};
