#pragma once

#include <QString>

class TovanScriptSystem;

// Runs script files of one type for the script system.
class ScriptEngine {
public:
    virtual ~ScriptEngine() = default;
    // Runs the file; failures are reported through the system's environment. False when the
    // run failed.
    virtual bool runFile(TovanScriptSystem &system, const QString &path) = 0;
};
