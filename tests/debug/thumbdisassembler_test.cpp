// The Thumb disassembler: a table of encodings whose text binutils agrees with, decoded in
// order so that IT blocks carry their conditions; bounds of the input; and every
// instruction of programs built here for ARMv6-M, ARMv7-M and ARMv7E-M compared with
// arm-none-eabi-objdump.

#include "debug/thumbdisassembler.h"

#include "crosstool.h"
#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "f85f 4020" as the bytes in memory.
std::vector<std::uint8_t> units(const std::string &text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at + 4 <= text.size(); at += 5) {
        const unsigned unit = std::stoul(text.substr(at, 4), nullptr, 16);
        bytes.push_back(std::uint8_t(unit));
        bytes.push_back(std::uint8_t(unit >> 8));
    }
    return bytes;
}

struct Row {
    std::uint64_t address;
    const char *units;
    const char *text;
};

// One block at 0x1000100: branch ranges at both ends, PC-relative loads forwards and
// backwards, IT blocks, modified immediates of each rotation and negative offsets.
const Row kBlock[] = {
    {0x1000100, "f40f d7fe", "bl\t10100"},
    {0x1000104, "f3ef d7fc", "bl\t1ff0100"},
    {0x1000108, "f40f 97fa", "b.w\t10100"},
    {0x100010c, "f400 87f8", "beq.w\tf01100"},
    {0x1000110, "f07e aff6", "bne.w\t10ff100"},
    {0x1000114, "e7f4", "b.n\t1000100"},
    {0x1000116, "dcf3", "bgt.n\t1000100"},
    {0x1000118, "b1ff", "cbz\tr7, 100015a"},
    {0x100011a, "4b10", "ldr\tr3, [pc, #64]\t@ (100015c)"},
    {0x100011c, "f85f 4020", "ldr.w\tr4, [pc, #-32]\t@ 1000100"},
    {0x1000120, "e9df 010e", "ldrd\tr0, r1, [pc, #56]\t@ 100015c\t@ 0x38"},
    {0x1000124, "a00d", "add\tr0, pc, #52\t@ (adr r0, 100015c)"},
    {0x1000126, "bf85", "ittet\thi"},
    {0x1000128, "2001", "movhi\tr0, #1"},
    {0x100012a, "f501 707f", "addhi.w\tr0, r1, #1020\t@ 0x3fc"},
    {0x100012e, "0111", "lslls\tr1, r2, #4"},
    {0x1000130, "60a3", "strhi\tr3, [r4, #8]"},
    {0x1000132, "bfba", "itte\tlt"},
    {0x1000134, "4608", "movlt\tr0, r1"},
    {0x1000136, "1840", "addlt\tr0, r0, r1"},
    {0x1000138, "3801", "subge\tr0, #1"},
    // Past the block the flag-setting forms are back.
    {0x100013a, "3801", "subs\tr0, #1"},
    {0x100013c, "f06f 2055", "mvn.w\tr0, #1426085120\t@ 0x55005500"},
    {0x1000140, "f040 402a", "orr.w\tr0, r0, #2852126720\t@ 0xaa000000"},
    {0x1000144, "f000 10ab", "and.w\tr0, r0, #11206827\t@ 0xab00ab"},
    {0x1000148, "f420 507e", "bic.w\tr0, r0, #16256\t@ 0x3f80"},
    {0x100014c, "f811 0cff", "ldrb.w\tr0, [r1, #-255]"},
    {0x1000150, "f851 09ff", "ldr.w\tr0, [r1], #-255"},
    {0x1000154, "f843 2dff", "str.w\tr2, [r3, #-255]!"},
    {0x1000158, "f9b1 0fff", "ldrsh.w\tr0, [r1, #4095]\t@ 0xfff"},
    {0x100015c, "e8df f003", "tbb\t[pc, r3]"},
    {0x1000160, "e92d 41f0", "stmdb\tsp!, {r4, r5, r6, r7, r8, lr}"},
    {0x1000164, "f3ef 8010", "mrs\tr0, PRIMASK"},
    {0x1000168, "f380 8811", "msr\tBASEPRI, r0"},
    {0x100016c, "f3bf 8f5b", "dmb\tish"},
    {0x1000170, "fb91 f0f2", "sdiv\tr0, r1, r2"},
    {0x1000174, "fbc2 01d3", "smlaldx\tr0, r1, r2, r3"},
    {0x1000178, "fa82 f0b1", "qdsub\tr0, r1, r2"},
    {0x100017c, "f301 1002", "ssat\tr0, #3, r1, lsl #4"},
    {0x1000180, "b672", "cpsid\ti"},
    {0x1000182, "be03", "bkpt\t0x0003"},
    // Floating point: immediates, pushes, transfers and conversions.
    {0x1000184, "eeba 0a04", "vmov.f32\ts0, #164\t@ 0xc1200000 -10.0"},
    {0x1000188, "eeb7 0b08", "vmov.f64\td0, #120\t@ 0x3fc00000  1.5"},
    {0x100018c, "ed2d 8a03", "vpush\t{s16-s18}"},
    {0x1000190, "ed12 1b02", "vldr\td1, [r2, #-8]"},
    {0x1000194, "ed11 2b77", "vldr\td2, [r1, #-476]\t@ 0xfffffe24"},
    {0x1000198, "ec57 6b1f", "vmov\tr6, r7, d15"},
    {0x100019c, "ee20 0b10", "vmov.32\td0[1], r0"},
    {0x10001a0, "eef1 fa10", "vmrs\tAPSR_nzcv, fpscr"},
    {0x10001a4, "eebc 0b41", "vcvtr.u32.f64\ts0, d1"},
    {0x10001a8, "eeb5 0bc0", "vcmpe.f64\td0, #0.0"},
    {0x10001ac, "eeba 0aec", "vcvt.f32.s32\ts0, s0, #7"},
};

TEST(ThumbDisassembler, DecodesTheTableInOrder) {
    ThumbDisassembler disassembler;
    for (const Row &row : kBlock) {
        const std::vector<std::uint8_t> bytes = units(row.units);
        const ThumbInstruction decoded =
            disassembler.decode(row.address, bytes.data(), bytes.size());
        EXPECT_EQ(decoded.text, row.text) << row.units;
        EXPECT_EQ(decoded.size, bytes.size()) << row.units;
    }
}

TEST(ThumbDisassembler, TargetsAndEncodings) {
    ThumbDisassembler disassembler;
    const std::vector<std::uint8_t> call = units("f3ef d7fc");
    ThumbInstruction decoded = disassembler.decode(0x1000104, call.data(), call.size());
    EXPECT_TRUE(decoded.hasTarget);
    EXPECT_EQ(decoded.target, 0x1ff0100u);
    EXPECT_EQ(decoded.encoding, 0xf3efd7fcu);
    // A branch below address 0 wraps in the 32-bit space.
    const std::vector<std::uint8_t> back = units("e7f4");
    decoded = disassembler.decode(0, back.data(), back.size());
    EXPECT_EQ(decoded.target, 0xffffffecu);
    EXPECT_EQ(decoded.text, "b.n\tffffffec");
}

TEST(ThumbDisassembler, NeverReadsPastTheBytesGiven) {
    ThumbDisassembler disassembler;
    // Heap copies, so that a read past them shows under the sanitizers.
    const std::vector<std::uint8_t> one{0x00};
    EXPECT_EQ(disassembler.decode(0, one.data(), one.size()).size, 0u);
    EXPECT_EQ(disassembler.decode(0, nullptr, 0).size, 0u);
    const std::vector<std::uint8_t> cut{0x5f, 0xf8, 0x20};
    const ThumbInstruction half = disassembler.decode(0, cut.data(), cut.size());
    EXPECT_EQ(half.size, 2u);
    EXPECT_EQ(half.text, ".short\t0xf85f");
    // Unknown encodings reproduce their bytes when assembled.
    const std::vector<std::uint8_t> coprocessor = units("ec90 0b21");
    EXPECT_EQ(disassembler.decode(0, coprocessor.data(), 4).text, ".word\t0xb21ec90");
    const std::vector<std::uint8_t> reserved = units("b774");
    EXPECT_EQ(disassembler.decode(0, reserved.data(), 2).text, ".short\t0xb774");
}

TEST(ThumbDisassembler, AnIfThenBlockEndsAfterItsInstructionsOrOnReset) {
    ThumbDisassembler disassembler;
    const std::vector<std::uint8_t> code = units("bf08 3801 3801");
    std::vector<std::string> texts;
    for (std::size_t at = 0; at < code.size(); at += 2)
        texts.push_back(disassembler.decode(at, code.data() + at, 2).text);
    EXPECT_EQ(texts, (std::vector<std::string>{"it\teq", "subeq\tr0, #1", "subs\tr0, #1"}));
    disassembler.decode(0, code.data(), 2);
    disassembler.reset();
    EXPECT_EQ(disassembler.decode(2, code.data() + 2, 2).text, "subs\tr0, #1");
}

// A program built for one core: compiler options and sources below tests/data.
struct Program {
    std::vector<std::string> options;
    std::vector<std::string> sources;
};

class ThumbDisassemblerCross : public ScratchDirTest,
                               public ::testing::WithParamInterface<Program> {};

// Every instruction objdump lists, in order, with the symbol names it adds taken out.
TEST_P(ThumbDisassemblerCross, AgreesWithObjdumpOnEveryInstruction) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    REQUIRE_TOOL("arm-none-eabi-objdump", "binutils-arm-none-eabi");
    const std::string gcc = crossToolPath("arm-none-eabi-gcc");
    const std::string objdump = crossToolPath("arm-none-eabi-objdump");
    std::vector<std::string> arguments = GetParam().options;
    for (const std::string &source : GetParam().sources)
        arguments.push_back(testDataPath(source));
    const std::vector<std::string> common{
        "-mthumb", "-ffreestanding", "-nostdlib", "-T", testDataPath("debug/stepping.ld"), "-lgcc",
        "-o",      "program.elf"};
    arguments.insert(arguments.end(), common.begin(), common.end());
    ToolResult built = runTool(gcc, arguments, {}, m_dir.path().toStdString());
    ASSERT_EQ(built.exitCode, 0) << built.err;
    ToolResult listing = runTool(objdump, {"-d", "program.elf"}, {}, m_dir.path().toStdString());
    ASSERT_EQ(listing.exitCode, 0) << listing.err;

    static const QRegularExpression kLine(
        QStringLiteral("^\\s*([0-9a-f]+):\\t([0-9a-f ]+?)\\s*\\t(.*)$"));
    static const QRegularExpression kSymbol(QStringLiteral(" <[^>]*>"));
    static const QRegularExpression kTabs(QStringLiteral("\\t+"));
    ThumbDisassembler disassembler;
    std::uint64_t next = 0;
    int compared = 0, differing = 0;
    for (const QString &text : QString::fromStdString(listing.out).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = kLine.match(text);
        // Data in the code (literal pools, tables) and function headers end a run.
        if (!match.hasMatch() || match.captured(3).startsWith(QLatin1Char('.'))) {
            disassembler.reset();
            continue;
        }
        const std::uint64_t address = match.captured(1).toULongLong(nullptr, 16);
        if (address != next)
            disassembler.reset();
        const std::vector<std::uint8_t> bytes = units(match.captured(2).toStdString());
        const ThumbInstruction decoded = disassembler.decode(address, bytes.data(), bytes.size());
        next = address + decoded.size;
        QString expected = match.captured(3);
        expected.remove(kSymbol).replace(kTabs, QStringLiteral("\t"));
        ++compared;
        if (decoded.text != expected.trimmed().toStdString() || decoded.size != bytes.size()) {
            if (++differing <= 20)
                ADD_FAILURE() << text.toStdString() << "\n  ours: " << decoded.text;
        }
    }
    EXPECT_EQ(differing, 0) << "of " << compared;
    // Enough instructions were compared to mean something.
    EXPECT_GT(compared, 400);
}

// ARMv6-M, ARMv7-M, and ARMv7E-M with and without its single-precision floating-point
// unit (the table covers double precision), with the library routines the code calls; and
// the example firmware, whose linker script symbols do not matter here.
const std::vector<std::string> kProgram{"debug/disassembly.c"};
const std::vector<std::string> kFirmware{"../../examples/firmware/main.c",
                                         "../../examples/firmware/startup.c",
                                         "../../examples/firmware/checks.c"};

INSTANTIATE_TEST_SUITE_P(
    Cores, ThumbDisassemblerCross,
    ::testing::Values(
        Program{{"-mcpu=cortex-m0", "-O2", "-Wl,-e,start"}, kProgram},
        Program{{"-mcpu=cortex-m3", "-O2", "-Wl,-e,start"}, kProgram},
        Program{{"-mcpu=cortex-m4", "-O2", "-Wl,-e,start"}, kProgram},
        Program{{"-mcpu=cortex-m4", "-mfloat-abi=hard", "-mfpu=fpv4-sp-d16", "-O2", "-Wl,-e,start"},
                kProgram},
        Program{{"-mcpu=cortex-m0", "-Os", "-Wl,--unresolved-symbols=ignore-all"}, kFirmware},
        Program{{"-mcpu=cortex-m4", "-Os", "-Wl,--unresolved-symbols=ignore-all"}, kFirmware}));

} // namespace
