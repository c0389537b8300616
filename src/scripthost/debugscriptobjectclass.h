#pragma once

#include "script/esclass.h"

#include <cstdint>
#include <map>
#include <optional>

class ScriptEnvironment;
class SymbolicDebuggerInterface;

// `Debug`: breakpoints, execution, expressions and printing over the debugger engine of the
// running session. Breakpoints get numbers from 1 that stay with them until deleted.
class DebugScriptObjectClass : public ESClass {
public:
    explicit DebugScriptObjectClass(ScriptEnvironment &environment) : m_environment(environment) {}
    void install(ESContext &context, const char *name) override;

    ScriptEnvironment &environment() const { return m_environment; }
    // The engine, or a script error when no session runs.
    SymbolicDebuggerInterface &engine(ESContext &context) const;

    // Sets a breakpoint at the address (reusing the number of one already there).
    int addBreakpoint(ESContext &context, std::uint64_t address);
    // Deletes one breakpoint, or all for 0; false for an unknown number.
    bool deleteBreakpoint(ESContext &context, int number);
    // The number of the breakpoint at the address, 0 for none.
    int breakpointAt(std::uint64_t address) const;
    const std::map<int, std::uint64_t> &breakpoints() const { return m_breakpoints; }
    // Forgets the session's breakpoints and location once it has ended.
    void endSession();

    // The address the located file and line come from: set by locate, else the program
    // counter.
    std::optional<std::uint64_t> located;
    int printRadix = 10;

private:
    ScriptEnvironment &m_environment;
    std::map<int, std::uint64_t> m_breakpoints;
    int m_nextNumber = 1;
};
