#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A register as a target describes it: the name users type, the number the target uses and
// the size in bytes.
struct TargetRegister {
    std::string name;
    unsigned number;
    unsigned size;
};

// Why the target stopped, or that it ended.
struct StopEvent {
    enum Kind {
        Signal,     // halted with a signal (5: a breakpoint or a finished step)
        Exited,     // the program ended with a status
        Terminated, // the program was ended by a signal
        TimedOut,   // the wait ended before the target stopped; it is still running
    };
    Kind kind = Signal;
    int code = 0;
    std::string output;       // what the program wrote to the console while it ran
    bool interrupted = false; // stopped on request, not by itself
};

// The connection to one target: memory, registers, breakpoints, execution. Memory access
// reports the bytes delivered, so callers can tell a short read from a full one; the other
// failures (a lost link, a refused request) throw HException.
class DebugTarget {
public:
    virtual ~DebugTarget() = default;

    // Bytes in an address: 4 for the 32-bit cores.
    virtual unsigned addressSize() const { return 4; }
    virtual const std::vector<TargetRegister> &registers() const = 0;
    // The value of every register of `registers`, in that order.
    virtual std::vector<std::uint64_t> readRegisters() = 0;
    virtual void writeRegister(std::size_t index, std::uint64_t value) = 0;

    virtual std::size_t readMemory(std::uint64_t address, void *destination,
                                   std::size_t length) = 0;
    virtual std::size_t writeMemory(std::uint64_t address, const void *source,
                                    std::size_t length) = 0;

    // Software breakpoints first; hardware ones where the target refuses them. False when
    // the target refuses both.
    virtual bool insertBreakpoint(std::uint64_t address, bool hardware) = 0;
    virtual bool removeBreakpoint(std::uint64_t address, bool hardware) = 0;

    // Starts the target (one instruction with `step`), then waits up to `timeoutMs` for it
    // to stop.
    virtual StopEvent resume(bool step, int timeoutMs) = 0;
    // Waits again for a target that was still running after a resume.
    virtual StopEvent waitForStop(int timeoutMs) = 0;
    // Asks a running target to stop; the stop is collected with waitForStop.
    virtual void interrupt() = 0;
    // The reason of the last stop, asked of the target.
    virtual StopEvent haltReason() = 0;
    // Leaves the target running, or ends the program.
    virtual void detach() = 0;
    virtual void kill() = 0;
};
