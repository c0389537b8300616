#pragma once

#include "debug/debugtarget.h"
#include "debug/dwarfframetable.h"
#include "debug/dwarflinetable.h"
#include "debug/elffile.h"
#include "debug/symbolicdebuggerinterface.h"
#include "expr/expressionparser.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

// The engine: the debugger interface over one target, with a memory cache that is valid
// only while the target is halted, a breakpoint table, symbols from an ELF symbol table,
// source lines from its DWARF line tables, callers from its call frame information and
// expressions evaluated by the expression evaluator against target memory and registers.
class StandardDebugger final : public SymbolicDebuggerInterface, public DebugExpressionParser {
public:
    // Memory contexts: through the cache, or straight to the target.
    enum MemoryContext { Cached = 0, Direct = 1 };

    explicit StandardDebugger(std::unique_ptr<DebugTarget> target,
                              SymbolicDebuggerInterfaceHelpers *helpers = nullptr);
    ~StandardDebugger() override;

    // Symbols for expressions and breakpoints, and source lines; replaces any loaded before.
    // A damaged line table is reported to the helpers and leaves the symbols usable.
    void loadSymbols(const std::string &elfPath);
    const ElfFile *symbols() const { return m_symbols.get(); }
    const DwarfLineTable &lines() const { return m_lines; }
    DebugTarget &target() { return *m_target; }

    std::size_t readMemory(int context, std::uint64_t address, std::size_t length,
                           void *destination) override;
    std::size_t writeMemory(int context, std::uint64_t address, std::size_t length,
                            const void *source) override;

    // Thumb on an Arm M-profile core (one with an xPSR register), none elsewhere.
    std::vector<std::string> getDisassemblyModes() override;
    // Throws HException for a mode getDisassemblyModes does not offer.
    void setDisassemblyMode(const std::string &mode) override;
    std::string getDisassemblyMode() override;
    // From target memory, so that what is shown is what runs. The instructions before the
    // address are decoded from the start of its function where that is near, else from the
    // nearest earlier point whose decoding meets the address.
    std::vector<DisassembledInstruction> disassemble(std::uint64_t address, int before,
                                                     int after) override;

    bool getSourceLocation(std::uint64_t address, std::string &function, std::string &file,
                           int &line, std::uint64_t &start, std::uint64_t &end) override;
    std::vector<std::uint64_t> getLineAddresses(const std::string &file, int &line) override;
    bool getFunctionRange(std::uint64_t address, std::uint64_t &start, std::uint64_t &end) override;
    // From the call frame information where it covers the program counter; without it, the
    // link register at a function's first instruction and throughout an Arm Thumb function
    // that never saves it (a leaf).
    bool getReturnAddress(std::uint64_t &address) override;
    // The whole chain where the call frame information covers it.
    std::vector<std::uint64_t> getReturnAddresses() override;
    std::optional<std::vector<std::string>> getGlobalVariables() override;
    // From the debugging information; empty where it describes no function at the program
    // counter.
    std::optional<std::vector<LocalVariable>> getLocalVariables() override;

    // On an Arm M-profile core (one with an xPSR register): the vector catches of its debug
    // exception and monitor control register. Failures to read or set it throw HException.
    std::optional<std::vector<TargetException>> getExceptions() override;
    bool enableException(const std::string &name, bool enable) override;

    bool setBreakpoint(std::uint64_t address) override;
    bool clearBreakpoint(std::uint64_t address) override;
    // The address of a function or object symbol (a Thumb function's without its mode bit)
    // or of a number; throws HException for neither.
    std::uint64_t resolveLocation(const std::string &text);
    // Addresses with a breakpoint, and whether each is a hardware one.
    const std::map<std::uint64_t, bool> &breakpoints() const { return m_breakpoints; }

    unsigned getAddressSizeInBytes() override { return m_target->addressSize(); }
    std::string getProgramCounterName() override { return "pc"; }
    std::string getStackPointerName() override { return "sp"; }
    std::vector<std::string> getRegisterNames() override;
    bool getRegister(const std::string &name, std::uint64_t &value) override;
    // Refused (HException) while a register context is located: the values are not the
    // target's.
    bool setRegister(const std::string &name, std::uint64_t value) override;
    // Refused (HException) while the target runs.
    bool locateRegisters(const std::vector<std::optional<std::uint64_t>> &values) override;
    void leaveRegisterContext() override { m_located.reset(); }

    void go() override;
    void stepInstruction() override;
    void stop() override;
    bool isRunning() override { return m_running; }
    bool waitForStop(int timeoutMs) override;
    // Runs until the target stops, `timeoutMs` passes (0: no limit) or `cancelled` answers
    // true; in the last two cases the target is interrupted, so that it is halted when this
    // returns unless it ended. Console output goes to the helpers as it arrives.
    StopEvent continueFor(int timeoutMs, const std::function<bool()> &cancelled = {});
    StopEvent step();

    std::string evaluateExpression(const std::string &expression) override;

    // Symbols, registers and target objects for the evaluator.
    std::shared_ptr<MarkerType> lookupSymbol(const std::vector<std::string> &names) override;
    std::shared_ptr<MarkerType> lookupSecondScope(const std::string &name) override;
    std::shared_ptr<MarkerType> lookupRegister(const std::string &name) override;
    bool isTypeName(const std::string &name) override { return false; }
    std::intptr_t engineHook(int request, void *data) override { return 0; }
    ExpressionValue cast(const BaseType &type, const ExpressionValue &value) override;
    ExpressionValue elementAt(const ExpressionValue &object, const ExpressionValue &index) override;
    ExpressionValue member(const ExpressionValue &object, const std::string &name) override;
    ExpressionValue scopedMember(const ExpressionValue &object,
                                 const std::vector<std::string> &names) override;
    ExpressionValue pointerToMember(const ExpressionValue &object,
                                    const ExpressionValue &member) override;
    ExpressionValue addressOf(const ExpressionValue &value) override;
    ExpressionValue sizeOf(const ExpressionValue &value) override;
    ExpressionValue sizeOfType(const BaseType &type) override;
    void store(const ExpressionValue &target, const ExpressionValue &value) override;
    ExpressionValue currentValue(const ExpressionValue &target) override;
    ExpressionValue arraySlice(const ExpressionValue &array, const ExpressionValue &first,
                               const ExpressionValue &last) override;

private:
    static constexpr std::uint64_t kBlockSize = 1024;

    // The register's index in the target's list, or none.
    std::optional<std::size_t> registerIndex(const std::string &name);
    const std::vector<std::uint64_t> &registerValues();
    // The register at the index in the located context, else the target's; none when unknown.
    std::optional<std::uint64_t> registerValue(std::size_t index);
    // A register of the innermost frame by its DWARF number (the targets number their core
    // registers as DWARF does), or none.
    std::optional<std::uint64_t> dwarfRegister(std::uint64_t number);
    // The unsigned integer of `size` bytes at the address, or none when it cannot be read.
    std::optional<std::uint64_t> readInteger(std::uint64_t address, unsigned size,
                                             MemoryContext context = Cached);
    // The debug exception and monitor control register of an M-profile core, or none on
    // another core.
    std::optional<std::uint32_t> vectorCatchRegister();
    // Forgets what was read while halted: the target is about to change it.
    void invalidate();
    void stopped(const StopEvent &event);
    // With a breakpoint under the program counter, steps one instruction without it and
    // reports that stop; otherwise does nothing.
    StopEvent stepOffBreakpoint(bool *stepped);
    // The return addresses the call frame information gives, at most `limit`, innermost
    // first; none when it does not cover the program counter.
    std::optional<std::vector<std::uint64_t>> unwind(std::size_t limit);
    // Whether the Thumb code in [start, end) never stores the link register.
    bool keepsLinkRegister(std::uint64_t start, std::uint64_t end);
    // How many instructions lie from `from` up to `to`, or none when decoding from there does
    // not meet `to`.
    std::optional<std::size_t> instructionsUpTo(std::uint64_t from, std::uint64_t to);
    // Instructions from `from` on, at most `count`, as far as memory can be read.
    std::vector<DisassembledInstruction> decodeFrom(std::uint64_t from, std::size_t count);
    // The highest address plus one (0 for a 64-bit space).
    std::uint64_t addressLimit() const;
    // How much of a memory access lies inside the target's address space: nothing lies past
    // its end, and nothing wraps round to 0.
    std::size_t fitAddressSpace(std::uint64_t address, std::size_t length) const;

    std::unique_ptr<DebugTarget> m_target;
    SymbolicDebuggerInterfaceHelpers *m_helpers;
    std::unique_ptr<ElfFile> m_symbols;
    DwarfLineTable m_lines;
    DwarfFrameTable m_frames;
    std::map<std::uint64_t, std::vector<std::uint8_t>> m_cache; // block start, kBlockSize bytes
    std::optional<std::vector<std::uint64_t>> m_registers;
    // The located register context, by index into the target's registers.
    std::optional<std::vector<std::optional<std::uint64_t>>> m_located;
    std::map<std::uint64_t, bool> m_breakpoints;
    bool m_running = false;
};
