// The example firmware linked with dova's script and booted under QEMU, for Arm and RISC-V:
// it checks at run time that its start-up copied .data and the RAM-resident code, zeroed
// .bss, and that stack and heap lie in RAM. RAM is filled with a pattern before the boot, so
// that nothing passes by accident, and a negative control (a start-up built without its copy
// and clear loops) shows that the checks can fail.

#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Board {
    const char *toolPrefix;
    const char *qemu;
    std::vector<std::string> dovaArguments;
    std::vector<std::string> compilerFlags;
    const char *startup;
    std::vector<std::string> qemuArguments; // before the image and the pattern
    bool imageAsKernel;                     // else loaded at imageAddress
    const char *imageAddress;
    const char *ramAddress;
};

const Board kArm = {
    "arm-none-eabi-",
    "qemu-system-arm",
    {"-memory-map-file", "demo_memory_map.xml", "-section-placement-macros", "FAST_RAM=RAM"},
    {"-mcpu=cortex-m3", "-mthumb", "-Wl,-e,Reset_Handler"},
    "firmware/startup.c",
    {"-M", "mps2-an385"},
    true,
    "0x00000000",
    "0x20000000",
};

const Board kRiscV = {
    "riscv64-unknown-elf-",
    "qemu-system-riscv32",
    {"-target", "riscv", "-memory-map-file", "demo_riscv_memory_map.xml"},
    {"-march=rv32imac", "-mabi=ilp32", "-msmall-data-limit=0", "-Wl,-e,_start",
     "-Wl,--no-warn-rwx-segments"},
    "firmware/riscv/startup.c",
    {"-M", "virt", "-bios", "none"},
    false,
    "0x80000000",
    "0x80040000",
};

const std::string kAllPass = "PASS .data copied from its load address\n"
                             "PASS .bss is zero\n"
                             "PASS function placed in RAM runs there\n"
                             "PASS stack and heap lie inside RAM\n"
                             "PASS 64-bit division\n";

std::string example(const std::string &name) {
    return testDataPath("../../examples/" + name);
}

class DovaBoot : public ScratchDirTest {
protected:
    ToolResult run(const std::string &tool, const std::vector<std::string> &arguments) {
        return runTool(tool == "dova" ? tool : crossToolPath(tool), arguments, {},
                       m_dir.path().toStdString());
    }

    // Generates the script, builds the firmware and boots it; the result is QEMU's.
    ToolResult boot(const Board &board, bool negativeControl) {
        std::vector<std::string> dova = board.dovaArguments;
        for (std::string &argument : dova) {
            if (argument.ends_with(".xml"))
                argument = example(argument);
        }
        dova.insert(dova.end(), {"-section-placement-file", example("demo_section_placement.xml"),
                                 "-symbols", "__HEAPSIZE__=0x1000;__STACKSIZE__=0x800",
                                 "-check-segment-overflow", "boot.ld"});
        ToolResult script = run("dova", dova);
        EXPECT_EQ(script.exitCode, 0) << script.err;

        std::vector<std::string> gcc = board.compilerFlags;
        gcc.insert(gcc.end(), {"-O2", "-Wall", "-Wextra", "-Werror", "-nostdlib", "-ffreestanding",
                               "-fno-tree-loop-distribute-patterns", "-T", "boot.ld",
                               example(board.startup), example("firmware/main.c"),
                               example("firmware/checks.c"), "-lgcc", "-o", "boot.elf"});
        if (negativeControl)
            gcc.push_back("-DBOOT_CHECKS_NEGATIVE_CONTROL");
        ToolResult built = run(std::string(board.toolPrefix) + "gcc", gcc);
        EXPECT_EQ(built.exitCode, 0) << built.err;
        ToolResult copied = run(std::string(board.toolPrefix) + "objcopy",
                                {"-O", "binary", "boot.elf", "boot.bin"});
        EXPECT_EQ(copied.exitCode, 0) << copied.err;
        write("pattern.bin", std::string(0x10000, '\xa5'));

        // A raw image: QEMU's ELF loader would zero-fill .bss itself.
        std::vector<std::string> qemu = {"60", board.qemu};
        qemu.insert(qemu.end(), board.qemuArguments.begin(), board.qemuArguments.end());
        qemu.insert(qemu.end(), {"-nographic", "-monitor", "none", "-serial", "none",
                                 "-semihosting-config", "enable=on,target=native"});
        if (board.imageAsKernel)
            qemu.insert(qemu.end(), {"-kernel", "boot.bin"});
        else
            qemu.insert(qemu.end(), {"-device", std::string("loader,file=boot.bin,addr=") +
                                                    board.imageAddress});
        qemu.insert(qemu.end(),
                    {"-device", std::string("loader,file=pattern.bin,addr=") + board.ramAddress});
        return run("timeout", qemu);
    }
};

#define REQUIRE_ARM_BOOT()                                                                         \
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");                                        \
    REQUIRE_TOOL("qemu-system-arm", "qemu-system-arm")

#define REQUIRE_RISCV_BOOT()                                                                       \
    REQUIRE_TOOL("riscv64-unknown-elf-gcc", "gcc-riscv64-unknown-elf");                            \
    REQUIRE_TOOL("qemu-system-riscv32", "qemu-system-misc")

TEST_F(DovaBoot, ArmFirmwarePassesItsStartUpChecks) {
    REQUIRE_ARM_BOOT();
    ToolResult result = boot(kArm, false);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out + result.err, kAllPass);
}

TEST_F(DovaBoot, RiscVFirmwarePassesItsStartUpChecks) {
    REQUIRE_RISCV_BOOT();
    ToolResult result = boot(kRiscV, false);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out + result.err, kAllPass);
}

// Without the copy and clear loops the pattern stays in RAM, and the checks must say so.
TEST_F(DovaBoot, NegativeControlsFail) {
    REQUIRE_ARM_BOOT();
    REQUIRE_RISCV_BOOT();
    for (const Board *board : {&kArm, &kRiscV}) {
        ToolResult result = boot(*board, true);
        const std::string text = result.out + result.err;
        EXPECT_EQ(result.exitCode, 1) << board->qemu;
        for (const char *line :
             {"FAIL .data copied from its load address\n", "FAIL .bss is zero\n",
              "FAIL function placed in RAM runs there\n", "PASS stack and heap lie inside RAM\n"})
            EXPECT_NE(text.find(line), std::string::npos) << board->qemu << ": " << text;
    }
}

} // namespace
