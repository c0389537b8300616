// The engine over a memory image: memory and its cache, registers, breakpoints, symbols,
// expressions, the lazy memory block, and memory saved to and loaded from files.

#include "core/hexception.h"
#include "core/hexformat.h"
#include "debug/elffile.h"
#include "debug/lazymemoryblock.h"
#include "debug/memoryimagetarget.h"
#include "debug/memorytransfer.h"
#include "debug/standarddebugger.h"
#include "expr/parserexception.h"
#include "golden.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

std::vector<std::uint8_t> counting(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = std::uint8_t(first + i);
    return bytes;
}

class Engine : public ScratchDirTest {
protected:
    Engine() {
        auto target = std::make_unique<MemoryImageTarget>();
        m_target = target.get();
        m_target->addRegion(0x20000000, counting(0x3000));
        m_target->addRegion(0x1000, counting(0x100, 0x80));
        m_target->setReadOnly(0x1000, 0x100);
        m_engine = std::make_unique<StandardDebugger>(std::move(target));
    }
    std::vector<std::uint8_t> read(std::uint64_t address, std::size_t length,
                                   std::size_t *got = nullptr) {
        std::vector<std::uint8_t> bytes(length, 0xee);
        std::size_t delivered = m_engine->readMemory(0, address, length, bytes.data());
        if (got)
            *got = delivered;
        return bytes;
    }

    MemoryImageTarget *m_target;
    std::unique_ptr<StandardDebugger> m_engine;
};

TEST_F(Engine, MemoryReadsReportTheBytesDelivered) {
    std::size_t got = 0;
    EXPECT_EQ(read(0x20000010, 4, &got), (std::vector<std::uint8_t>{0x10, 0x11, 0x12, 0x13}));
    EXPECT_EQ(got, 4u);
    // The region ends 2 bytes into the request.
    std::vector<std::uint8_t> tail = read(0x20002ffe, 8, &got);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(tail[1], std::uint8_t(0x2fff & 0xff));
    read(0x30000000, 4, &got);
    EXPECT_EQ(got, 0u);
    // Nothing exists past the top of a 32-bit space, and nothing wraps to 0.
    m_target->addRegion(0, counting(16));
    read(0xfffffffe, 8, &got);
    EXPECT_EQ(got, 0u);
    read(0x100000000, 4, &got);
    EXPECT_EQ(got, 0u);
}

TEST_F(Engine, TheCacheServesRepeatedReadsUntilTheTargetMoves) {
    read(0x20000100, 0x800);
    const std::size_t requests = m_target->memoryRequests();
    read(0x20000100, 0x800);
    read(0x20000400, 16);
    EXPECT_EQ(m_target->memoryRequests(), requests);
    // Direct access bypasses the cache.
    std::uint8_t byte;
    m_engine->readMemory(StandardDebugger::Direct, 0x20000100, 1, &byte);
    EXPECT_EQ(m_target->memoryRequests(), requests + 1);

    // A write goes through and the next read sees it.
    const std::uint8_t bytes[] = {0xaa, 0xbb};
    EXPECT_EQ(m_engine->writeMemory(0, 0x20000400, 2, bytes), 2u);
    EXPECT_EQ(read(0x20000400, 2), (std::vector<std::uint8_t>{0xaa, 0xbb}));
    // Flash refuses writes: none of the bytes counts as written.
    EXPECT_EQ(m_engine->writeMemory(0, 0x1000, 2, bytes), 0u);
    EXPECT_EQ(read(0x1000, 1)[0], 0x80);
}

TEST_F(Engine, RegistersByNameInAnyCase) {
    EXPECT_TRUE(m_engine->setRegister("PC", 0x1234));
    std::uint64_t value = 0;
    EXPECT_TRUE(m_engine->getRegister("pc", value));
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(m_engine->setRegister("r3", 0x1ffffffff)); // wraps to the register's size
    EXPECT_TRUE(m_engine->getRegister("R3", value));
    EXPECT_EQ(value, 0xffffffffu);
    EXPECT_FALSE(m_engine->getRegister("r99", value));
    EXPECT_EQ(m_engine->getRegisterNames().size(), 17u);
    EXPECT_EQ(m_engine->evaluateExpression("@pc + 2"), "4662");
}

TEST_F(Engine, BreakpointsAreKeptInATableAndOnTheTarget) {
    EXPECT_TRUE(m_engine->setBreakpoint(0x1000));
    EXPECT_TRUE(m_engine->setBreakpoint(0x1000)); // once only
    EXPECT_EQ(m_engine->breakpoints().size(), 1u);
    EXPECT_EQ(m_target->breakpoints().count(0x1000), 1u);
    EXPECT_TRUE(m_engine->clearBreakpoint(0x1000));
    EXPECT_FALSE(m_engine->clearBreakpoint(0x1000));
    EXPECT_TRUE(m_target->breakpoints().empty());
    // A memory image cannot run.
    EXPECT_THROW(m_engine->continueFor(100), HException);
}

TEST_F(Engine, SymbolsFromTheElfFileServeExpressionsAndLocations) {
    auto target = std::make_unique<MemoryImageTarget>();
    target->addElfFile(testDataPath("debug/symbols.elf"));
    StandardDebugger engine(std::move(target));
    engine.loadSymbols(testDataPath("debug/symbols.elf"));
    struct Row {
        const char *expression;
        const char *value;
    } rows[] = {
        {"counter", "305419896"},
        {"counter + 1", "305419897"},
        {"level", "48879"},
        {"flags[2]", "3"},
        {"greeting[1]", "105"},
        {"&counter", "536870912"},
        {"counter[0]", "120"},
        {"sizeof counter", "4"},
        {"tick", "4096"},
        {"*(unsigned short *)0x20000004", "48879"},
        {"((unsigned char *)&counter)[3]", "18"},
        {"*(int *)0x20000000 == 0x12345678", "true"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(engine.evaluateExpression(row.expression), row.value) << row.expression;
    // Assignment writes target memory.
    EXPECT_EQ(engine.evaluateExpression("counter = 7"), "7");
    std::uint8_t bytes[4];
    ASSERT_EQ(engine.readMemory(0, 0x20000000, 4, bytes), 4u);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(bytes[1], 0);

    struct Failure {
        const char *expression;
        const char *message;
    } failures[] = {
        {"missing", "missing symbol not found"},
        {"tick[0]", "cannot dereference"},
        {"flags[4]", "index out of range"},
        {"*(int *)0x30000000", "cannot read target memory at 0x30000000"},
        {"@nothing", "unknown register"},
    };
    for (const Failure &failure : failures) {
        try {
            engine.evaluateExpression(failure.expression);
            ADD_FAILURE() << failure.expression << " evaluated";
        } catch (const ParserException &error) {
            EXPECT_EQ(error.message(), failure.message) << failure.expression;
        }
    }
    // Functions resolve without the Thumb bit, numbers as themselves.
    EXPECT_EQ(engine.resolveLocation("tick"), 0x1000u);
    EXPECT_EQ(engine.resolveLocation("_start"), 0x1010u);
    EXPECT_EQ(engine.resolveLocation("0x20"), 0x20u);
    EXPECT_EQ(engine.resolveLocation("32"), 32u);
    EXPECT_THROW(engine.resolveLocation("nothing"), HException);
    EXPECT_THROW(engine.resolveLocation("0x100000000"), HException);
}

TEST(ElfFile, HostileFilesFailCleanly) {
    std::vector<std::uint8_t> elf;
    {
        QFile file(QString::fromStdString(testDataPath("debug/symbols.elf")));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray all = file.readAll();
        elf.assign(all.begin(), all.end());
    }
    EXPECT_THROW(ElfFile("empty", {}), HException);
    EXPECT_THROW(ElfFile("text", {'n', 'o', 't', ' ', 'e', 'l', 'f'}), HException);
    // Every truncation either parses or throws; none reads past the end.
    for (std::size_t length = 0; length < elf.size(); length += 97) {
        try {
            ElfFile("cut", std::vector<std::uint8_t>(elf.begin(), elf.begin() + long(length)));
        } catch (const HException &) {
        }
    }
    // Headers of size 0 all alias the first one: 65535 copies of a segment or a symbol table
    // from a file of a few kilobytes.
    auto patched = [&](std::size_t at, std::uint16_t value) {
        std::vector<std::uint8_t> copy = elf;
        copy[at] = std::uint8_t(value);
        copy[at + 1] = std::uint8_t(value >> 8);
        return copy;
    };
    for (std::size_t entrySize : {42u, 46u}) { // e_phentsize, e_shentsize
        std::vector<std::uint8_t> aliased = patched(entrySize, 0);
        aliased[entrySize + 2] = 0xff;
        aliased[entrySize + 3] = 0xff;
        EXPECT_THROW(ElfFile("aliased", aliased), HException) << entrySize;
    }
    ElfFile whole("whole", elf);
    ASSERT_NE(whole.findSymbol("counter"), nullptr);
    EXPECT_EQ(whole.findSymbol("counter")->size, 4u);
    EXPECT_EQ(whole.segments().size(), 2u);
}

TEST_F(Engine, DisassemblyReadsTargetMemoryAroundTheAddress) {
    EXPECT_EQ(m_engine->getDisassemblyModes(), std::vector<std::string>{"Thumb"});
    EXPECT_EQ(m_engine->getDisassemblyMode(), "Thumb");
    EXPECT_THROW(m_engine->setDisassemblyMode("Arm"), HException);
    // push {r7, lr}; ldr.w r3, [pc, #16]; it eq; subeq r0, #1; subs r0, #1; pop {r7, pc}
    m_target->addRegion(0x4000, {0x80, 0xb5, 0xdf, 0xf8, 0x10, 0x30, 0x08, 0xbf, 0x01, 0x38, 0x01,
                                 0x38, 0x80, 0xbd});
    auto listing = [&](std::uint64_t address, int before, int after) {
        std::vector<std::string> lines;
        for (const DisassembledInstruction &i : m_engine->disassemble(address, before, after))
            lines.push_back(hex(i.address) + " " + i.encoding + " " + i.text);
        return lines;
    };
    // Without symbols the instructions before are found by decoding from a point that meets
    // the address, the IT block's condition with them; the mode bit is ignored.
    EXPECT_EQ(listing(0x400b, 2, 1),
              (std::vector<std::string>{"4006 bf08 it\teq", "4008 3801 subeq\tr0, #1",
                                        "400a 3801 subs\tr0, #1", "400c bd80 pop\t{r7, pc}"}));
    EXPECT_EQ(listing(0x4002, 5, 0),
              (std::vector<std::string>{"4000 b580 push\t{r7, lr}",
                                        "4002 f8df 3010 ldr.w\tr3, [pc, #16]\t@ 4014"}));
    // Memory ends after the last instruction; nothing is shown where none can be read.
    EXPECT_EQ(listing(0x400c, 0, 10).size(), 1u);
    EXPECT_TRUE(m_engine->disassemble(0x30000000, 2, 2).empty());
    // What runs is shown: a changed instruction, not the one loaded.
    const std::uint8_t nop[] = {0x00, 0xbf};
    m_engine->writeMemory(0, 0x400a, 2, nop);
    EXPECT_EQ(listing(0x400a, 0, 0), std::vector<std::string>{"400a bf00 nop"});

    // A core without a Thumb instruction set offers no mode.
    StandardDebugger other(std::make_unique<MemoryImageTarget>(
        std::vector<TargetRegister>{{"pc", 0, 4}, {"sp", 1, 4}}));
    EXPECT_TRUE(other.getDisassemblyModes().empty());
    EXPECT_TRUE(other.disassemble(0, 1, 1).empty());
}

TEST_F(Engine, LazyMemoryBlockReadsAndWritesThroughTheEngine) {
    LazyMemoryBlock little(*m_engine, 0, MemoryBlockInterface::ByteOrder::LittleEndian, 0x20000010);
    EXPECT_EQ(little.getInteger(4), 0x13121110u);
    EXPECT_EQ(little.position(), 4);
    EXPECT_EQ(little.getInteger(2), 0x1514u);
    LazyMemoryBlock big(*m_engine, 1, MemoryBlockInterface::ByteOrder::BigEndian, 0x20000010);
    EXPECT_EQ(big.getInteger(4), 0x10111213u);
    // Bits 4..7 of 0x10 are 1; a signed 2-bit field of bits 4..5 is 1, of 3..4 is -2.
    big.rewind();
    EXPECT_EQ(big.getBitField(1, 4, 4, false), 1u);
    EXPECT_EQ(std::int64_t(big.getBitField(1, 3, 2, true)), -2);
    big.putBitField(0xf, 1, 0, 4, false);
    EXPECT_EQ(read(0x20000010, 1)[0], 0x1f);
    EXPECT_TRUE(big.complete());

    const char text[] = "hello";
    LazyMemoryBlock writer(*m_engine, 0, MemoryBlockInterface::ByteOrder::LittleEndian, 0x20000100);
    writer.putBytes(sizeof text, text);
    writer.putInteger(0xabcd, 2);
    EXPECT_EQ(writer.position(), std::int64_t(sizeof text + 2));
    writer.rewind();
    char out[16];
    writer.getString(sizeof out, out);
    EXPECT_STREQ(out, "hello");
    EXPECT_EQ(writer.getInteger(2), 0xabcdu);
    writer.setPosition(0);
    writer.getString(3, out);
    EXPECT_STREQ(out, "he");

    // Past the end of memory: zeros, and the block says it came up short.
    LazyMemoryBlock edge(*m_engine, 0, MemoryBlockInterface::ByteOrder::LittleEndian, 0x20002ffe);
    EXPECT_EQ(edge.getInteger(4), 0u);
    EXPECT_FALSE(edge.complete());
    LazyMemoryBlock flash(*m_engine, 0, MemoryBlockInterface::ByteOrder::LittleEndian, 0x1000);
    flash.putInteger(1, 1);
    EXPECT_FALSE(flash.complete());
}

TEST_F(Engine, MemorySavesInTheFormatTheNameSaysAndLoadsBack) {
    m_target->addRegion(0x20000000, counting(20, 0x41));
    saveMemoryToFile(*m_engine, 0x20000000, 0x20000014, path("out.hex"));
    expectMatchesGolden(readFileBytes(path("out.hex")), "debug/save/out.hex");
    saveMemoryToFile(*m_engine, 0x20000000, 0x20000014, path("out.bin"));
    EXPECT_EQ(readFileBytes(path("out.bin")), "ABCDEFGHIJKLMNOPQRST");

    // Loading writes each section back where it belongs.
    const std::uint8_t zeros[20] = {};
    m_engine->writeMemory(0, 0x20000000, sizeof zeros, zeros);
    EXPECT_EQ(loadMemoryFromFile(*m_engine, path("out.hex")), 20u);
    EXPECT_EQ(read(0x20000000, 3), (std::vector<std::uint8_t>{0x41, 0x42, 0x43}));
    EXPECT_EQ(loadMemoryFromFile(*m_engine, path("out.bin"), 0x20000100), 20u);
    EXPECT_EQ(read(0x20000113, 1)[0], 0x54);
}

TEST_F(Engine, AShortReadFailsTheSaveAndLeavesNoFile) {
    try {
        saveMemoryToFile(*m_engine, 0x20002ff0, 0x20003010, path("short.srec"));
        FAIL() << "saved";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "cannot read target memory at 0x20003000");
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("short.srec"))));
    EXPECT_THROW(saveMemoryToFile(*m_engine, 0x20000000, 0x20000010, path("out.dat")), HException);
    EXPECT_THROW(saveMemoryToFile(*m_engine, 0x20000010, 0x20000010, path("out.bin")), HException);

    // Loading into flash fails at the first refused byte.
    writeFileBytes(path("flash.bin"), "xy");
    try {
        loadMemoryFromFile(*m_engine, path("flash.bin"), 0x1000);
        FAIL() << "loaded";
    } catch (const HException &error) {
        EXPECT_STREQ(error.what(), "cannot write target memory at 0x00001000");
    }
}

} // namespace
