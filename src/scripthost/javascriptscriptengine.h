#pragma once

#include "scripthost/scriptengine.h"

// Runs ".js" files in the script system's context.
class JavaScriptScriptEngine : public ScriptEngine {
public:
    bool runFile(TovanScriptSystem &system, const QString &path) override;
};
