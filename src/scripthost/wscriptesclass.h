#pragma once

#include "script/esclass.h"

class ScriptEnvironment;

// `WScript`: Echo writes a line to the output terminal.
class WScriptESClass : public ESClass {
public:
    explicit WScriptESClass(ScriptEnvironment &environment) : m_environment(environment) {}
    void install(ESContext &context, const char *name) override;
    ScriptEnvironment &environment() const { return m_environment; }

private:
    ScriptEnvironment &m_environment;
};
