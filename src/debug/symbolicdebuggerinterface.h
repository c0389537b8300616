#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One thread (or task) of the program as the threads window lists it.
struct DebuggerThread {
    std::uint64_t id = 0;
    std::string name;
    std::vector<std::string> fields; // one text per column of getThreadFields
};

// One instruction of a disassembly.
struct DisassembledInstruction {
    std::uint64_t address = 0;
    unsigned size = 0;
    // The instruction's units in hexadecimal as a listing shows them: "b580", "f8df 3010".
    std::string encoding;
    // Mnemonic, a tab and the operands; comments follow after a tab and "@".
    std::string text;
    // Where a branch goes, or what a PC-relative operand refers to.
    std::optional<std::uint64_t> target;
};

// A local variable of the function at the program counter.
struct LocalVariable {
    std::string name;
    // As evaluateExpression gives values; a text in angle brackets when there is none to show
    // ("<optimised out>", "<unavailable>").
    std::string value;
    bool isPointer = false;
    bool pointsToChar = false;
};

// An exception of the target that it can stop on when the exception is taken.
struct TargetException {
    std::string name;
    bool enabled = false;
};

// The debugger engine as the environment's windows and scripts see it. Operations with a
// default here are optional for an engine; the pure ones are what every engine provides.
// Memory access reports the bytes delivered, so that a short read is never mistaken for data.
class SymbolicDebuggerInterface {
public:
    enum class TraceIcon { None, Call, Return, Interrupt, Branch, Data };

    virtual ~SymbolicDebuggerInterface() = default;

    // Threads.
    virtual std::vector<std::string> getThreadFields() { return {}; }
    virtual int numberOfThreads() { return 0; }
    virtual std::optional<DebuggerThread> getThread(int index) { return std::nullopt; }
    virtual void selectThread(const DebuggerThread &thread) {}
    virtual bool getThreadRequiresStartupComplete() { return true; }

    // Disassembly.
    virtual std::vector<std::string> getDisassemblyModes() { return {}; }
    virtual void setDisassemblyMode(const std::string &mode) {}
    virtual std::string getDisassemblyMode() { return {}; }
    // In the chosen mode: up to `before` instructions that lead to the address, the one at
    // it and up to `after` that follow, as far as memory can be read; empty when the engine
    // cannot disassemble or the address cannot be read.
    virtual std::vector<DisassembledInstruction> disassemble(std::uint64_t address, int before,
                                                             int after) {
        return {};
    }

    // Target memory: (context, address, length, buffer); returns the bytes that moved.
    virtual std::size_t readMemory(int context, std::uint64_t address, std::size_t length,
                                   void *destination) = 0;
    virtual std::size_t writeMemory(int context, std::uint64_t address, std::size_t length,
                                    const void *source) = 0;

    // Source positions. `start` and `end` bound the code of the line that holds the address
    // (of the function when there is no line information).
    virtual bool getSourceLocation(std::uint64_t address, std::string &function, std::string &file,
                                   int &line, std::uint64_t &start, std::uint64_t &end) {
        return false;
    }
    // Where `line` of the file begins (once per run of its code); a line without code moves
    // on to the next that has, and `line` becomes that line. Empty when none is known.
    virtual std::vector<std::uint64_t> getLineAddresses(const std::string &file, int &line) {
        return {};
    }
    // The code of the function holding the address: [start, end).
    virtual bool getFunctionRange(std::uint64_t address, std::uint64_t &start, std::uint64_t &end) {
        return false;
    }
    // Where the function at the program counter returns to, when the engine can tell it
    // without unwinding the stack.
    virtual bool getReturnAddress(std::uint64_t &address) { return false; }
    // The return addresses of the calls that led to the program counter, innermost first, as
    // far as the engine can tell them; by default the one getReturnAddress knows.
    virtual std::vector<std::uint64_t> getReturnAddresses();
    // The names of the program's data objects, or none when the engine cannot list them.
    virtual std::optional<std::vector<std::string>> getGlobalVariables() { return std::nullopt; }
    // The parameters and variables in scope at the program counter, or none when the engine
    // cannot list them.
    virtual std::optional<std::vector<LocalVariable>> getLocalVariables() { return std::nullopt; }

    // Exceptions the target can stop on; none when the engine cannot tell.
    virtual std::optional<std::vector<TargetException>> getExceptions() { return std::nullopt; }
    // Stops, or no longer stops, on the named exception (in any case); false when there is no
    // such exception.
    virtual bool enableException(const std::string &name, bool enable) { return false; }

    // Breakpoints.
    virtual std::string getDefaultBreakTrigger() { return "Execute"; }
    virtual std::vector<std::string> getBreakTriggers() { return {}; }
    virtual std::vector<std::string> getBreakActions() { return {}; }
    virtual std::vector<std::string> getHardwareBreakPoints(const std::string &name) { return {}; }
    virtual bool setBreakpoint(std::uint64_t address) = 0;
    virtual bool clearBreakpoint(std::uint64_t address) = 0;

    // Registers and sizes.
    virtual unsigned getAddressSizeInBytes() = 0;
    virtual unsigned getWordSizeInBytes() { return getAddressSizeInBytes(); }
    virtual std::string getProgramCounterName() { return "PC"; }
    virtual std::string getStackPointerName() { return "SP"; }
    virtual std::vector<std::string> getRegisterNames() = 0;
    // False when there is no such register, or a located register context has no value for it.
    virtual bool getRegister(const std::string &name, std::uint64_t &value) = 0;
    virtual bool setRegister(const std::string &name, std::uint64_t value) = 0;
    // Register contexts: the registers of another context than the target's own (a thread's
    // saved registers, an exception's stacked frame), one value or none per entry of
    // getRegisterNames, stand for the target's in register reads, callers, locals and
    // expressions until the target resumes or the context is left. A register without a value
    // is unknown there, and the target's own registers are never written. False when the
    // engine cannot locate to registers.
    virtual bool locateRegisters(const std::vector<std::optional<std::uint64_t>> &values) {
        return false;
    }
    virtual void leaveRegisterContext() {}

    // Execution.
    virtual void go() = 0;
    virtual void stepInstruction() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() = 0;
    // Waits at most `timeoutMs` for a running target to stop; true when it is halted. Callers
    // that must stay responsive wait in short slices.
    virtual bool waitForStop(int timeoutMs) { return !isRunning(); }

    // Expressions: the value as text, or a ParserException.
    virtual std::string evaluateExpression(const std::string &expression) = 0;

    // Trace and execution counts.
    virtual std::vector<std::string> getTraceSources() { return {}; }
    virtual void setTraceSource(const std::string &name) {}
    virtual std::string getTraceSource() { return {}; }
    virtual void setTraceFilter(bool enabled, const std::vector<std::string> &names) {}
    virtual void resetExecutionCount() {}
    virtual void clearTraceFilter() {}
    virtual std::uint64_t getExecutionCountThreshold() { return 0; }
    virtual std::uint64_t getTotalExecutionCounts() { return 0; }
    virtual void iterateExecutionCount() {}
    virtual bool getExecutionCount(std::uint64_t &address, std::uint64_t &count, int &line,
                                   std::string &text) {
        return false;
    }
    virtual void resetTrace() {}
    virtual void setTraceEnabled(bool enabled) {}
    virtual bool getTraceEnabled() { return false; }
    virtual int getNumTraceEntries(const std::string &source) { return 0; }
    virtual void iterateTrace(const std::string &source, int start) {}
    virtual bool getTrace(int index, int &line, std::uint64_t &address, std::string &text,
                          TraceIcon &icon, unsigned &flags) {
        return false;
    }
    virtual bool getTraceShowsSource() { return true; }
    virtual void refreshViews() {}

    virtual bool supportsVisualizer() { return true; }
    virtual std::uint64_t getCycleCount() { return 0; }
    virtual void resetCycleCount() {}

    // Addresses: a null pointer is the only one known to be invalid.
    virtual bool pointerIsValid(std::uint64_t address) { return address != 0; }
    // Steps through the address space without wrapping: backwards stops at 0, forwards at
    // the last address of the target.
    virtual std::uint64_t addressMinus(std::uint64_t address, std::uint64_t distance);
    virtual std::uint64_t addressPlus(std::uint64_t address, std::uint64_t distance);

    virtual void onStartupComplete() {}

    // The engine the environment works with now, or null.
    static SymbolicDebuggerInterface *current() { return sm_current; }
    static void setCurrent(SymbolicDebuggerInterface *engine) { sm_current = engine; }

private:
    static inline SymbolicDebuggerInterface *sm_current = nullptr;
};

// The environment as the engine sees it: where it reports output, errors, progress and stops.
class SymbolicDebuggerInterfaceHelpers {
public:
    virtual ~SymbolicDebuggerInterfaceHelpers() = default;
    // Text the program wrote to its console.
    virtual void targetOutput(const std::string &text) = 0;
    virtual void message(const std::string &text) = 0;
    virtual void error(const std::string &text) = 0;
    // `done` of `total` units of a long transfer.
    virtual void progress(std::uint64_t done, std::uint64_t total) = 0;
    virtual void stopped(std::uint64_t pc, const std::string &reason) = 0;
};

// The helpers for headless use: output and messages to standard output, errors to standard
// error, progress only when asked for.
class ConsoleDebuggerHelpers final : public SymbolicDebuggerInterfaceHelpers {
public:
    explicit ConsoleDebuggerHelpers(bool showProgress = false) : m_showProgress(showProgress) {}
    void targetOutput(const std::string &text) override;
    void message(const std::string &text) override;
    void error(const std::string &text) override;
    void progress(std::uint64_t done, std::uint64_t total) override;
    void stopped(std::uint64_t pc, const std::string &reason) override;

private:
    bool m_showProgress;
};
