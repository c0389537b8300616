#pragma once

#include "script/esclass.h"

#include <QByteArray>

class ScriptEnvironment;

// `KVSys`: files, processes, byte packing and CRCs for scripts.
class KVSysESClass : public ESClass {
public:
    explicit KVSysESClass(ScriptEnvironment &environment) : m_environment(environment) {}
    void install(ESContext &context, const char *name) override;

    ScriptEnvironment &environment() const { return m_environment; }
    // Standard output and error of the last waited run.
    QByteArray m_runStdout;
    QByteArray m_runStderr;

private:
    ScriptEnvironment &m_environment;
};
