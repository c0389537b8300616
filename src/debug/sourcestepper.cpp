#include "debug/sourcestepper.h"

#include "core/hexception.h"
#include "core/hexformat.h"
#include "debug/symbolicdebuggerinterface.h"

namespace {

constexpr int kSliceMs = 50;

std::string hexAddress(std::uint64_t address) {
    return "0x" + (address >> 32 ? hex(address) : hex8(std::uint32_t(address)));
}

struct Line {
    std::string file;
    int line = 0;
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

// The source line at the address; line 0 when there is none.
Line lineAt(SymbolicDebuggerInterface &engine, std::uint64_t address) {
    Line found;
    std::string function;
    if (!engine.getSourceLocation(address, function, found.file, found.line, found.start,
                                  found.end))
        return {};
    return found;
}

} // namespace

SourceStepper::SourceStepper(SymbolicDebuggerInterface &engine,
                             std::function<bool(std::uint64_t)> hasBreakpoint,
                             std::function<bool()> cancelled)
    : m_engine(engine), m_hasBreakpoint(std::move(hasBreakpoint)),
      m_cancelled(std::move(cancelled)) {}

std::uint64_t SourceStepper::registerValue(const std::string &name) {
    std::uint64_t value = 0;
    if (!m_engine.getRegister(name, value))
        throw HException("the register " + name + " cannot be read");
    return value;
}

std::uint64_t SourceStepper::pc() {
    return registerValue(m_engine.getProgramCounterName());
}

std::uint64_t SourceStepper::sp() {
    return registerValue(m_engine.getStackPointerName());
}

SourceStepper::Result SourceStepper::runTo(std::uint64_t address, std::uint64_t minimumSp) {
    const bool temporary = !m_hasBreakpoint(address);
    if (temporary && !m_engine.setBreakpoint(address))
        throw HException("cannot set a breakpoint at " + hexAddress(address));
    // The breakpoint goes however this ends, a lost link included.
    struct Remove {
        SymbolicDebuggerInterface &engine;
        std::uint64_t address;
        bool active;
        ~Remove() {
            if (active) {
                try {
                    engine.clearBreakpoint(address);
                } catch (const HException &) {
                }
            }
        }
    } remove{m_engine, address, temporary};
    for (;;) {
        m_engine.go();
        while (!m_engine.waitForStop(kSliceMs)) {
            if (m_cancelled()) {
                m_engine.stop();
                return Result::Cancelled;
            }
        }
        if (pc() != address)
            return Result::StoppedElsewhere;
        if (sp() >= minimumSp)
            return Result::Done;
    }
}

SourceStepper::Result SourceStepper::stepInstruction() {
    const std::uint64_t before = pc();
    const std::uint64_t stack = sp();
    m_engine.stepInstruction();
    if (m_engine.isRunning())
        throw HException("the target does not stop");
    const std::uint64_t after = pc();
    if (m_hasBreakpoint(after))
        return Result::StoppedElsewhere;
    // Arriving at the first instruction of a function from elsewhere is a call.
    std::uint64_t start = 0, end = 0, back = 0;
    if (after != before && m_engine.getFunctionRange(after, start, end) && start == after &&
        m_engine.getReturnAddress(back))
        return runTo(back, stack);
    return Result::Done;
}

SourceStepper::Result SourceStepper::stepOver() {
    if (m_engine.isRunning())
        throw HException("the target is running");
    m_engine.leaveRegisterContext();
    Line current = lineAt(m_engine, pc());
    if (current.line == 0)
        return stepInstruction();
    for (;;) {
        if (m_cancelled())
            return Result::Cancelled;
        const std::uint64_t before = pc();
        if (Result result = stepInstruction(); result != Result::Done)
            return result;
        const std::uint64_t after = pc();
        // A branch to itself never leaves the line.
        if (after == before)
            return Result::Done;
        const Line next = lineAt(m_engine, after);
        if (next.line == 0)
            return Result::Done;
        if (next.line != current.line || next.file != current.file) {
            // An engine without the line's bounds is taken at its word.
            if (after == next.start || after < next.start || after >= next.end)
                return Result::Done;
            // Back from a call into the middle of a line: finish that line too.
            current = next;
        }
    }
}

SourceStepper::Result SourceStepper::stepOut() {
    if (m_engine.isRunning())
        throw HException("the target is running");
    m_engine.leaveRegisterContext();
    const std::uint64_t here = pc();
    std::uint64_t back = 0;
    if (m_engine.getReturnAddress(back))
        return runTo(back, sp());
    // Without the return address, single steps (calls run through) until the code leaves
    // the function.
    std::uint64_t start = 0, end = 0;
    if (!m_engine.getFunctionRange(here, start, end))
        throw HException("no function at " + hexAddress(here) + " to step out of");
    for (;;) {
        if (m_cancelled())
            return Result::Cancelled;
        if (Result result = stepInstruction(); result != Result::Done)
            return result;
        const std::uint64_t at = pc();
        if (at < start || at >= end)
            return Result::Done;
    }
}
