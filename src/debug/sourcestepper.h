#pragma once

#include <cstdint>
#include <functional>
#include <string>

class SymbolicDebuggerInterface;

// Source-level stepping over an engine's single steps and breakpoints: a line at a time with
// calls run through, or on to the return of the current function. It waits for a running
// target in short slices, so that a cancel request ends it; failures throw HException.
class SourceStepper {
public:
    enum class Result {
        Done,             // at the start of the next line, or back in the caller
        StoppedElsewhere, // a breakpoint or a fault stopped the target first
        Cancelled,        // the target was stopped on request
    };

    // `hasBreakpoint` tells the user's breakpoints, which stepping must neither remove nor
    // run through.
    SourceStepper(SymbolicDebuggerInterface &engine,
                  std::function<bool(std::uint64_t)> hasBreakpoint,
                  std::function<bool()> cancelled);

    // Both step the target from its own registers, leaving any located register context.
    Result stepOver();
    Result stepOut();

private:
    std::uint64_t registerValue(const std::string &name);
    std::uint64_t pc();
    std::uint64_t sp();
    // One instruction; a call it makes runs to its return.
    Result stepInstruction();
    // Runs until the target stops at `address` with the stack pointer at or above
    // `minimumSp` (deeper recursion passes through the same address).
    Result runTo(std::uint64_t address, std::uint64_t minimumSp);

    SymbolicDebuggerInterface &m_engine;
    std::function<bool(std::uint64_t)> m_hasBreakpoint;
    std::function<bool()> m_cancelled;
};
