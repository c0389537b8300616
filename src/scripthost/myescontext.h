#pragma once

#include "script/escontext.h"

class ScriptSystem;

// The context of the script system's runs: it keeps the event loop turning when asked to, so
// that the stop action reaches the system, and stops the run once a stop is requested.
class MyESContext : public ESContext {
public:
    MyESContext(ScriptSystem &system, bool processEvents);
    bool carryOnExecuting() override;

private:
    ScriptSystem &m_system;
    bool m_processEvents;
    unsigned m_count = 0;
};

// The console's context: events are processed every eleventh instruction, and the run goes
// on until the console asks it to stop.
class MyESContext2 : public ESContext {
public:
    bool carryOnExecuting() override;
    void setKeepGoing(bool keepGoing) { m_keepGoing = keepGoing; }
    bool keepGoing() const { return m_keepGoing; }

private:
    bool m_keepGoing = true;
    unsigned m_count = 0;
};

// The threads window's context: its thread-list script gets a budget of instructions, so a
// faulty script cannot hang the window.
class ThreadsWindowESContext : public ESContext {
public:
    static constexpr unsigned kInstructionBudget = 1000000;
    bool carryOnExecuting() override { return ++m_count < kInstructionBudget; }
    // A fresh budget, for each evaluation of the thread list.
    void resetBudget() { m_count = 0; }
    // Whether the last evaluation ran out of its budget.
    bool budgetSpent() const { return m_count >= kInstructionBudget; }

private:
    unsigned m_count = 0;
};
