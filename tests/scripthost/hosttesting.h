#pragma once

#include "script/escontext.h"
#include "scripthost/headlessscriptenvironment.h"

#include <QString>

#include <memory>

// The application object the host objects need (processes, timers, the program's path);
// made once per test program.
void ensureApplication();

// A context whose run stops after so many polls, as one does on a stop request.
class StoppingContext : public ESContext {
public:
    explicit StoppingContext(int polls) : m_polls(polls) {}
    bool carryOnExecuting() override { return --m_polls > 0; }

private:
    int m_polls;
};

// A context with the host objects of a headless environment whose output and messages are
// kept for the test to read.
class HostFixture {
public:
    HostFixture();

    // The program's value as text, or "error: " and the message of a thrown error.
    QString eval(const QString &source);

    HeadlessScriptEnvironment environment;
    std::unique_ptr<ESContext> context;
    QString output;
    QString messages;
};
