#pragma once

#include "scripthost/scriptengine.h"

// Runs ".fth" files in a fresh Forth context, its output going to the environment's output
// terminal. A run counts as a nesting level of the script system and stops on its request.
class ForthScriptEngine : public ScriptEngine {
public:
    bool runFile(TovanScriptSystem &system, const QString &path) override;
};
