// qzdebug against QEMU's GDB server running the example firmware, checked against
// gdb-multiarch and the ELF file itself.

#include "crosstool.h"
#include "golden.h"
#include "qemugdbserver.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

class QzDebugQemu : public ScratchDirTest {
protected:
    void SetUp() override {
        REQUIRE_TOOL("qemu-system-arm", "qemu-system-arm");
        REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
        REQUIRE_TOOL("gdb-multiarch", "gdb-multiarch");
        buildFirmware();
        ASSERT_NO_FATAL_FAILURE(m_qemu.start(path("image.elf")));
    }

    // The example firmware, linked with the example placement. The emulated board has no
    // memory at the core RAM, so the fast code runs in RAM.
    void buildFirmware() {
        const std::string examples = testDataPath("../../examples");
        ToolResult dova = runTool(
            "dova",
            {"-memory-map-file", examples + "/demo_memory_map.xml", "-section-placement-file",
             examples + "/demo_section_placement.xml", "-section-placement-macros", "FAST_RAM=RAM",
             "-symbols", "__HEAPSIZE__=0x1000;__STACKSIZE__=0x800", "demo.ld"},
            {}, m_dir.path().toStdString());
        ASSERT_EQ(dova.exitCode, 0) << dova.err;
        ToolResult gcc = runTool(
            crossToolPath("arm-none-eabi-gcc"),
            {"-mcpu=cortex-m3", "-mthumb", "-O2", "-g", "-nostdlib", "-ffreestanding",
             "-fno-tree-loop-distribute-patterns", "-T", "demo.ld", "-Wl,-e,Reset_Handler",
             examples + "/firmware/startup.c", examples + "/firmware/main.c", "-o", "image.elf"},
            {}, m_dir.path().toStdString());
        ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
    }

    ToolResult qzdebug(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"--remote", "127.0.0.1:" + std::to_string(m_qemu.port()), "--elf",
                          "image.elf", "--timeout", "20"});
        return runTool("qzdebug", arguments, {}, m_dir.path().toStdString(), 60000);
    }
    ToolResult gdb(const std::vector<std::string> &commands) {
        std::vector<std::string> arguments = {
            "-batch", "-nx", "-ex", "target remote 127.0.0.1:" + std::to_string(m_qemu.port())};
        for (const std::string &command : commands)
            arguments.insert(arguments.end(), {"-ex", command});
        arguments.push_back("image.elf");
        return runTool(crossToolPath("gdb-multiarch"), arguments, {}, m_dir.path().toStdString(),
                       60000);
    }
    std::uint64_t symbol(const std::string &name) {
        ToolResult nm = runTool(crossToolPath("arm-none-eabi-nm"), {"image.elf"}, {},
                                m_dir.path().toStdString());
        std::smatch match;
        std::regex line("([0-9a-f]{8}) [A-Za-z] " + name + "\n");
        if (!std::regex_search(nm.out, match, line))
            ADD_FAILURE() << name << " is not in the symbol table";
        return match.empty() ? 0 : std::stoull(match[1].str(), nullptr, 16);
    }

    QemuGdbServer m_qemu;
};

TEST_F(QzDebugQemu, ABreakpointOnAFunctionStopsThereAndTheTargetStaysHalted) {
    ToolResult result = qzdebug({"break", "delay_loop", "continue", "regs"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    char expected[64];
    std::snprintf(expected, sizeof expected, "stopped at 0x%08llx\n",
                  static_cast<unsigned long long>(symbol("delay_loop") & ~1ull));
    EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;
    // gdb finds the core where qzdebug left it.
    ToolResult where = gdb({"print/x $pc", "print/x $xpsr", "print/x $sp"});
    ASSERT_EQ(where.exitCode, 0) << where.err;
    std::snprintf(expected, sizeof expected, "$1 = 0x%llx\n",
                  static_cast<unsigned long long>(symbol("delay_loop") & ~1ull));
    EXPECT_NE(where.out.find(expected), std::string::npos) << where.out;
    // The status and stack registers read the same through both clients.
    std::smatch xpsr, sp;
    ASSERT_TRUE(std::regex_search(where.out, xpsr, std::regex("\\$2 = 0x([0-9a-f]+)")));
    ASSERT_TRUE(std::regex_search(where.out, sp, std::regex("\\$3 = 0x([0-9a-f]+)")));
    std::snprintf(expected, sizeof expected, "xpsr  0x%08llx\n",
                  std::stoull(xpsr[1].str(), nullptr, 16));
    EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;
    std::snprintf(expected, sizeof expected, "sp    0x%08llx\n",
                  std::stoull(sp[1].str(), nullptr, 16));
    EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;
}

TEST_F(QzDebugQemu, EvalReadsWhatGdbReads) {
    ToolResult ours = qzdebug(
        {"break", "delay_loop", "continue", "continue", "eval", "blink_count", "eval", "ticks"});
    ASSERT_EQ(ours.exitCode, 0) << ours.err;
    ToolResult theirs = gdb({"print blink_count", "print ticks"});
    ASSERT_EQ(theirs.exitCode, 0) << theirs.err;
    std::smatch first, second;
    const std::string text = theirs.out;
    ASSERT_TRUE(std::regex_search(text, first, std::regex("\\$1 = (\\d+)"))) << text;
    ASSERT_TRUE(std::regex_search(text, second, std::regex("\\$2 = (\\d+)"))) << text;
    const std::string values = first[1].str() + "\n" + second[1].str() + "\n";
    EXPECT_EQ(ours.out.substr(ours.out.size() - values.size()), values) << ours.out;
    // After two passes through the delay loop the tick count is no longer zero.
    EXPECT_NE(second[1].str(), "0");
}

TEST_F(QzDebugQemu, ASavedVectorTableEqualsTheElfBytes) {
    const std::uint64_t end = symbol("__vectors_end__");
    char last[16];
    std::snprintf(last, sizeof last, "0x%llx", static_cast<unsigned long long>(end));
    ToolResult saved = qzdebug({"save", "vectors", last, "vectors.bin"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    ToolResult objcopy = runTool(crossToolPath("arm-none-eabi-objcopy"),
                                 {"-O", "binary", "-j", ".vectors", "image.elf", "elf.bin"}, {},
                                 m_dir.path().toStdString());
    ASSERT_EQ(objcopy.exitCode, 0) << objcopy.err;
    const std::string elf = readFileBytes(path("elf.bin"));
    EXPECT_EQ(elf.size(), end);
    EXPECT_TRUE(readFileBytes(path("vectors.bin")) == elf);
}

} // namespace
