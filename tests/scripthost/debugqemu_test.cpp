// `Debug` over the real engine: QEMU's GDB server running a small program built here with
// line information, stepped by source line.

#include "crosstool.h"
#include "hosttesting.h"
#include "qemugdbserver.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include "debug/htcplink.h"
#include "debug/remoteserialprotocoltarget.h"
#include "debug/standarddebugger.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

class DebugQemu : public ScratchDirTest {
protected:
    void SetUp() override {
        REQUIRE_TOOL("qemu-system-arm", "qemu-system-arm");
        REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
        write("stepping.c", readFileBytes(testDataPath("debug/stepping.c")));
        ToolResult gcc =
            runTool(crossToolPath("arm-none-eabi-gcc"),
                    {"-mcpu=cortex-m3", "-mthumb", "-O0", "-g", "-gdwarf-5", "-Wa,--gdwarf-5",
                     "-nostdlib", "-ffreestanding", "-T", testDataPath("debug/stepping.ld"),
                     "-Wl,-e,start", "stepping.c", "-o", "stepping.elf"},
                    {}, m_dir.path().toStdString());
        ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
        ASSERT_NO_FATAL_FAILURE(m_qemu.start(path("stepping.elf")));
        auto link = std::make_unique<HTcpLink>("127.0.0.1", m_qemu.port());
        m_engine = std::make_unique<StandardDebugger>(
            std::make_unique<RemoteSerialProtocolTarget>(std::move(link)));
        m_engine->loadSymbols(path("stepping.elf"));
        m_host.environment.setDebugger(m_engine.get());
    }
    void TearDown() override {
        m_host.environment.setDebugger(nullptr);
        m_engine.reset();
    }

    std::string eval(const std::string &source) {
        return m_host.eval(QString::fromStdString(source)).toStdString();
    }

    QemuGdbServer m_qemu;
    std::unique_ptr<StandardDebugger> m_engine;
    HostFixture m_host;
};

const char kWhere[] = "[Debug.getfunction('@pc'), Debug.getlinenumber()].join()";

TEST_F(DebugQemu, LinesStepOverCallsAndOutOfFunctions) {
    EXPECT_EQ(
        eval("var b = Debug.breakline('stepping.c', 15); Debug.go(); b + ',' + Debug.wait(10000)"),
        "1,1");
    EXPECT_EQ(eval(kWhere), "step,15");
    EXPECT_TRUE(eval("Debug.getfilename()").ends_with("/stepping.c"));
    // In the middle of a function that saved its return address, the caller is known.
    m_host.output.clear();
    eval("Debug.where()");
    EXPECT_NE(m_host.output.indexOf(QRegularExpression("^#1 0x000000[0-9a-f]{2} in start at "
                                                       "[^\\n]*stepping.c:23\\n",
                                                       QRegularExpression::MultilineOption)),
              -1)
        << m_host.output.toStdString();
    // The call on line 15 runs through; the loop goes back and forth between its lines.
    EXPECT_EQ(eval("Debug.deletebreak(0); Debug.stepover();" + std::string(kWhere)), "step,14");
    EXPECT_EQ(eval("Debug.stepover();" + std::string(kWhere)), "step,15");
    // Out of a function that keeps its return address on the stack: back in the caller,
    // the loop finished.
    EXPECT_EQ(eval("Debug.stepout();" + std::string(kWhere) + " + ',' + Debug.evaluate('counter')"),
              "start,23,12");
    // A line without code moves on to the next that has.
    EXPECT_EQ(eval("Debug.breakline('stepping.c', 22)"), "2");
    m_host.output.clear();
    eval("Debug.showbreak(2)");
    EXPECT_NE(m_host.output.indexOf(QStringLiteral("in start at ")), -1)
        << m_host.output.toStdString();
    EXPECT_TRUE(m_host.output.endsWith(QStringLiteral("stepping.c:23\n")))
        << m_host.output.toStdString();
    EXPECT_EQ(eval("Debug.breakline('stepping.c', 40)"), "error: no code at stepping.c:40");
    EXPECT_EQ(eval("Debug.breakline('other.c', 15)"), "error: no code at other.c:15");
    EXPECT_EQ(eval("Debug.breakline('stepping.c', 0)"), "error: invalid line number: 0");
}

TEST_F(DebugQemu, CountsTemporaryBreakpointsLeafFunctionsAndSource) {
    // The third call of twice(i) is the one with i = 2.
    EXPECT_EQ(eval("Debug.breakexpr('twice', 3); Debug.go(); Debug.wait(10000)"), "1");
    EXPECT_EQ(eval("Debug.evaluate('@r0')"), "2");
    // At a function's entry its callers are known too.
    m_host.output.clear();
    eval("Debug.where(); Debug.locate(1)");
    EXPECT_NE(m_host.output.indexOf(QStringLiteral("#0 0x00000008 in twice at ")), -1)
        << m_host.output.toStdString();
    EXPECT_NE(m_host.output.indexOf(QStringLiteral("#1 0x00000036 in step at ")), -1)
        << m_host.output.toStdString();
    EXPECT_EQ(eval("Debug.getlinenumber()"), "15");
    EXPECT_EQ(eval("Debug.locate(2); Debug.getlinenumber()"), "23");
    EXPECT_EQ(eval("Debug.printlocals()"), "error: locals are known only for the innermost frame");
    EXPECT_EQ(eval("Debug.locate(3)"), "error: no frame 3");
    EXPECT_EQ(eval("Debug.stepout();" + std::string(kWhere)), "step,15");
    // The parameter, the function's variable and the loop block's, from the frame base.
    m_host.output.clear();
    eval("Debug.setprintradix(16); Debug.printlocals(); Debug.setprintradix(10)");
    EXPECT_EQ(m_host.output, QStringLiteral("n = 0x4\ntotal = 0x2\ni = 0x2\n"));
    // A temporary breakpoint stops once; out of a leaf function from its middle.
    EXPECT_EQ(eval("Debug.deletebreak(1); Debug.breakline('stepping.c', 8, true); Debug.go();"
                   "Debug.wait(10000) + ',' + Debug.evaluate('@r0')"),
              "2,3");
    m_host.output.clear();
    eval("Debug.printlocals()");
    EXPECT_EQ(m_host.output, QStringLiteral("x = 3\n"));
    // Two callers from the middle of the leaf function, the chain ending at the outermost.
    m_host.output.clear();
    eval("Debug.where()");
    EXPECT_EQ(m_host.output.count(
                  QRegularExpression("^#(0 0x000000[0-9a-f]{2} in twice at [^\\n]*stepping.c:8|"
                                     "1 0x000000[0-9a-f]{2} in step at [^\\n]*stepping.c:15|"
                                     "2 0x000000[0-9a-f]{2} in start at [^\\n]*stepping.c:23)\\n",
                                     QRegularExpression::MultilineOption)),
              3)
        << m_host.output.toStdString();
    m_host.output.clear();
    eval("Debug.showbreak(0)");
    EXPECT_EQ(m_host.output, QStringLiteral("No breakpoints\n"));
    EXPECT_EQ(eval("Debug.stepout();" + std::string(kWhere)), "step,15");

    m_host.output.clear();
    eval("Debug.source(1, 1); Debug.printglobals()");
    const QString output = m_host.output;
    EXPECT_NE(output.indexOf(QStringLiteral("     14      for (int i = 0; i < n; ++i)\n"
                                            "=>   15          total += twice(i);\n"
                                            "     16      counter = total;\n")),
              -1)
        << output.toStdString();
    EXPECT_NE(output.indexOf(QStringLiteral("counter = 0\nvalue = 0\n")), -1)
        << output.toStdString();
}

TEST_F(DebugQemu, ASavedRegisterSetLocatesWhereItWasTaken) {
    // The core registers as a thread switch saves them.
    std::string save = "var saved = {};";
    for (const char *name : {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10",
                             "r11", "r12", "sp", "lr", "pc", "xpsr"})
        save += std::string("saved.") + name + " = Debug.evaluate('@" + name + "');";
    EXPECT_EQ(eval("Debug.breakexpr('twice', 3); Debug.go(); Debug.wait(10000)"), "1");
    eval(save);
    m_host.output.clear();
    eval("Debug.where(); Debug.printregisters()");
    const QString before = m_host.output;
    const std::string line = eval(kWhere);
    EXPECT_EQ(line, "twice,7");

    // On: out of twice and a line further in step.
    EXPECT_EQ(
        eval("Debug.deletebreak(0); Debug.stepout(); Debug.stepover();" + std::string(kWhere)),
        "step,14");
    const std::string livePc = eval("Debug.evaluate('@pc')");
    m_host.output.clear();
    eval("Debug.locateregisters(saved); Debug.where(); Debug.printregisters()");
    const QString located = m_host.output;
    ASSERT_TRUE(located.startsWith(QStringLiteral("0x"))) << located.toStdString();
    EXPECT_EQ(located.section(QLatin1Char('\n'), 1), before) << located.toStdString() << "\n--\n"
                                                             << before.toStdString();
    EXPECT_EQ(eval(kWhere), line);
    EXPECT_EQ(eval("Debug.evaluate('@r0')"), "2");

    // The target kept its own registers, and goes on from them.
    EXPECT_EQ(eval("Debug.locate(0); Debug.evaluate('@pc')"), livePc);
    // Out of step, where the target is, not out of twice, where the located registers are.
    EXPECT_EQ(eval("Debug.locateregisters(saved); Debug.stepout();" + std::string(kWhere)),
              "start,23");
}

TEST_F(DebugQemu, DisassemblyShowsTheInstructionsThatRunWithSourceAndLabels) {
    REQUIRE_TOOL("arm-none-eabi-objdump", "binutils-arm-none-eabi");
    EXPECT_EQ(eval("Debug.breakexpr('twice'); Debug.go(); Debug.wait(10000)"), "1");
    m_host.output.clear();
    eval("Debug.disassembly(true, true, 2, 3)");
    QString output = m_host.output;
    // The first instruction of a function: its label and source line come first, and the
    // instruction is the one objdump lists there.
    ToolResult listing =
        runTool(crossToolPath("arm-none-eabi-objdump"), {"-d", path("stepping.elf")});
    ASSERT_EQ(listing.exitCode, 0) << listing.err;
    const QRegularExpressionMatch objdump =
        QRegularExpression(QStringLiteral("^ +8:\\t([0-9a-f ]+?) *\\t(\\S+)\\t?(.*)$"),
                           QRegularExpression::MultilineOption)
            .match(QString::fromStdString(listing.out));
    ASSERT_TRUE(objdump.hasMatch()) << listing.out;
    const QString marked = QStringLiteral("=> 0x00000008  %1  %2%3\n")
                               .arg(objdump.captured(1).leftJustified(9))
                               .arg(objdump.captured(2).leftJustified(8))
                               .arg(objdump.captured(3));
    EXPECT_NE(output.indexOf(QRegularExpression(QStringLiteral("\ntwice:\n +7  \\{\n") +
                                                QRegularExpression::escape(marked))),
              -1)
        << output.toStdString() << marked.toStdString();
    // Three instructions follow; nothing of the function before is shown.
    EXPECT_EQ(output.count(QRegularExpression(QStringLiteral("^   0x000000[0-9a-f]{2}  "),
                                              QRegularExpression::MultilineOption)),
              3)
        << output.toStdString();

    // Locating to the caller shows the call, its target named.
    m_host.output.clear();
    eval("Debug.locate(1)");
    output = m_host.output;
    EXPECT_NE(output.indexOf(QRegularExpression(QStringLiteral("  bl +8 <twice>\n=> 0x"))), -1)
        << output.toStdString();
    EXPECT_NE(output.indexOf(QStringLiteral("  total += twice(i);\n")), -1) << output.toStdString();
    // Without source and labels only instructions; source display comes back on request.
    m_host.output.clear();
    eval("Debug.disassembly(false, false, 0, 0)");
    EXPECT_EQ(m_host.output.count(QLatin1Char('\n')), 2) << m_host.output.toStdString();
    EXPECT_TRUE(m_host.output.contains(QStringLiteral("\n=> 0x"))) << m_host.output.toStdString();
    // Where memory cannot be read there is nothing to decode.
    m_host.output.clear();
    eval("Debug.locatepc(0x30000000)");
    EXPECT_EQ(m_host.output, QStringLiteral("0x30000000\ncannot read memory at 0x30000000\n"));
    eval("Debug.locate(1)");
    m_host.output.clear();
    eval("Debug.source(0, 0)");
    EXPECT_TRUE(m_host.output.contains(QStringLiteral("=>   15          total += twice(i);")))
        << m_host.output.toStdString();
    EXPECT_EQ(eval("Debug.disassembly(true, true, -1)"), "error: invalid line count: -1");
}

} // namespace
