// qzdebug run as a user would, against the in-test protocol server.

#include "golden.h"
#include "rspstub.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class QzDebug : public ScratchDirTest {
protected:
    QzDebug() : m_stub({}) {
        std::vector<std::uint8_t> ram(64);
        for (std::size_t i = 0; i < ram.size(); ++i)
            ram[i] = std::uint8_t('A' + i % 26);
        m_stub.addMemory(0x20000000, ram);
        m_stub.setRegister(15, 0x1010);
    }
    ToolResult run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--remote", "127.0.0.1:" + std::to_string(m_stub.port())});
        return runTool("qzdebug", arguments, {}, m_dir.path().toStdString(), 20000);
    }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files); }

    RspStub m_stub;
};

TEST_F(QzDebug, HelpAndUsageErrors) {
    ToolResult help = runTool("qzdebug", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzdebug --remote HOST:PORT", 0), 0u);
    for (const char *command :
         {"read ADDRESS LENGTH", "write ADDRESS HEXBYTES", "regs", "break SYMBOL|ADDRESS",
          "continue", "step", "eval EXPRESSION", "save START END FILE", "load FILE"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;

    ToolResult bare = runTool("qzdebug", {});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_EQ(bare.err.rfind("error: no command given\nusage: qzdebug", 0), 0u);

    struct Row {
        std::vector<std::string> arguments;
        const char *error;
    } rows[] = {
        {{"regs"}, "error: no server given (use --remote HOST:PORT)\n"},
        {{"--remote", "localhost"}, "error: invalid server 'localhost' (use HOST:PORT)\n"},
        {{"--remote", "h:70000", "regs"}, "error: invalid port '70000'\n"},
        {{"--remote", "h:1"}, "error: no command given; see qzdebug --help\n"},
        {{"--remote", "h:1", "jump"}, "error: unknown command 'jump'; see qzdebug --help\n"},
        {{"--remote", "h:1", "read", "0"}, "error: usage: read ADDRESS LENGTH\n"},
        {{"--remote", "h:1", "--color", "regs"}, "error: unknown option --color\n"},
        {{"--remote", "h:1", "--timeout", "x", "regs"}, "error: invalid time-out 'x'\n"},
    };
    for (const Row &row : rows) {
        ToolResult result = runTool("qzdebug", row.arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, row.error);
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(QzDebug, ReadWriteAndRegistersRunInOrder) {
    ToolResult result = run({"read", "0x20000000", "20", "write", "0x20000002", "00ff2a", "read",
                             "0x20000000", "4", "regs"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.substr(0, result.out.find("r0")),
              "20000000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50  |ABCDEFGHIJKLMNOP|\n"
              "20000010: 51 52 53 54                                      |QRST|\n"
              "20000000: 41 42 00 ff                                      |AB..|\n");
    EXPECT_NE(result.out.find("r1    0x00001000\n"), std::string::npos);
    EXPECT_NE(result.out.find("pc    0x00001010\n"), std::string::npos);
    EXPECT_EQ(m_stub.memory(0x20000004, 1)[0], 0x2a);
}

TEST_F(QzDebug, BreakContinueStepAndEval) {
    ToolResult result =
        run({"break", "0x1000", "continue", "step", "eval", "@pc + 1", "eval", "@r1 == 0x1000"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "breakpoint at 0x00001000\n"
                          "stopped at 0x00001000\n"
                          "stopped at 0x00001002\n"
                          "4099\n"
                          "true\n");
}

TEST_F(QzDebug, ContinueStopsARunningTargetAtTheTimeOut) {
    ToolResult result = run({"--timeout", "1", "continue"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "stopped at 0x00001010 (interrupted)\n");
}

TEST_F(QzDebug, SaveAndLoadThroughLoadFiles) {
    ToolResult saved = run({"save", "0x20000000", "0x20000010", "ram.srec", "save", "0x20000000",
                            "0x20000004", "ram.bin"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_EQ(saved.out, "saved 16 bytes to ram.srec\nsaved 4 bytes to ram.bin\n");
    EXPECT_EQ(readFileBytes(path("ram.bin")), "ABCD");
    writeFileBytes(path("patch.hex"), ":0400000001020304F2\n:00000001FF\n");
    // An Intel HEX file at 0: outside the server's memory.
    ToolResult refused = run({"load", "patch.hex"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "error: cannot write target memory at 0x00000000\n");
    ToolResult loaded = run({"load", "ram.srec", "read", "0x20000000", "2"});
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_NE(loaded.out.find("loaded 16 bytes from ram.srec"), std::string::npos);
}

TEST_F(QzDebug, FailuresStopTheRunAndLeaveNoFile) {
    // The server has no memory at 0x20000040: the save fails before a file is made.
    ToolResult result = run({"save", "0x20000030", "0x20000050", "short.hex", "regs"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot read target memory at 0x20000040\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(files().isEmpty()) << files().join(",").toStdString();

    struct Row {
        std::vector<std::string> arguments;
        const char *error;
    } rows[] = {
        {{"read", "0x20000030", "32"}, "error: cannot read target memory at 0x20000040\n"},
        {{"write", "0x20000000", "123"},
         "error: invalid bytes '123' (an even number of hex digits)\n"},
        {{"write", "0x20000000", "zz"},
         "error: invalid bytes 'zz' (an even number of hex digits)\n"},
        {{"break", "main"}, "error: invalid address 'main' (symbols need --elf)\n"},
        {{"eval", "1 +"}, "error: unexpected token \n"},
        {{"save", "0x20000000", "0x20000010", "out.xyz"},
         "error: cannot tell the format of out.xyz from its name (use .bin, .hex, .srec, .lst, "
         ".txt or .tek)\n"},
        {{"load", "missing.hex"}, "error: cannot open missing.hex\n"},
        {{"--elf", "missing.elf", "regs"}, "error: cannot open missing.elf\n"},
    };
    for (const Row &row : rows) {
        ToolResult failed = run(row.arguments);
        EXPECT_EQ(failed.exitCode, 1) << row.arguments[0];
        EXPECT_EQ(failed.err, row.error) << row.arguments[0];
    }
}

TEST(QzDebugConnection, ARefusedConnectionIsReported) {
    std::uint16_t port;
    {
        RspStub stub({});
        port = stub.port();
    }
    ToolResult result =
        runTool("qzdebug", {"--remote", "127.0.0.1:" + std::to_string(port), "regs"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot connect to 127.0.0.1:" + std::to_string(port) +
                              ": Connection refused\n");
}

} // namespace
