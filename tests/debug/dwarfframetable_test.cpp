// Call frame information: sections built by arm-none-eabi-gcc with each CIE version, checked
// against readelf's decoding, unwinding over registers and memory, and damaged sections.

#include "core/hexception.h"
#include "crosstool.h"
#include "debug/dwarfframetable.h"
#include "debug/elffile.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>

namespace {

const char kSource[] = "int counter;\n"
                       "static int __attribute__((noinline)) leaf(int x)\n"
                       "{\n"
                       "    return x * 3 + 1;\n"
                       "}\n"
                       "int __attribute__((noinline)) step(int n)\n"
                       "{\n"
                       "    int total = 0;\n"
                       "    for (int i = 0; i < n; ++i)\n"
                       "        total += leaf(i);\n"
                       "    counter = total;\n"
                       "    return total;\n"
                       "}\n"
                       "void start(void)\n"
                       "{\n"
                       "    counter = step(4);\n"
                       "    for (;;)\n"
                       "        ;\n"
                       "}\n";

// A row as readelf's frames-interp shows it.
std::string rowText(const DwarfFrameTable::Row &row, const std::vector<std::string> &columns) {
    std::string text = row.cfaKnown
                           ? "r" + std::to_string(row.cfaRegister) +
                                 (row.cfaOffset < 0 ? "" : "+") + std::to_string(row.cfaOffset)
                           : "exp";
    for (const std::string &column : columns) {
        const std::uint64_t reg = column == "ra" ? row.returnColumn : std::stoull(column.substr(1));
        const auto found = row.registers.find(reg);
        const DwarfFrameTable::Rule rule =
            found == row.registers.end() ? DwarfFrameTable::Rule{} : found->second;
        const std::string offset = (rule.value < 0 ? "" : "+") + std::to_string(rule.value);
        switch (rule.kind) {
        case DwarfFrameTable::Rule::Unspecified:
        case DwarfFrameTable::Rule::Undefined:
            text += " u";
            break;
        case DwarfFrameTable::Rule::SameValue:
            text += " s";
            break;
        case DwarfFrameTable::Rule::Offset:
            text += " c" + offset;
            break;
        case DwarfFrameTable::Rule::ValueOffset:
            text += " v" + offset;
            break;
        case DwarfFrameTable::Rule::Register:
            text += " r" + std::to_string(rule.value);
            break;
        case DwarfFrameTable::Rule::Unknown:
            text += " exp";
            break;
        }
    }
    return text;
}

class FrameTable : public ScratchDirTest {
protected:
    void build(int cieVersion) {
        write("step.c", kSource);
        std::vector<std::string> arguments{
            "-mcpu=cortex-m3", "-mthumb",           "-O0",    "-g", "-nostdlib", "-ffreestanding",
            "-Wl,-e,start",    "-Wl,-Ttext=0x1000", "step.c", "-o", "image.elf"};
        if (cieVersion != 1)
            arguments.push_back("-Wa,--gdwarf-cie-version=" + std::to_string(cieVersion));
        ToolResult gcc =
            runTool(crossToolPath("arm-none-eabi-gcc"), arguments, {}, m_dir.path().toStdString());
        ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
    }

    // The rows readelf decodes: address, its columns and the row as rowText writes it.
    struct ReadelfRow {
        std::uint64_t address;
        std::vector<std::string> columns;
        std::string text;
    };
    // Also the offsets where the entries of the section end.
    std::vector<ReadelfRow> readelfRows(std::set<std::uint64_t> &ends) {
        ToolResult readelf =
            runTool(crossToolPath("arm-none-eabi-readelf"),
                    {"--debug-dump=frames-interp", "image.elf"}, {}, m_dir.path().toStdString());
        EXPECT_EQ(readelf.exitCode, 0) << readelf.err;
        std::vector<ReadelfRow> rows;
        std::vector<std::string> columns;
        bool inFde = false;
        std::istringstream lines(readelf.out);
        for (std::string text; std::getline(lines, text);) {
            std::istringstream fields(text);
            std::vector<std::string> words;
            for (std::string word; fields >> word;)
                words.push_back(word);
            if (words.size() >= 2 && words[0] == "LOC") {
                columns.assign(words.begin() + 2, words.end());
            } else if (words.size() >= 4 && (words[3] == "FDE" || words[3] == "CIE")) {
                ends.insert(std::stoull(words[0], nullptr, 16) + 4 +
                            std::stoull(words[1], nullptr, 16));
                inFde = words[3] == "FDE";
            } else if (inFde && words.size() >= 2 && words[0].size() == 8) {
                std::string row = words[1];
                for (std::size_t i = 2; i < words.size(); ++i)
                    row += " " + words[i];
                rows.push_back({std::stoull(words[0], nullptr, 16), columns, row});
            }
        }
        return rows;
    }
};

TEST_F(FrameTable, EveryCieVersionDecodesAsReadelfDoes) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    REQUIRE_TOOL("arm-none-eabi-readelf", "binutils-arm-none-eabi");
    for (int version : {1, 3, 4}) {
        SCOPED_TRACE("CIE version " + std::to_string(version));
        build(version);
        const std::string bytes = readFileBytes(path("image.elf"));
        std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
        const ElfFile built("image.elf", image);
        const std::span<const std::uint8_t> original = built.section(".debug_frame");
        ASSERT_GT(original.size(), 16u);
        EXPECT_EQ(original[8], version);
        if (version == 4) {
            // The assembler gives a 32-bit target's CIE an address size of 8, which its own
            // FDEs contradict: make it the 4 they use.
            const auto at =
                std::search(image.begin(), image.end(), original.begin(), original.end());
            ASSERT_NE(at, image.end());
            ASSERT_EQ(at[10], 8);
            at[10] = 4;
            write("image.elf", std::string(image.begin(), image.end()));
        }
        const ElfFile elf("image.elf", image);
        const DwarfFrameTable table = DwarfFrameTable::fromElf(elf);
        std::set<std::uint64_t> ends;
        const std::vector<ReadelfRow> rows = readelfRows(ends);
        ASSERT_GT(rows.size(), 8u);
        for (const ReadelfRow &row : rows) {
            const std::optional<DwarfFrameTable::Row> found = table.rowAt(row.address);
            ASSERT_TRUE(found) << std::hex << row.address;
            EXPECT_EQ(rowText(*found, row.columns), row.text) << std::hex << row.address;
        }
        EXPECT_FALSE(table.rowAt(0x800));

        // Every cut ends in a clear error unless it falls between two entries.
        const std::span<const std::uint8_t> frames = elf.section(".debug_frame");
        for (std::size_t size = 1; size < frames.size(); ++size) {
            if (ends.count(size))
                EXPECT_NO_THROW(DwarfFrameTable(frames.first(size), true, 4)) << size;
            else
                EXPECT_THROW(DwarfFrameTable(frames.first(size), true, 4), HException) << size;
        }
    }
}

// Unwinding over registers and memory: a function's entry, its body after it saved lr, and
// a program written by hand for the rules the compiler does not use.
TEST_F(FrameTable, UnwindsRegistersAndMemory) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    build(1);
    const ElfFile elf(path("image.elf"));
    const DwarfFrameTable table = DwarfFrameTable::fromElf(elf);
    const ElfFile::Symbol *step = elf.findSymbol("step");
    ASSERT_TRUE(step);
    const std::uint64_t entry = step->value & ~std::uint64_t(1);
    std::map<std::uint64_t, std::uint64_t> registers{{7, 0x7777}, {13, 0x20000f00}, {14, 0x1235}};
    std::map<std::uint64_t, std::uint64_t> memory;
    auto readRegister = [&](std::uint64_t reg) -> std::optional<std::uint64_t> {
        if (!registers.count(reg))
            return std::nullopt;
        return registers[reg];
    };
    auto readMemory = [&](std::uint64_t address) -> std::optional<std::uint64_t> {
        if (!memory.count(address))
            return std::nullopt;
        return memory[address];
    };
    std::optional<DwarfFrameTable::Caller> caller =
        table.unwind(entry, 13, readRegister, readMemory);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->cfa, 0x20000f00u);
    EXPECT_EQ(caller->returnAddress, 0x1235u);

    // After push {r7, lr}; sub sp; add r7, sp: the CFA follows r7, lr lies below it.
    const std::optional<DwarfFrameTable::Row> body = table.rowAt(entry + 6);
    ASSERT_TRUE(body);
    ASSERT_EQ(body->cfaRegister, 7u);
    registers[7] = 0x20000ee8;
    const std::uint64_t cfa = 0x20000ee8 + std::uint64_t(body->cfaOffset);
    memory[cfa - 4] = 0x1041;
    memory[cfa - 8] = 0x20000ff0;
    caller = table.unwind(entry + 6, 13, readRegister, readMemory);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->cfa, cfa);
    EXPECT_EQ(caller->returnAddress, 0x1041u);
    EXPECT_EQ(caller->registers[7], 0x20000ff0u);
    EXPECT_EQ(caller->registers[13], cfa);
    EXPECT_EQ(caller->registers[14], std::nullopt);
    // Memory that cannot be read leaves the return address unknown.
    memory.clear();
    caller = table.unwind(entry + 6, 13, readRegister, readMemory);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->returnAddress, std::nullopt);

    // CIE version 3 (CFA r13+0, code and data factors 2 and -4, return column 14), and an FDE
    // for [0x100, 0x120): r4 in r5, r6 an expression, then remember, lr undefined, CFA at
    // r13+16, restore.
    const std::vector<std::uint8_t> section{
        0x0c, 0, 0, 0,    0xff, 0xff, 0xff, 0xff, 3,    0,    2,    0x7c, 14,   0x0c, 13, 0,
        0x1c, 0, 0, 0,    0,    0,    0,    0,    0x00, 0x01, 0,    0,    0x20, 0,    0,  0,
        0x09, 4, 5, 0x10, 6,    1,    0x30, 0x0a, 0x07, 14,   0x0e, 16,   0x44, 0x0b, 0,  0};
    const DwarfFrameTable manual(section, true, 4);
    registers = {{5, 0x55}, {13, 0x1000}, {14, 0x201}};
    caller = manual.unwind(0x104, 13, readRegister, readMemory);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->cfa, 0x1010u);
    EXPECT_EQ(caller->returnAddress, std::nullopt);
    EXPECT_EQ(caller->registers[4], 0x55u);
    EXPECT_EQ(caller->registers[6], std::nullopt);
    caller = manual.unwind(0x108, 13, readRegister, readMemory);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->cfa, 0x1000u);
    EXPECT_EQ(caller->returnAddress, 0x201u);
    EXPECT_FALSE(manual.unwind(0x120, 13, readRegister, readMemory));

    // Damage: an unknown version, an FDE that names no CIE, a state restored that was never
    // remembered, random flips (an error or a table, never a crash).
    std::vector<std::uint8_t> damaged = section;
    damaged[8] = 2;
    try {
        DwarfFrameTable(damaged, true, 4);
        ADD_FAILURE() << "version 2 accepted";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "unsupported DWARF call frame version 2");
    }
    damaged = section;
    damaged[20] = 4;
    EXPECT_THROW(DwarfFrameTable(damaged, true, 4), HException);
    damaged = section;
    damaged[39] = 0x0b;
    EXPECT_THROW(DwarfFrameTable(damaged, true, 4), HException);
    std::mt19937 random(23);
    for (int round = 0; round < 2000; ++round) {
        damaged = section;
        for (int flips = 0; flips < 3; ++flips)
            damaged[random() % damaged.size()] = std::uint8_t(random());
        try {
            DwarfFrameTable(damaged, true, 4).unwind(0x104, 13, readRegister, readMemory);
        } catch (const HException &) {
        }
    }
}

// The GNU negative offset of the largest factored offset: it wraps as the others do.
TEST(FrameProgram, ANegatedOffsetWraps) {
    std::vector<std::uint8_t> section{
        0x0c, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 3, 0, 1, 1, 14,   0x0c, 13, 0, // CIE
        0x1a, 0, 0, 0, 0,    0,    0,    0,    0, 1, 0, 0, 0x10, 0,    0,  0, // FDE [0x100, 0x110)
        0x2f, 4};
    // r4 at CFA - 2^63, an offset whose negation does not fit.
    section.insert(section.end(), 9, 0x80);
    section.insert(section.end(), {0x01, 0, 0});
    const DwarfFrameTable table(section, true, 4);
    const std::optional<DwarfFrameTable::Row> row = table.rowAt(0x104);
    ASSERT_TRUE(row);
    ASSERT_TRUE(row->registers.count(4));
    EXPECT_EQ(row->registers.at(4),
              (DwarfFrameTable::Rule{DwarfFrameTable::Rule::Offset, INT64_MIN}));
}

} // namespace
