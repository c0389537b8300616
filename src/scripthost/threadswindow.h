#pragma once

#include "scripthost/threadswindowscriptobjectclass.h"

#include <QString>

#include <memory>

class ScriptEnvironment;
class ThreadsWindowESContext;

// The threads window's side of its thread-list script: each update runs the script afresh in
// the window's own context and keeps the lists it made. Failures go to the environment as
// messages titled "Threads".
class ThreadsWindow {
public:
    explicit ThreadsWindow(ScriptEnvironment &environment);
    ~ThreadsWindow();

    // Runs the script at `scriptPath` with room for `threadLimit` rows; false after reporting
    // why not.
    bool update(const QString &scriptPath, int threadLimit);
    // The lists of the last update; null before the first.
    const ThreadsWindowScriptObjectClass *threads() const { return m_threads; }

private:
    ScriptEnvironment &m_environment;
    std::unique_ptr<ThreadsWindowESContext> m_context;
    ThreadsWindowScriptObjectClass *m_threads = nullptr;
};
