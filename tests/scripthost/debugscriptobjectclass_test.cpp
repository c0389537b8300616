#include "hosttesting.h"
#include "scratchdirtest.h"

#include "crosstool.h"
#include "debug/memoryimagetarget.h"
#include "debug/standarddebugger.h"
#include "debug/symbolicdebuggerinterface.h"
#include "expr/parserexception.h"
#include "scripthost/threadswindow.h"
#include "scripthost/tovanscriptsystem.h"
#include "toolrunner.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <set>
#include <thread>

namespace {

// A target that runs until `stopAfterWaits` waits have passed (never when negative) and then
// stops at `stopPc`. Symbols: "main" at 0x100, "tick" at 0x180; "count" reads as 42.
class FakeDebugger : public SymbolicDebuggerInterface {
public:
    // Memory is a string at 0x300 ("text").
    std::size_t readMemory(int, std::uint64_t address, std::size_t length, void *out) override {
        static const char kText[] = "say \"hi\"\n";
        if (address < 0x300 || address >= 0x300 + sizeof kText)
            return 0;
        std::size_t count = std::min<std::size_t>(length, 0x300 + sizeof kText - address);
        std::memcpy(out, kText + (address - 0x300), count);
        return count;
    }
    std::size_t writeMemory(int, std::uint64_t, std::size_t, const void *) override { return 0; }
    bool setBreakpoint(std::uint64_t address) override {
        if (address >= 0x10000)
            return false;
        breakpoints.insert(address);
        return true;
    }
    bool clearBreakpoint(std::uint64_t address) override { return breakpoints.erase(address); }
    unsigned getAddressSizeInBytes() override { return 4; }
    std::string getProgramCounterName() override { return "pc"; }
    std::vector<std::string> getRegisterNames() override { return {"r0", "pc"}; }
    bool getRegister(const std::string &name, std::uint64_t &value) override {
        if (name == "pc")
            value = pc;
        else if (name == "r0")
            value = 7;
        else if (name == "SP")
            value = 0x20001000;
        else
            return false;
        return true;
    }
    bool setRegister(const std::string &, std::uint64_t) override { return false; }
    void go() override {
        running = true;
        ++goes;
    }
    void stepInstruction() override { pc += 2; }
    void stop() override { running = false; }
    bool isRunning() override { return running; }
    bool waitForStop(int ms) override {
        if (running && stopAfterWaits < 0 && blocksInWait)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        if (running && stopAfterWaits >= 0 && waits++ >= stopAfterWaits) {
            running = false;
            pc = stopPc;
        }
        return !running;
    }
    bool getSourceLocation(std::uint64_t address, std::string &function, std::string &file,
                           int &line, std::uint64_t &start, std::uint64_t &end) override {
        if (address < 0x100 || address >= 0x200)
            return false;
        function = address < 0x180 ? "main" : "tick";
        file = "main.c";
        line = int(address - 0x100) / 2 + 10;
        start = end = 0;
        return true;
    }
    // Lines 10 to 137 of main.c, one instruction each from 0x100.
    std::vector<std::uint64_t> getLineAddresses(const std::string &file, int &line) override {
        if (file != "main.c" || line < 10 || line > 137)
            return {};
        return {std::uint64_t(0x100 + (line - 10) * 2)};
    }
    std::string evaluateExpression(const std::string &expression) override {
        static const std::map<std::string, std::string> kValues = {
            {"main", "256"},  {"tick", "384"},  {"count", "42"},
            {"ratio", "1.5"}, {"ok", "true"},   {"name", "\"abc\""},
            {"minus", "-3"},  {"far", "65536"}, {"text", "768"},
        };
        auto found = kValues.find(expression);
        if (found == kValues.end())
            throw ParserException("unknown symbol");
        return found->second;
    }

    // A character pointer to the text, a null one and a variable without a value.
    std::optional<std::vector<LocalVariable>> getLocalVariables() override {
        return std::vector<LocalVariable>{{"n", "-3"},
                                          {"f", "-1.5"},
                                          {"s", "768", true, true},
                                          {"p", "0", true, true},
                                          {"gone", "<optimised out>"}};
    }

    std::set<std::uint64_t> breakpoints;
    std::uint64_t pc = 0x100;
    std::uint64_t stopPc = 0x180;
    bool running = false;
    int stopAfterWaits = 2;
    int waits = 0;
    bool blocksInWait = false; // a wait for a target that never stops takes its time
    int goes = 0;
};

class DebugObject : public ::testing::Test {
protected:
    DebugObject() { host.environment.setDebugger(&engine); }
    std::string eval(const std::string &source) {
        return host.eval(QString::fromStdString(source)).toStdString();
    }

    FakeDebugger engine;
    HostFixture host;
};

TEST_F(DebugObject, BreakpointsAreNumberedAndHitsReportTheirNumber) {
    EXPECT_EQ(eval("[Debug.breakexpr('main'), Debug.breakexpr('tick'), Debug.breakexpr(256)]"
                   ".join()"),
              "1,2,1");
    EXPECT_EQ(engine.breakpoints, (std::set<std::uint64_t>{0x100, 0x180}));
    EXPECT_EQ(eval("Debug.breakexpr('far')"), "error: cannot set a breakpoint at 0x00010000");
    EXPECT_EQ(eval("Debug.breakexpr('ratio')"), "error: not an address: ratio");
    EXPECT_EQ(eval("Debug.breakexpr('nothing')"), "error: unknown symbol");

    EXPECT_EQ(eval("Debug.go(); [Debug.stopped(), Debug.wait(5000), Debug.stopped()].join()"),
              "false,2,true");
    EXPECT_EQ(eval("Debug.getfilename() + ':' + Debug.getlinenumber()"), "main.c:74");
    engine.stopPc = 0x102;
    EXPECT_EQ(eval("Debug.go(); Debug.wait()"), "0");

    host.output.clear();
    EXPECT_EQ(eval("Debug.showbreak(0); Debug.deletebreak(1) + ',' + Debug.deletebreak(1)"),
              "true,false");
    EXPECT_EQ(host.output, QStringLiteral("Breakpoint 1 at 0x00000100 in main at main.c:10\n"
                                          "Breakpoint 2 at 0x00000180 in tick at main.c:74\n"));
    EXPECT_EQ(engine.breakpoints, (std::set<std::uint64_t>{0x180}));
    EXPECT_EQ(eval("Debug.deletebreak(0); Debug.breakexpr('main', 1)"), "3");
    EXPECT_EQ(engine.breakpoints, (std::set<std::uint64_t>{0x100}));
}

TEST_F(DebugObject, CountedAndTemporaryBreakpointsAndLineSteps) {
    // The fake stops at 0x180 on every run: the third hit is the one reported.
    engine.stopAfterWaits = 0;
    EXPECT_EQ(eval("Debug.breakexpr('tick', 3); Debug.go(); Debug.wait(5000)"), "1");
    EXPECT_EQ(engine.goes, 3);
    EXPECT_EQ(eval("Debug.go(); Debug.wait(5000)"), "1");
    EXPECT_EQ(engine.goes, 4);
    EXPECT_EQ(eval("Debug.breakexpr('main', -1)"), "error: invalid count: -1");

    EXPECT_EQ(eval("Debug.deletebreak(0); Debug.breakline('main.c', 74, true)"), "2");
    EXPECT_EQ(eval("Debug.go(); Debug.wait(5000)"), "2");
    EXPECT_TRUE(engine.breakpoints.empty());
    EXPECT_EQ(eval("Debug.breakline('main.c', 9)"), "error: no code at main.c:9");
    EXPECT_EQ(eval("Debug.breakline('main.c', 1.5)"), "error: invalid line number: 1.5");

    engine.pc = 0x100;
    EXPECT_EQ(eval("Debug.stepover(); Debug.getlinenumber()"), "11");
    EXPECT_EQ(eval("Debug.stepout()"), "error: no function at 0x00000102 to step out of");
    EXPECT_EQ(engine.goes, 5);
    EXPECT_EQ(eval("Debug.go(); Debug.stepover()"), "error: the target is running");
    EXPECT_EQ(eval("Debug.printglobals()"),
              "error: Debug.printglobals is not supported by this debugger");
    // An engine without a disassembler keeps its display mode.
    EXPECT_EQ(eval("Debug.disassembly(true, true, 1, 1)"),
              "error: Debug.disassembly is not supported by this debugger");
}

TEST_F(DebugObject, WaitGivesUpAfterItsTime) {
    engine.stopAfterWaits = -1;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(eval("Debug.go(); Debug.wait(300)"), "0");
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_EQ(eval("Debug.stopped()"), "false");
    EXPECT_EQ(eval("Debug.breaknow(); Debug.stopped()"), "true");
}

TEST_F(DebugObject, ExpressionsBecomeScriptValuesAndPrintInTheirFormat) {
    EXPECT_EQ(
        eval("var v = [Debug.evaluate('count'), Debug.evaluate('ratio'), "
             "Debug.evaluate('ok'), Debug.evaluate('name'), Debug.evaluate('minus')];"
             "var s = []; for (var i = 0; i < v.length; i++) s.push(typeof v[i] + ' ' + v[i]);"
             "s.join()"),
        "number 42,number 1.5,boolean true,string abc,number -3");
    EXPECT_EQ(eval("Debug.evaluate('bad')"), "error: unknown symbol");
    EXPECT_EQ(eval("tovan.evaluateDebuggerExpression('count')"), "42");
    host.output.clear();
    eval("Debug.print('count'); Debug.print('count', 'x'); Debug.print('count', 'o');"
         "Debug.print('count', 'b'); Debug.print('count', 'c'); Debug.print('minus', 'u');"
         "Debug.print('ratio', 'x'); Debug.setprintradix(16); Debug.print('count');"
         "Debug.printregisters(); Debug.where()");
    EXPECT_EQ(host.output, QStringLiteral("count = 42\ncount = 0x2a\ncount = 052\n"
                                          "count = 0b101010\ncount = '*'\n"
                                          "minus = 18446744073709551613\nratio = 1.5\n"
                                          "count = 0x2a\nr0 0x00000007\npc 0x00000100\n"
                                          "#0 0x00000100 in main at main.c:10\n"));
    EXPECT_EQ(eval("Debug.print('count', 'q')"), "error: invalid print format: q");

    // Strings end at their terminator, at the element limit or where memory does.
    host.output.clear();
    eval("Debug.print('text', 's'); Debug.setprintarray(3); Debug.print('text', 's');"
         "Debug.setprintarray(9); Debug.print('text', 's'); Debug.print('count', 's')");
    EXPECT_EQ(host.output, QStringLiteral("text = \"say \\\"hi\\\"\\x0a\"\n"
                                          "text = \"say\"...\n"
                                          "text = \"say \\\"hi\\\"\\x0a\"\n"
                                          "count = cannot read memory at 0x0000002a\n"));

    // Locals: pointers in hexadecimal, character pointers followed to their strings once
    // asked for; what has no value passes through.
    host.output.clear();
    eval("Debug.setprintradix(10); Debug.printlocals(); Debug.setprintstring(true);"
         "Debug.printlocals()");
    const QString locals =
        QStringLiteral("n = -3\nf = -1.5\ns = 0x300\np = 0x0\ngone = <optimised out>\n");
    EXPECT_EQ(host.output,
              locals + QStringLiteral("n = -3\nf = -1.5\ns = 0x300 \"say \\\"hi\\\"\\x0a\"\n"
                                      "p = 0x0\ngone = <optimised out>\n"));
    EXPECT_EQ(eval("Debug.setprintarray(0)"), "error: invalid element count: 0");
    EXPECT_EQ(eval("Debug.setprintradix(3)"), "error: invalid radix: 3");
    EXPECT_EQ(eval("Debug.getfunction(0x182) + Debug.getfunction('main')"), "tickmain");
}

TEST_F(DebugObject, WithoutASessionMethodsFailClearly) {
    host.environment.setDebugger(nullptr);
    EXPECT_EQ(eval("Debug.go()"), "error: the debugger is not running");
    EXPECT_EQ(eval("Debug.evaluate('count')"), "error: the debugger is not running");
    EXPECT_EQ(eval("tovan.evaluateDebuggerExpression('count')"),
              "error: the debugger is not running");
    EXPECT_EQ(eval("Debug.stopped()"), "true");
    EXPECT_EQ(eval("Debug.wait.help"), "<b>Debug.wait(ms)</b> waits at most <i>ms</i> "
                                       "milliseconds for the target to stop and returns the "
                                       "number of the breakpoint hit.");
    host.environment.setDebugger(&engine);
    EXPECT_EQ(eval("Debug.breakexpr('main'); Debug.quit(); Debug.stopped()"), "true");
    EXPECT_EQ(eval("Debug.go()"), "error: the debugger is not running");
}

// Vector catch through the M-profile debug exception and monitor control register, kept by a
// memory image (emulators do not implement it).
TEST(DebugExceptions, VectorCatchBitsAreShownAndSetKeepingTheOthers) {
    auto target = std::make_unique<MemoryImageTarget>();
    MemoryImageTarget &memory = *target;
    memory.addRegion(0xE000EDFC, {0x00, 0x00, 0x00, 0x01}); // tracing enabled
    StandardDebugger engine(std::move(target));
    HostFixture host;
    host.environment.setDebugger(&engine);
    auto eval = [&](const char *source) { return host.eval(QString::fromUtf8(source)); };
    auto control = [&] {
        std::uint8_t bytes[4] = {};
        memory.readMemory(0xE000EDFC, bytes, 4);
        return std::uint32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | bytes[3] << 24);
    };

    eval("Debug.enableexception('hardfault'); Debug.enableexception('BusFault', true);"
         "Debug.enableexception('CoreReset', true); Debug.enableexception('coreReset', false);"
         "Debug.showexceptions()");
    EXPECT_EQ(control(), 0x01000500u);
    EXPECT_EQ(host.output, QStringLiteral("CoreReset disabled\nMemManage disabled\n"
                                          "NoCoprocessor disabled\nChecking disabled\n"
                                          "State disabled\nBusFault enabled\n"
                                          "Interrupt disabled\nHardFault enabled\n"));
    EXPECT_EQ(eval("Debug.enableexception('Reset')"), "error: unknown exception: Reset");
    // A register that does not take the write is an error, not a silent no-op.
    memory.setReadOnly(0xE000EDFC, 4);
    EXPECT_EQ(eval("Debug.enableexception('State')"), "error: the target cannot break on State");

    // Another core has no such register.
    StandardDebugger other(
        std::make_unique<MemoryImageTarget>(std::vector<TargetRegister>{{"pc", 32, 4}}));
    host.environment.setDebugger(&other);
    EXPECT_EQ(eval("Debug.showexceptions()"),
              "error: Debug.showexceptions is not supported by this debugger");
    EXPECT_EQ(eval("Debug.enableexception('HardFault')"),
              "error: Debug.enableexception is not supported by this debugger");
    host.environment.setDebugger(nullptr);
}

TEST(DebugWait, AStopRequestEndsTheWait) {
    ensureApplication();
    FakeDebugger engine;
    engine.stopAfterWaits = -1;
    engine.blocksInWait = true;
    HeadlessScriptEnvironment environment;
    environment.setDebugger(&engine);
    QString output;
    environment.setOutput([&](const QString &text) { output += text; });
    TovanScriptSystem system(environment);
    QTimer::singleShot(150, &system, [&] { system.requestStop(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(
        system.runScript(QStringLiteral("Debug.go(); Debug.wait(); WScript.Echo('not reached')"),
                         true, QStringLiteral("wait.js")));
    // The stop arrives as an event, which the wait must let through long before it ends.
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(output, QString());
}

// A register context over a memory image with live pc 0x1000 and r0 1: values by name in any
// case or in register order stand for the target's, which stay as they were.
TEST(DebugRegisterContext, ValuesByNameOrOrderStandForTheTargetsUntilLeft) {
    auto target = std::make_unique<MemoryImageTarget>();
    MemoryImageTarget &memory = *target;
    memory.writeRegister(0, 1);
    memory.writeRegister(15, 0x1000);
    StandardDebugger engine(std::move(target));
    HostFixture host;
    host.environment.setDebugger(&engine);
    auto eval = [&](const char *source) { return host.eval(QString::fromUtf8(source)); };

    eval("Debug.locateregisters({PC: 0x1234, r0: 5, Sp: 0x20000100}); Debug.printregisters()");
    EXPECT_EQ(host.output, QStringLiteral("0x00001234\nr0 0x00000005\nsp 0x20000100\n"
                                          "pc 0x00001234\n"));
    EXPECT_EQ(eval("Debug.evaluate('@r0') + Debug.evaluate('@pc')"), "4665");
    EXPECT_EQ(eval("Debug.evaluate('@r1')"), "error: unknown register");
    EXPECT_EQ(eval("Debug.evaluate('@r0 = 3')"),
              "error: the registers of a located context cannot be written");
    EXPECT_EQ(memory.readRegisters()[0], 1u);

    // Null and holes leave a register unknown.
    host.output.clear();
    eval("Debug.locateregisters([1, 2, null, 4,,,,,,,,,,,, 0xffffffff]); Debug.printregisters()");
    EXPECT_EQ(host.output, QStringLiteral("0xffffffff\nr0 0x00000001\nr1 0x00000002\n"
                                          "r3 0x00000004\npc 0xffffffff\n"));
    // Locating a frame of the target's own stack leaves the context.
    EXPECT_EQ(eval("Debug.locate(0); Debug.evaluate('@pc') + ',' + Debug.evaluate('@r0')"),
              "4096,1");
    // So does running: the target's own program counter decides where it goes.
    EXPECT_EQ(eval("Debug.locateregisters({pc: 0x2000}); Debug.stepinto()"),
              "error: a memory image cannot run");
    EXPECT_EQ(eval("Debug.evaluate('@pc')"), "4096");

    struct Failure {
        const char *call;
        const char *error;
        const char *message;
    } failures[] = {
        {"Debug.locateregisters()", "TypeError", "registers must be an object or an array"},
        {"Debug.locateregisters(0x100)", "TypeError", "registers must be an object or an array"},
        {"Debug.locateregisters(function () {})", "TypeError",
         "registers must be an object or an array"},
        {"Debug.locateregisters({r0: 1})", "TypeError", "no value for register pc"},
        {"Debug.locateregisters([])", "TypeError", "no value for register pc"},
        {"Debug.locateregisters({pc: '0x100'})", "TypeError", "register pc is not a number"},
        {"Debug.locateregisters([0, new Number(1)])", "TypeError", "register r1 is not a number"},
        {"Debug.locateregisters({pc: 1, r13: 2})", "RangeError", "unknown register: r13"},
        {"Debug.locateregisters({pc: 1, PC: 2})", "RangeError", "register PC given twice"},
        {"Debug.locateregisters({pc: -1})", "RangeError", "invalid value for register pc: -1"},
        {"Debug.locateregisters({pc: 1.5})", "RangeError", "invalid value for register pc: 1.5"},
        {"Debug.locateregisters({pc: 0x100000000})", "RangeError",
         "invalid value for register pc: 4294967296"},
        {"Debug.locateregisters({pc: NaN})", "RangeError", "invalid value for register pc: NaN"},
        {"var a = []; a[17] = 1; Debug.locateregisters(a)", "RangeError",
         "more values than registers: 18"},
    };
    for (const Failure &failure : failures) {
        const ESCompletion completion =
            host.context->evaluate(QStringLiteral("test.js"), QString::fromUtf8(failure.call));
        ASSERT_EQ(completion.type, ESCompletion::Throw) << failure.call;
        EXPECT_EQ(host.context->toText(completion.value).toStdString(),
                  std::string(failure.error) + ": " + failure.message);
    }
    // A refused context leaves the target's registers in force.
    EXPECT_EQ(eval("Debug.evaluate('@pc')"), "4096");
    host.environment.setDebugger(nullptr);

    FakeDebugger fake;
    host.environment.setDebugger(&fake);
    EXPECT_EQ(eval("Debug.locateregisters({pc: 0x100})"),
              "error: Debug.locateregisters is not supported by this debugger");
    host.environment.setDebugger(nullptr);
}

// A thread stopped at the entry of twice(), called from step() at line 15, its stack in a
// memory image of the program: the call chain, the source line and the locals follow the
// located registers.
TEST(DebugRegisterContext, WhereSourceAndLocalsFollowTheLocatedRegisters) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string elf = dir.filePath(QStringLiteral("stepping.elf")).toStdString();
    ToolResult gcc =
        runTool(QStandardPaths::findExecutable(QStringLiteral("arm-none-eabi-gcc")).toStdString(),
                {"-mcpu=cortex-m3", "-mthumb", "-O0", "-g", "-nostdlib", "-ffreestanding", "-T",
                 testDataPath("debug/stepping.ld"), "-Wl,-e,start",
                 testDataPath("debug/stepping.c"), "-o", elf});
    ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
    auto target = std::make_unique<MemoryImageTarget>();
    target->addElfFile(elf);
    // Every stack word holds its own address.
    std::vector<std::uint8_t> stack(0x1000);
    for (std::size_t at = 0; at < stack.size(); ++at)
        stack[at] = std::uint8_t((0x20000000 + at - at % 4) >> (8 * (at % 4)));
    target->addRegion(0x20000000, stack);
    StandardDebugger engine(std::move(target));
    engine.loadSymbols(elf);
    HostFixture host;
    host.environment.setDebugger(&engine);
    auto eval = [&](const std::string &source) {
        return host.eval(QString::fromStdString(source)).toStdString();
    };
    int line = 15;
    const std::vector<std::uint64_t> call = engine.lines().addresses("stepping.c", line);
    ASSERT_FALSE(call.empty());
    const std::string twice = eval("Debug.evaluate('twice')");
    const std::string context = "{pc: " + twice + ", lr: " + std::to_string(call.front() + 3) +
                                ", sp: 0x20000800, r7: 0x20000800}";

    host.output.clear();
    eval("Debug.locateregisters(" + context + "); Debug.where()");
    const QString output = host.output;
    EXPECT_TRUE(output.contains(QRegularExpression(
        "^#0 0x0*[0-9a-f]+ in twice at [^\\n]*stepping.c:7\\n#1 0x0*[0-9a-f]+ in step at "
        "[^\\n]*stepping.c:15\\n",
        QRegularExpression::MultilineOption)))
        << output.toStdString();
    EXPECT_EQ(eval("Debug.getlinenumber()"), "7");
    EXPECT_TRUE(eval("Debug.getfilename()").ends_with("stepping.c"));
    // The parameter lies at a fixed distance from the frame base the stack pointer gives.
    host.output.clear();
    eval("Debug.printlocals()");
    const QString first = host.output;
    host.output.clear();
    eval("var c = " + context + "; c.sp += 0x40; Debug.locateregisters(c); Debug.printlocals()");
    const QString moved = host.output.section(QLatin1Char('\n'), 1);
    ASSERT_TRUE(first.startsWith(QStringLiteral("x = "))) << first.toStdString();
    ASSERT_TRUE(moved.startsWith(QStringLiteral("x = "))) << moved.toStdString();
    EXPECT_EQ(moved.mid(4).trimmed().toLongLong() - first.mid(4).trimmed().toLongLong(), 0x40)
        << first.toStdString() << moved.toStdString();
    host.environment.setDebugger(nullptr);
}

class ThreadsWindowTest : public ScratchDirTest {
protected:
    ThreadsWindowTest() {
        ensureApplication();
        environment.setMessageOutput([this](const QString &text) { messages += text; });
    }
    HeadlessScriptEnvironment environment;
    ThreadsWindow window{environment};
    QString messages;
};

TEST_F(ThreadsWindowTest, TheScriptFillsTheListsUpToTheLimit) {
    std::string script = write("threads.js", "Debug.setColumns(['Name', 'State']);\n"
                                             "Debug.newqueue('Ready');\n"
                                             "Debug.setColor('#ff0000');\n"
                                             "for (var i = 0; i < 5; i++)\n"
                                             "  Debug.add(['task' + i, 'ready']);\n"
                                             "Debug.setColumns2(['Timer']);\n"
                                             "Debug.add2('t0');\n");
    ASSERT_TRUE(window.update(QString::fromStdString(script), 3));
    const ThreadsWindowScriptObjectClass &threads = *window.threads();
    EXPECT_EQ(threads.table(0).columns,
              QStringList({QStringLiteral("Name"), QStringLiteral("State")}));
    ASSERT_EQ(threads.table(0).queues.size(), 1u);
    const auto &queue = threads.table(0).queues[0];
    EXPECT_EQ(queue.name, QStringLiteral("Ready"));
    ASSERT_EQ(queue.rows.size(), 3u);
    EXPECT_EQ(queue.rows[2].fields.join(QLatin1Char('/')), QStringLiteral("task2/ready"));
    EXPECT_EQ(queue.rows[2].color, 0xff0000u);
    // The limit counts every row, and is reported once.
    EXPECT_TRUE(threads.table(1).queues.empty());
    EXPECT_EQ(messages, QStringLiteral("warning: Threads\nMaximum thread number 3 to display has "
                                       "been reached. The project property Thread Maximum sets "
                                       "this value.\n"));

    messages.clear();
    EXPECT_FALSE(window.update(QString::fromStdString(path("missing.js")), 3));
    EXPECT_EQ(messages.toStdString(), "error: Threads\nCannot open: " + path("missing.js") + "\n");
    messages.clear();
    script = write("loop.js", "while (true) {}");
    EXPECT_FALSE(window.update(QString::fromStdString(script), 3));
    EXPECT_EQ(messages, QStringLiteral("error: Threads\nthe thread script ran too long\n"));
    // An engine fault is the script's failure, not the window's.
    messages.clear();
    script = write("deep.js", "function f() { return f(); }\nf();");
    EXPECT_FALSE(window.update(QString::fromStdString(script), 3));
    EXPECT_EQ(messages, QStringLiteral("error: Threads\nvirtual machine stack too small\n"));
}

} // namespace
