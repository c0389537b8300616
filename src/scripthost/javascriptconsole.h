#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class ESContext;
class MyESContext2;
class ScriptEnvironment;

// The script console: each line entered is evaluated in the console's own context, which has
// the host objects, and its result or error is written to the environment's output followed
// by the prompt. Entered lines are kept as a history in the environment settings.
class JavaScriptConsole {
public:
    static constexpr char kPrompt[] = ">";
    static constexpr char kHistorySetting[] = "Environment/JavaScript/Console History";
    static constexpr int kHistoryLength = 100;

    explicit JavaScriptConsole(ScriptEnvironment &environment);
    ~JavaScriptConsole();

    void enterLine(const QString &line);
    // Ends the line being evaluated before its next instruction.
    void stop();
    QStringList history() const;
    ESContext &context();

private:
    ScriptEnvironment &m_environment;
    std::unique_ptr<MyESContext2> m_context;
};
