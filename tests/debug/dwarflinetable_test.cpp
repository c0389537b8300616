// Line tables of programs built by arm-none-eabi-gcc with each DWARF version, checked against
// readelf's decoding of the same tables.

#include "core/hexception.h"
#include "crosstool.h"
#include "debug/dwarflinetable.h"
#include "debug/elffile.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

namespace {

const char kStep[] = "static int helper(int x)\n"
                     "{\n"
                     "    return x * 3 + 1;\n"
                     "}\n"
                     "\n"
                     "int counter;\n"
                     "\n"
                     "int step(int n)\n"
                     "{\n"
                     "    int total = 0;\n"
                     "    for (int i = 0; i < n; ++i)\n"
                     "        total += helper(i);\n"
                     "    counter = total;\n"
                     "    return total;\n"
                     "}\n";
const char kStart[] = "extern int step(int);\n"
                      "int value;\n"
                      "\n"
                      "void start(void)\n"
                      "{\n"
                      "    value = step(4);\n"
                      "    for (;;)\n"
                      "        ;\n"
                      "}\n";

class LineTable : public ScratchDirTest {
protected:
    void build(int version) {
        write("step.c", kStep);
        QDir(QString::fromStdString(m_dir.path().toStdString())).mkdir("sub");
        write("sub/start.c", kStart);
        ToolResult gcc = runTool(
            crossToolPath("arm-none-eabi-gcc"),
            {"-mcpu=cortex-m3", "-mthumb", "-O1", "-g", "-gdwarf-" + std::to_string(version),
             "-Wa,--gdwarf-" + std::to_string(version), "-nostdlib", "-ffreestanding",
             "-Wl,-e,start", "-Wl,-Ttext=0x1000", "step.c", "sub/start.c", "-o", "image.elf"},
            {}, m_dir.path().toStdString());
        ASSERT_EQ(gcc.exitCode, 0) << gcc.err;
    }

    // readelf's rows: file name, line (0 for the end of a sequence), address, statement.
    struct Row {
        std::string file;
        int line;
        std::uint64_t address;
        bool isStatement;
    };
    std::vector<Row> readelfRows() {
        ToolResult readelf =
            runTool(crossToolPath("arm-none-eabi-readelf"),
                    {"--debug-dump=decodedline", "image.elf"}, {}, m_dir.path().toStdString());
        EXPECT_EQ(readelf.exitCode, 0) << readelf.err;
        std::vector<Row> rows;
        std::istringstream lines(readelf.out);
        for (std::string text; std::getline(lines, text);) {
            std::istringstream fields(text);
            std::string file, line, address, rest;
            if (!(fields >> file >> line >> address) || !address.starts_with("0x"))
                continue;
            bool statement = false;
            while (fields >> rest)
                statement = rest == "x";
            rows.push_back({file, line == "-" ? 0 : std::stoi(line),
                            std::stoull(address, nullptr, 16), statement});
        }
        return rows;
    }
};

TEST_F(LineTable, EveryDwarfVersionDecodesAsReadelfDoes) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    REQUIRE_TOOL("arm-none-eabi-readelf", "binutils-arm-none-eabi");
    for (int version = 2; version <= 5; ++version) {
        SCOPED_TRACE("DWARF " + std::to_string(version));
        build(version);
        ElfFile elf(path("image.elf"));
        // The assembler writes version 2 requests as version 3, the same layout.
        std::span<const std::uint8_t> section = elf.section(".debug_line");
        ASSERT_GT(section.size(), 6u);
        EXPECT_EQ(section[4], std::max(version, 3));
        DwarfLineTable table = DwarfLineTable::fromElf(elf);
        const std::vector<Row> rows = readelfRows();
        ASSERT_GT(rows.size(), 10u);

        // An address belongs to the last row that starts there, unless a sequence ends there.
        std::map<std::uint64_t, Row> byAddress;
        std::map<std::pair<std::string, int>, std::uint64_t> firstStatement;
        for (const Row &row : rows) {
            if (row.line == 0) {
                byAddress.erase(row.address);
                continue;
            }
            byAddress[row.address] = row;
            if (row.isStatement && !firstStatement.count({row.file, row.line}))
                firstStatement[{row.file, row.line}] = row.address;
        }
        for (const auto &[address, row] : byAddress) {
            std::optional<DwarfLineTable::Location> found = table.find(address);
            ASSERT_TRUE(found) << std::hex << address;
            EXPECT_EQ(found->line, row.line) << std::hex << address;
            EXPECT_TRUE(found->file.ends_with(row.file)) << found->file;
            EXPECT_LE(found->start, address);
            EXPECT_GT(found->end, address);
        }
        for (const auto &[key, address] : firstStatement) {
            int line = key.second;
            std::vector<std::uint64_t> addresses = table.addresses(key.first, line);
            ASSERT_FALSE(addresses.empty()) << key.first << ":" << key.second;
            EXPECT_EQ(line, key.second);
            EXPECT_EQ(addresses.front(), address) << key.first << ":" << key.second;
        }

        // Names are whole: the compilation directory comes from the debugging information.
        const std::string directory = QFileInfo(m_dir.path()).canonicalFilePath().toStdString();
        std::set<std::string> files;
        for (const DwarfLineTable::Range &range : table.ranges())
            files.insert(table.files()[range.file]);
        EXPECT_EQ(files,
                  (std::set<std::string>{directory + "/step.c", directory + "/sub/start.c"}));

        // Files match by whole trailing path components; a line without code moves on.
        int line = 5;
        const std::vector<std::uint64_t> start = table.addresses("sub/start.c", line);
        ASSERT_EQ(start.size(), 1u);
        EXPECT_EQ(table.addresses("start.c", line), start);
        EXPECT_EQ(line, 5);
        line = 5;
        EXPECT_TRUE(table.addresses("b/start.c", line).empty());
        EXPECT_TRUE(table.addresses("start", line).empty());
        line = 7;
        ASSERT_FALSE(table.addresses("step.c", line).empty());
        EXPECT_EQ(line, 8 + (firstStatement.count({"step.c", 8}) ? 0 : 1));
        line = 16;
        EXPECT_TRUE(table.addresses("step.c", line).empty());
        EXPECT_FALSE(table.find(0x800));
    }
}

TEST_F(LineTable, DamagedTablesFailCleanly) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    build(5);
    ElfFile elf(path("image.elf"));
    std::span<const std::uint8_t> lines = elf.section(".debug_line");
    ASSERT_FALSE(lines.empty());
    // Every cut inside the first unit ends in a clear error, never a read past the end.
    for (std::size_t size = 1; size < 80; ++size)
        EXPECT_THROW(DwarfLineTable(lines.first(size), elf.section(".debug_line_str"),
                                    elf.section(".debug_str"), true),
                     HException)
            << size;
    std::vector<std::uint8_t> version(lines.begin(), lines.end());
    version[4] = 6;
    try {
        DwarfLineTable(version, {}, {}, true);
        ADD_FAILURE() << "version 6 accepted";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "unsupported DWARF line table version 6");
    }
    // Names in a string section the file does not have.
    EXPECT_THROW(DwarfLineTable(lines, {}, {}, true), HException);

    // Damage anywhere in the file: a clear error or a table, never a crash.
    const std::string image = readFileBytes(path("image.elf"));
    std::mt19937 random(23);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(image.begin(), image.end());
        for (int flips = 0; flips < 4; ++flips)
            bytes[random() % bytes.size()] = std::uint8_t(random());
        try {
            DwarfLineTable table = DwarfLineTable::fromElf(ElfFile("damaged.elf", bytes));
            int line = 12;
            table.addresses("step.c", line);
            table.find(0x1010);
        } catch (const HException &) {
        }
    }
}

// A version 2 unit around a line program: instructions of 2 bytes, one file "a.c".
std::vector<std::uint8_t> lineUnit(const std::vector<std::uint8_t> &program) {
    std::vector<std::uint8_t> header = {2, 1, 0xfb, 14, 13, 0,   1,   1,   1, 1, 0, 0, 0,
                                        1, 0, 0,    1,  0,  'a', '.', 'c', 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> unit = {2, 0};
    for (unsigned i = 0; i < 4; ++i)
        unit.push_back(std::uint8_t(header.size() >> (8 * i)));
    unit.insert(unit.end(), header.begin(), header.end());
    unit.insert(unit.end(), program.begin(), program.end());
    std::vector<std::uint8_t> bytes;
    for (unsigned i = 0; i < 4; ++i)
        bytes.push_back(std::uint8_t(unit.size() >> (8 * i)));
    bytes.insert(bytes.end(), unit.begin(), unit.end());
    return bytes;
}

// Set address 0x100, advance the line by `advance`, a row, 4 instructions on, end.
std::vector<std::uint8_t> advancedLine(std::int64_t advance) {
    std::vector<std::uint8_t> program = {0, 5, 2, 0x00, 0x01, 0, 0, 3};
    for (bool more = true; more;) {
        const std::uint8_t byte = advance & 0x7f;
        advance >>= 7;
        more = !((advance == 0 && !(byte & 0x40)) || (advance == -1 && (byte & 0x40)));
        program.push_back(more ? byte | 0x80 : byte);
    }
    program.insert(program.end(), {1, 2, 4, 0, 1, 1});
    return lineUnit(program);
}

TEST(LineProgram, LinesOutsideWhatAnIntHoldsAreDamage) {
    const DwarfLineTable table(advancedLine(9), {}, {}, true);
    const std::optional<DwarfLineTable::Location> found = table.find(0x104);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->line, 10);
    EXPECT_EQ(found->end, 0x108u);
    // Past the largest int, and below line 0, the rows would come out with wrong lines.
    for (std::int64_t advance : {std::int64_t(0x7fffffff), std::int64_t(-2), INT64_MIN})
        EXPECT_THROW(DwarfLineTable(advancedLine(advance), {}, {}, true), HException) << advance;
    EXPECT_NO_THROW(DwarfLineTable(advancedLine(0x7ffffffe), {}, {}, true));
}

} // namespace
