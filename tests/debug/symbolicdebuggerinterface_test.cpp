// The defaults of the debugger interface, which every engine inherits unless it overrides them.

#include "debug/symbolicdebuggerinterface.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// An engine that supplies only the operations without a default.
class BareEngine final : public SymbolicDebuggerInterface {
public:
    explicit BareEngine(unsigned addressSize = 4) : m_addressSize(addressSize) {}
    std::size_t readMemory(int, std::uint64_t, std::size_t, void *) override { return 0; }
    std::size_t writeMemory(int, std::uint64_t, std::size_t, const void *) override { return 0; }
    bool setBreakpoint(std::uint64_t) override { return false; }
    bool clearBreakpoint(std::uint64_t) override { return false; }
    unsigned getAddressSizeInBytes() override { return m_addressSize; }
    std::vector<std::string> getRegisterNames() override { return {}; }
    bool getRegister(const std::string &, std::uint64_t &) override { return false; }
    bool setRegister(const std::string &, std::uint64_t) override { return false; }
    void go() override {}
    void stepInstruction() override {}
    void stop() override {}
    bool isRunning() override { return false; }
    std::string evaluateExpression(const std::string &) override { return {}; }

private:
    unsigned m_addressSize;
};

std::string text(bool value) {
    return value ? "true" : "false";
}
std::string text(std::uint64_t value) {
    return std::to_string(value);
}
std::string text(const std::vector<std::string> &list) {
    return "[" + std::to_string(list.size()) + "]";
}

TEST(SymbolicDebuggerInterface, Defaults) {
    BareEngine e;
    std::string s1;
    std::string s2;
    int line = 7;
    std::uint64_t a = 9, b = 9;
    std::string t;
    SymbolicDebuggerInterface::TraceIcon icon = SymbolicDebuggerInterface::TraceIcon::Call;
    unsigned flags = 3;
    struct Row {
        const char *operation;
        std::function<std::string()> call;
        const char *expected;
    } rows[] = {
        {"getThreadFields", [&] { return text(e.getThreadFields()); }, "[0]"},
        {"numberOfThreads", [&] { return text(std::uint64_t(e.numberOfThreads())); }, "0"},
        {"getThread", [&] { return text(e.getThread(0).has_value()); }, "false"},
        {"getThreadRequiresStartupComplete",
         [&] { return text(e.getThreadRequiresStartupComplete()); }, "true"},
        {"getDisassemblyModes", [&] { return text(e.getDisassemblyModes()); }, "[0]"},
        {"getDisassemblyMode", [&] { return e.getDisassemblyMode(); }, ""},
        {"getSourceLocation", [&] { return text(e.getSourceLocation(0x100, s1, s2, line, a, b)); },
         "false"},
        {"getDefaultBreakTrigger", [&] { return e.getDefaultBreakTrigger(); }, "Execute"},
        {"getBreakTriggers", [&] { return text(e.getBreakTriggers()); }, "[0]"},
        {"getBreakActions", [&] { return text(e.getBreakActions()); }, "[0]"},
        {"getHardwareBreakPoints", [&] { return text(e.getHardwareBreakPoints("x")); }, "[0]"},
        {"getWordSizeInBytes", [&] { return text(std::uint64_t(e.getWordSizeInBytes())); }, "4"},
        {"getProgramCounterName", [&] { return e.getProgramCounterName(); }, "PC"},
        {"getStackPointerName", [&] { return e.getStackPointerName(); }, "SP"},
        {"getTraceSources", [&] { return text(e.getTraceSources()); }, "[0]"},
        {"getTraceSource", [&] { return e.getTraceSource(); }, ""},
        {"getExecutionCountThreshold", [&] { return text(e.getExecutionCountThreshold()); }, "0"},
        {"getTotalExecutionCounts", [&] { return text(e.getTotalExecutionCounts()); }, "0"},
        {"getExecutionCount", [&] { return text(e.getExecutionCount(a, b, line, t)); }, "false"},
        {"getTraceEnabled", [&] { return text(e.getTraceEnabled()); }, "false"},
        {"getNumTraceEntries", [&] { return text(std::uint64_t(e.getNumTraceEntries("src"))); },
         "0"},
        {"getTrace", [&] { return text(e.getTrace(0, line, a, t, icon, flags)); }, "false"},
        {"getTraceShowsSource", [&] { return text(e.getTraceShowsSource()); }, "true"},
        {"supportsVisualizer", [&] { return text(e.supportsVisualizer()); }, "true"},
        {"getCycleCount", [&] { return text(e.getCycleCount()); }, "0"},
        {"pointerIsValid 0", [&] { return text(e.pointerIsValid(0)); }, "false"},
        {"pointerIsValid 1", [&] { return text(e.pointerIsValid(1)); }, "true"},
        {"addressMinus within", [&] { return text(e.addressMinus(0x100, 0x10)); }, "240"},
        {"addressMinus past 0", [&] { return text(e.addressMinus(0x10, 0x11)); }, "0"},
        {"addressPlus within", [&] { return text(e.addressPlus(0x100, 0x10)); }, "272"},
        // A step forward never leaves a 32-bit target's space nor wraps round.
        {"addressPlus past the top", [&] { return text(e.addressPlus(0xfffffff0, 0x20)); },
         "4294967295"},
        {"addressPlus from the top", [&] { return text(e.addressPlus(0xffffffff, 1)); },
         "4294967295"},
        {"addressPlus a huge step", [&] { return text(e.addressPlus(0x10, ~std::uint64_t(0))); },
         "4294967295"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(row.call(), row.expected) << row.operation;

    // The operations without an answer leave the out-arguments alone and do nothing.
    e.selectThread(DebuggerThread{});
    e.setDisassemblyMode("mixed");
    e.setTraceSource("etm");
    e.setTraceFilter(true, {"main"});
    e.resetExecutionCount();
    e.iterateExecutionCount();
    e.resetTrace();
    e.setTraceEnabled(true);
    e.iterateTrace("etm", 0);
    e.onStartupComplete();
    EXPECT_FALSE(e.getTraceEnabled());
    EXPECT_EQ(line, 7);
    EXPECT_EQ(a, 9u);
    EXPECT_EQ(icon, SymbolicDebuggerInterface::TraceIcon::Call);
    EXPECT_EQ(flags, 3u);
}

TEST(SymbolicDebuggerInterface, AddressPlusSaturatesAtTheTopOfTheTargetsSpace) {
    BareEngine wide(8);
    EXPECT_EQ(wide.addressPlus(0xfffffff0, 0x20), 0x100000010u);
    EXPECT_EQ(wide.addressPlus(~std::uint64_t(0) - 1, 5), ~std::uint64_t(0));
    BareEngine narrow(2);
    EXPECT_EQ(narrow.addressPlus(0xfff0, 0x20), 0xffffu);
    EXPECT_EQ(wide.getWordSizeInBytes(), 8u);
}

TEST(SymbolicDebuggerInterface, TheCurrentEngineIsTheOneSetLast) {
    BareEngine first, second;
    SymbolicDebuggerInterface::setCurrent(&first);
    EXPECT_EQ(SymbolicDebuggerInterface::current(), &first);
    SymbolicDebuggerInterface::setCurrent(&second);
    EXPECT_EQ(SymbolicDebuggerInterface::current(), &second);
    SymbolicDebuggerInterface::setCurrent(nullptr);
    EXPECT_EQ(SymbolicDebuggerInterface::current(), nullptr);
}

} // namespace
