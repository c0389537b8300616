#pragma once

#include "script/esclass.h"

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

class ScriptEnvironment;
class SymbolicDebuggerInterface;

// `Debug`: breakpoints, execution, expressions and printing over the debugger engine of the
// running session. Breakpoints get numbers from 1 that stay with them until deleted.
class DebugScriptObjectClass : public ESClass {
public:
    struct Breakpoint {
        std::uint64_t address;
        bool temporary = false; // deleted when it stops the target
        int ignore = 0;         // hits still to pass before it stops the target
    };

    explicit DebugScriptObjectClass(ScriptEnvironment &environment) : m_environment(environment) {}
    void install(ESContext &context, const char *name) override;

    ScriptEnvironment &environment() const { return m_environment; }
    // The engine, or a script error when no session runs.
    SymbolicDebuggerInterface &engine(ESContext &context) const;

    // Sets a breakpoint at the address (reusing the number of one already there); it stops
    // the target on its `count`th hit and every hit after.
    int addBreakpoint(ESContext &context, std::uint64_t address, bool temporary = false,
                      int count = 1);
    // Deletes one breakpoint, or all for 0; false for an unknown number.
    bool deleteBreakpoint(ESContext &context, int number);
    // The number of the breakpoint at the address, 0 for none.
    int breakpointAt(std::uint64_t address) const;
    // Counts a hit of the breakpoint: false while it has hits to pass; a temporary one that
    // stops the target is deleted.
    bool hit(ESContext &context, int number);
    const std::map<int, Breakpoint> &breakpoints() const { return m_breakpoints; }
    // Forgets the session's breakpoints and location once it has ended.
    void endSession();

    // The address the located file and line come from: set by locate, else the program
    // counter.
    std::optional<std::uint64_t> located;
    int printRadix = 10;
    // The most characters a string prints with.
    int printArray = 200;
    // Whether printlocals follows character pointers to the strings they point at.
    bool printString = false;
    // Source lines shown around a location (before, after), once a script asked for them.
    std::optional<std::pair<int, int>> sourceDisplay;
    // Instructions shown around a location instead, once a script asked for them.
    struct DisassemblyDisplay {
        bool source = false; // the source lines of the instructions between them
        bool labels = false; // the function names where functions begin
        int before = 0;
        int after = 0;
    };
    std::optional<DisassemblyDisplay> disassemblyDisplay;

private:
    ScriptEnvironment &m_environment;
    std::map<int, Breakpoint> m_breakpoints;
    int m_nextNumber = 1;
};
