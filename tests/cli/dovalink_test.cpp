// Scripts from dova linked by the real GNU linkers: every section and segment symbol must land
// where the memory map puts it, and the checks must stop links that do not fit.

#include "crosstool.h"
#include "dovatesting.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kArmMemoryMap = memoryMapXml({{"FLASH", "0x08000000", "0x10000", true},
                                                {"RAM", "0x20000000", "0x2000"},
                                                {"CCM", "0x10000000", "0x1000"}});

const std::string kArmPlacement = placementXml({
    {"FLASH", R"(    <ProgramSection name=".vectors" load="Yes" keep="Yes" />
    <ProgramSection name=".text" load="Yes" alignment="4" />
    <ProgramSection name=".rodata" load="Yes" alignment="4" fill="0xAAAAAAAA" />
    <ProgramSection name=".data" load="Yes" alignment="4" runin=".data_run" />
    <ProgramSection name=".fast" load="Yes" alignment="4" runin=".fast_run" />
    <ProgramSection name=".patch" load="Yes" runoffset="0x08000000" />
)"},
    {"RAM", R"(    <ProgramSection name=".data_run" alignment="4" />
    <ProgramSection name=".bss" alignment="4" />
    <ProgramSection name=".heap" alignment="8" size="__HEAPSIZE__" />
    <ProgramSection name=".stack" alignment="8" size="__STACKSIZE__"
                    place_from_segment_end="Yes" />
)"},
    {"CCM", "    <ProgramSection name=\".fast_run\" alignment=\"4\" />\n"},
});

// Sizes: .vectors 8, .text 10, .rodata 5 with a 3-byte gap, .data 8, .fast 6, .patch 4, .bss 0x24.
const std::string kArmObject = R"(
    .syntax unified
    .thumb
    .section .vectors,"a"
    .word 0x11111111, 0x22222222
    .section .text,"ax"
    .short 1, 2, 3, 4, 5
    .section .rodata.a,"a"
    .byte 1
    .section .rodata.b,"a"
    .balign 4
    .byte 2
    .section .data,"aw"
    .word 7, 8
    .section .fast,"ax"
    .short 9, 10, 11
    .section .patch,"ax"
    .word 12
    .section .bss,"aw",%nobits
    .space 0x24
)";

class DovaLink : public ScratchDirTest {
protected:
    ToolResult run(const std::string &tool, const std::vector<std::string> &arguments) {
        std::string executable = tool == "dova" ? tool : crossToolPath(tool);
        return runTool(executable, arguments, {}, m_dir.path().toStdString());
    }

    // Writes the inputs, generates the script and links the assembled object with it.
    ToolResult link(const std::string &prefix, const std::string &memoryMap,
                    const std::string &placement, const std::string &assembly,
                    const std::vector<std::string> &dovaArguments,
                    const std::vector<std::string> &asArguments,
                    const std::vector<std::string> &ldArguments) {
        write("memory.xml", memoryMap);
        write("placement.xml", placement);
        write("object.s", assembly);
        std::vector<std::string> arguments = dovaArguments;
        arguments.insert(arguments.end(),
                         {"-memory-map-file", "memory.xml", "-section-placement-file",
                          "placement.xml", "script.ld"});
        ToolResult dova = run("dova", arguments);
        EXPECT_EQ(dova.exitCode, 0) << dova.err;
        std::vector<std::string> as = asArguments;
        as.insert(as.end(), {"object.s", "-o", "object.o"});
        ToolResult assembled = run(prefix + "as", as);
        EXPECT_EQ(assembled.exitCode, 0) << assembled.err;
        std::vector<std::string> ld = ldArguments;
        ld.insert(ld.end(), {"-T", "script.ld", "object.o", "-o", "image.elf"});
        return run(prefix + "ld", ld);
    }

    std::map<std::string, std::uint64_t> symbols(const std::string &prefix) {
        ToolResult nm = run(prefix + "nm", {"image.elf"});
        EXPECT_EQ(nm.exitCode, 0) << nm.err;
        std::map<std::string, std::uint64_t> values;
        std::istringstream lines(nm.out);
        std::string address, type, name;
        while (lines >> address >> type >> name)
            values[name] = std::stoull(address, nullptr, 16);
        return values;
    }

    void expectSymbols(const std::map<std::string, std::uint64_t> &actual,
                       const std::map<std::string, std::uint64_t> &expected) {
        for (const auto &[name, value] : expected) {
            auto found = actual.find(name);
            if (found == actual.end()) {
                ADD_FAILURE() << name << " is missing";
                continue;
            }
            EXPECT_EQ(found->second, value) << name;
        }
    }
};

TEST_F(DovaLink, ArmSectionsLandWhereTheMemoryMapSays) {
    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    ToolResult ld = link("arm-none-eabi-", kArmMemoryMap, kArmPlacement, kArmObject,
                         {"-check-segment-overflow", "-check-section-overflow", "-symbols",
                          "__HEAPSIZE__=0x400;__STACKSIZE__=2048"},
                         {"-mcpu=cortex-m4", "-mthumb"}, {"-e", "0"});
    ASSERT_EQ(ld.exitCode, 0) << ld.err;
    expectSymbols(symbols("arm-none-eabi-"), {
                                                 {"__FLASH_segment_start__", 0x08000000},
                                                 {"__FLASH_segment_end__", 0x08010000},
                                                 {"__FLASH_segment_size__", 0x10000},
                                                 {"__RAM_segment_start__", 0x20000000},
                                                 {"__RAM_segment_end__", 0x20002000},
                                                 {"__CCM_segment_start__", 0x10000000},
                                                 {"__vectors_load_start__", 0x08000000},
                                                 {"__vectors_start__", 0x08000000},
                                                 {"__vectors_end__", 0x08000008},
                                                 {"__text_start__", 0x08000008},
                                                 {"__text_end__", 0x08000012},
                                                 {"__rodata_start__", 0x08000014},
                                                 {"__rodata_end__", 0x08000019},
                                                 {"__data_load_start__", 0x0800001c},
                                                 {"__data_load_end__", 0x08000024},
                                                 {"__data_start__", 0x20000000},
                                                 {"__data_end__", 0x20000008},
                                                 {"__fast_load_start__", 0x08000024},
                                                 {"__fast_start__", 0x10000000},
                                                 {"__fast_end__", 0x10000006},
                                                 {"__patch_load_start__", 0x0800002a},
                                                 {"__patch_start__", 0x1000002a},
                                                 {"__patch_load_end__", 0x0800002e},
                                                 {"__FLASH_segment_used_end__", 0x0800002e},
                                                 {"__data_run_start__", 0x20000000},
                                                 {"__data_run_end__", 0x20000008},
                                                 {"__bss_start__", 0x20000008},
                                                 {"__bss_end__", 0x2000002c},
                                                 {"__heap_start__", 0x20000030},
                                                 {"__heap_end__", 0x20000430},
                                                 {"__stack_start__", 0x20001800},
                                                 {"__stack_end__", 0x20002000},
                                                 {"__stack_size__", 0x800},
                                                 {"__RAM_segment_used_end__", 0x20002000},
                                                 {"__fast_run_start__", 0x10000000},
                                                 {"__fast_run_end__", 0x10000006},
                                             });
    // The gap before the aligned input section is filled with the section's pattern.
    ToolResult copy = run("arm-none-eabi-objcopy",
                          {"-O", "binary", "--only-section=.rodata", "image.elf", "rodata.bin"});
    ASSERT_EQ(copy.exitCode, 0) << copy.err;
    EXPECT_EQ(readFileBytes(path("rodata.bin")), std::string("\x01\xaa\xaa\xaa\x02", 5));
}

TEST_F(DovaLink, AStackWhoseSizeIsNotAMultipleOfItsAlignmentEndsInsideItsSegment) {
    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    ToolResult ld =
        link("arm-none-eabi-", kArmMemoryMap, kArmPlacement, kArmObject,
             {"-check-segment-overflow", "-symbols", "__HEAPSIZE__=0x400;__STACKSIZE__=0x7fc"},
             {"-mcpu=cortex-m4", "-mthumb"}, {"-e", "0"});
    ASSERT_EQ(ld.exitCode, 0) << ld.err;
    expectSymbols(symbols("arm-none-eabi-"), {{"__stack_start__", 0x20001800},
                                              {"__stack_end__", 0x20002000},
                                              {"__RAM_segment_end__", 0x20002000}});
}

TEST_F(DovaLink, RiscVSectionsLandWhereTheMemoryMapSays) {
    REQUIRE_TOOL("riscv64-unknown-elf-ld", "binutils-riscv64-unknown-elf");
    const std::string memoryMap =
        memoryMapXml({{"ROM", "0x00000000", "0x8000", true}, {"Data RAM", "0x80000000", "0x4000"}});
    const std::string placement = placementXml({
        {"ROM", R"(    <ProgramSection name=".text" load="Yes" />
    <ProgramSection name=".rodata" load="Yes" alignment="8" />
    <ProgramSection name=".data" load="Yes" runin=".data_run" />
)"},
        {"Data RAM", R"(    <ProgramSection name=".data_run" />
    <ProgramSection name=".bss" alignment="16" />
    <ProgramSection name=".stack" size="0x400" alignment="16" place_from_segment_end="Yes" />
)"},
    });
    const std::string object = R"(
    .section .text,"ax"
    .word 1, 2, 3
    .section .text.more,"ax"
    .word 4
    .section .rodata,"a"
    .byte 5
    .section .data,"aw"
    .word 6, 7, 8
    .section .bss,"aw",@nobits
    .space 0x11
)";
    ToolResult ld = link("riscv64-unknown-elf-", memoryMap, placement, object, {"-target", "riscv"},
                         {"-march=rv32i", "-mabi=ilp32"}, {"-m", "elf32lriscv", "-e", "0"});
    ASSERT_EQ(ld.exitCode, 0) << ld.err;
    expectSymbols(symbols("riscv64-unknown-elf-"),
                  {
                      {"__ROM_segment_start__", 0},
                      {"__ROM_segment_end__", 0x8000},
                      {"__Data_RAM_segment_start__", 0x80000000},
                      {"__Data_RAM_segment_size__", 0x4000},
                      {"__text_start__", 0},
                      {"__text_end__", 0x10},
                      {"__rodata_start__", 0x10},
                      {"__rodata_end__", 0x11},
                      {"__data_load_start__", 0x11},
                      {"__data_load_end__", 0x1d},
                      {"__data_start__", 0x80000000},
                      {"__data_end__", 0x8000000c},
                      {"__bss_start__", 0x80000010},
                      {"__bss_end__", 0x80000021},
                      {"__stack_start__", 0x80003c00},
                      {"__stack_end__", 0x80004000},
                      {"__Data_RAM_segment_used_end__", 0x80004000},
                  });
}

TEST_F(DovaLink, ChecksStopLinksThatDoNotFit) {
    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    const std::string memoryMap =
        memoryMapXml({{"FLASH", "0x08000000", "0x10", true}, {"RAM", "0x20000000", "0x100"}});
    const std::string big = "    .section .text,\"ax\"\n    .space 0x20\n";
    const std::string flashText =
        placementXml({{"FLASH", "<ProgramSection name=\".text\" load=\"Yes\" />\n"}});
    struct Case {
        std::string placement;
        std::string assembly;
        std::vector<std::string> options;
        std::string message;
    };
    const std::vector<Case> cases = {
        {flashText,
         big,
         {"-check-segment-overflow"},
         "error: .text is too large to fit in FLASH memory segment"},
        {placementXml({{"FLASH", R"(<ProgramSection name=".data" load="Yes" runin=".data_run" />)"},
                       {"RAM", R"(<ProgramSection name=".data_run" />)"}}),
         "    .section .data,\"aw\"\n    .space 0x20\n",
         {"-check-segment-overflow"},
         "error: .data is too large to fit in FLASH memory segment"},
        {placementXml({{"RAM", R"(<ProgramSection name=".table" load="Yes" size="8" />)"}}),
         "    .section .table,\"aw\"\n    .space 0x20\n",
         {"-check-section-overflow"},
         "error: .table is larger than specified size"},
        {placementXml({{"RAM", R"(<ProgramSection name=".a" load="Yes" />
                                   <ProgramSection name=".b" load="Yes" start="0x20000004" />)"}}),
         "    .section .a,\"aw\"\n    .space 8\n    .section .b,\"aw\"\n    .space 4\n",
         {"-check-segment-overflow"},
         "error: section .a overlaps absolute placed section .b"},
    };
    for (const Case &c : cases) {
        ToolResult ld = link("arm-none-eabi-", memoryMap, c.placement, c.assembly, c.options,
                             {"-mcpu=cortex-m4"}, {"-e", "0"});
        EXPECT_NE(ld.exitCode, 0) << c.message;
        EXPECT_NE(ld.err.find(c.message), std::string::npos) << ld.err;
    }
    // Without the checks the same link goes through.
    ToolResult unchecked =
        link("arm-none-eabi-", memoryMap, flashText, big, {}, {"-mcpu=cortex-m4"}, {"-e", "0"});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.err;
}

TEST_F(DovaLink, KeptSectionsSurviveGarbageCollection) {
    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    const std::string placement = placementXml({{"FLASH", R"(
        <ProgramSection name=".vectors" load="Yes" keep="Yes" />
        <ProgramSection name=".text" load="Yes" />
        <ProgramSection name=".unused" load="Yes" />)"}});
    const std::string object = R"(
    .section .vectors,"a"
    .word 1, 2
    .section .text,"ax"
    .global reset
reset:
    .word 3
    .section .unused,"a"
    .word 4
)";
    ToolResult ld = link("arm-none-eabi-", kArmMemoryMap, placement, object, {},
                         {"-mcpu=cortex-m4"}, {"--gc-sections", "-e", "reset"});
    ASSERT_EQ(ld.exitCode, 0) << ld.err;
    expectSymbols(symbols("arm-none-eabi-"), {{"__vectors_size__", 8},
                                              {"__text_start__", 0x08000008},
                                              {"__text_size__", 4},
                                              {"__unused_size__", 0}});
}

TEST_F(DovaLink, UnplacedSectionsFailTheLinkUnlessTheCheckIsOff) {
    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    const std::string placement =
        placementXml({{"FLASH", "<ProgramSection name=\".text\" load=\"Yes\" />"}});
    const std::string object =
        "    .section .text,\"ax\"\n    .word 1\n    .section .orphan,\"a\"\n    .word 2\n";
    ToolResult checked = link("arm-none-eabi-", kArmMemoryMap, placement, object, {},
                              {"-mcpu=cortex-m4"}, {"-e", "0"});
    EXPECT_NE(checked.exitCode, 0);
    EXPECT_NE(checked.err.find("UNPLACED_SECTIONS"), std::string::npos) << checked.err;
    ToolResult unchecked = link("arm-none-eabi-", kArmMemoryMap, placement, object,
                                {"-no-check-unplaced-sections"}, {"-mcpu=cortex-m4"}, {"-e", "0"});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.err;
}

TEST_F(DovaLink, TheExampleFirmwareLinksWithTheExampleScript) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    const std::string examples = testDataPath("../../examples");
    ToolResult dova = run(
        "dova", {"-memory-map-file", examples + "/demo_memory_map.xml", "-section-placement-file",
                 examples + "/demo_section_placement.xml", "-symbols",
                 "__HEAPSIZE__=0x1000;__STACKSIZE__=0x800", "-check-segment-overflow", "demo.ld"});
    ASSERT_EQ(dova.exitCode, 0) << dova.err;
    ToolResult gcc =
        run("arm-none-eabi-gcc",
            {"-mcpu=cortex-m4", "-mthumb", "-O2", "-nostdlib", "-ffreestanding",
             "-fno-tree-loop-distribute-patterns", "-T", "demo.ld", "-Wl,-e,Reset_Handler",
             examples + "/firmware/startup.c", examples + "/firmware/main.c", "-o", "image.elf"});
    ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
    std::map<std::string, std::uint64_t> values = symbols("arm-none-eabi-");
    expectSymbols(values, {{"vectors", 0},
                           {"__fast_start__", 0x10000000},
                           {"__data_start__", 0x20000000},
                           {"__stack_start__", 0x2000f800},
                           {"__stack_end__", 0x20010000}});
    // The copies come from flash, after the constants.
    EXPECT_GE(values["__fast_load_start__"], values["__rodata_end__"]);
    EXPECT_EQ(values["__data_load_start__"],
              values["__fast_load_start__"] + values["__fast_end__"] - values["__fast_start__"]);
    EXPECT_EQ(values["__bss_start__"], values["__data_end__"]);
}

} // namespace
