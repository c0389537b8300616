#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const std::string kIntelHex = ":020000040800F2\n"
                              ":10000000000102030405060708090A0B0C0D0E0F78\n"
                              ":0400000508000123CB\n"
                              ":00000001FF\n";

class QzImage : public ScratchDirTest {
protected:
    // The files in the scratch directory, to show that nothing was left behind.
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files); }
    ToolResult run(const std::vector<std::string> &arguments) {
        return runTool("qzimage", arguments, {}, m_dir.path().toStdString());
    }
    // Runs qzimage through the shell, for limits and redirections.
    ToolResult shell(const std::string &command) {
        return runTool("/bin/sh", {"-c", command}, {}, m_dir.path().toStdString());
    }
};
} // namespace

TEST_F(QzImage, HelpAndUsage) {
    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzimage", 0), 0u);
    EXPECT_NE(help.out.find("info FILE"), std::string::npos);
    EXPECT_NE(help.out.find("convert IN OUT"), std::string::npos);
    ToolResult convertHelp = run({"convert", "--help"});
    EXPECT_EQ(convertHelp.exitCode, 0);
    EXPECT_NE(convertHelp.out.find("--fill"), std::string::npos);
    EXPECT_EQ(run({"info", "--help"}).out.find("--fill"), std::string::npos);

    ToolResult none = run({});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("usage: qzimage"), std::string::npos);
    ToolResult unknown = run({"bogus"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.err, "error: unknown command 'bogus'; see qzimage --help\n");
}

TEST_F(QzImage, InfoListsSectionsInFileOrderThenTheEntryPoint) {
    write("a.hex", kIntelHex);
    ToolResult result = run({"info", "a.hex"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "0x08000000 16\nentry 0x08000123\n");
    EXPECT_EQ(result.err, "");

    write("b.lst", "00000200 01 02\n00000100 03\n");
    EXPECT_EQ(run({"info", "b.lst"}).out, "0x00000200 2\n0x00000100 1\n");
    write("c.dat", "abc");
    EXPECT_EQ(run({"info", "c.dat", "--from", "bin", "--base", "0x20000000"}).out,
              "0x20000000 3 data\n");
    EXPECT_EQ(run({"info", "--from=bin", "c.dat"}).out, "0x00000000 3 data\n");
}

TEST_F(QzImage, ConvertPicksFormatsFromEndingsOrOptions) {
    write("a.hex", kIntelHex);
    for (const char *out : {"a.srec", "a.s19", "a.lst", "a.txt", "a.tek", "a.bin"}) {
        ToolResult result = run({"convert", "a.hex", out});
        EXPECT_EQ(result.exitCode, 0) << out << ": " << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(run({"info", "a.srec"}).out, "0x08000000 16\nentry 0x08000123\n");
    EXPECT_EQ(run({"info", "a.s19"}).out, "0x08000000 16\nentry 0x08000123\n");
    EXPECT_EQ(run({"info", "a.txt"}).out, "0x08000000 16\n");
    EXPECT_EQ(readFileBytes(path("a.tek")).substr(0, 4), "%2D6");
    EXPECT_EQ(run({"info", "a.bin"}).out, "0x00000000 16 data\n");
    // Standard output is written in place.
    EXPECT_EQ(run({"convert", "a.hex", "/dev/stdout", "--to", "lst"}).out,
              "08000000 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n");

    // A binary placed with --base, written as Intel HEX under a name of no known kind.
    EXPECT_EQ(
        run({"convert", "a.bin", "image.out", "--to", "hex", "--base", "0x08000000"}).exitCode, 0);
    EXPECT_EQ(readFileBytes(path("image.out")), ":020000040800F2\n"
                                                ":10000000000102030405060708090A0B0C0D0E0F78\n"
                                                ":00000001FF\n");
}

TEST_F(QzImage, ConvertWithFillMergesInAddressOrder) {
    write("gaps.lst", "00000108 05 06\n00000100 01 02 03 04\n");
    ASSERT_EQ(run({"convert", "gaps.lst", "merged.lst", "--fill", "0xff"}).exitCode, 0);
    EXPECT_EQ(readFileBytes(path("merged.lst")), "00000100 01 02 03 04 FF FF FF FF 05 06\n");
    ASSERT_EQ(run({"convert", "gaps.lst", "sorted.lst"}).exitCode, 0);
    EXPECT_EQ(readFileBytes(path("sorted.lst")), "00000100 01 02 03 04\n00000108 05 06\n");
    EXPECT_EQ(run({"info", "merged.lst"}).out, "0x00000100 10\n");
}

struct Failure {
    std::vector<std::string> arguments;
    std::string error;
};

TEST_F(QzImage, FailuresExplainThemselvesAndLeaveNoOutput) {
    write("a.hex", kIntelHex);
    write("bad.hex", ":0101000009F6\n");
    write("far.lst", "00000000 01\nFFFFFFFF 02\n");
    write("out.srec", "old");
    write("z.bin", std::string(256, '\0'));
    const Failure failures[] = {
        {{"convert", "missing.hex", "new.srec"}, "cannot open missing.hex"},
        {{"convert", "bad.hex", "new.srec"}, "invalid checksum : line 1"},
        {{"convert", "bad.hex", "out.srec"}, "invalid checksum : line 1"},
        {{"convert", "far.lst", "new.bin", "--fill", "0"},
         "contiguous image too large (4294967296 bytes)"},
        // Binary output is one piece too, with or without --fill.
        {{"convert", "far.lst", "new.bin"}, "contiguous image too large (4294967296 bytes)"},
        {{"info", "z.bin", "--base", "0xffffff01"},
         "256 bytes at --base 0xffffff01 pass the end of the 4 GiB address space"},
        {{"convert", "a.hex", "nodir/new.srec"}, "cannot open nodir/new.srec"},
        {{"convert", "a.hex", "new.srec", "--from", "elf"},
         "unknown input kind 'elf' (use bin, ihex, hex, tihex or srec)"},
        {{"convert", "a.hex", "new.srec", "--to", "elf"},
         "unknown output format 'elf' (use hex, srec, lst, txt, bin or tek)"},
        {{"convert", "a.hex", "new.elf"},
         "cannot tell the output format of new.elf from its name; use --to"},
        {{"info", "a.elf"}, "cannot tell the kind of a.elf from its name; use --from"},
        {{"convert", "a.hex", "new.srec", "--base", "0x100"},
         "--base applies to binary input only"},
        {{"convert", "a.hex", "new.srec", "--fill", "256"}, "invalid fill byte '256'"},
        {{"info", "a.hex", "--base", "0x1g"}, "invalid address '0x1g'"},
        {{"info", "a.hex", "--to", "srec"}, "option --to does not apply to info"},
        {{"info", "a.hex", "--colour"}, "unknown option --colour"},
        {{"info", "a.hex", "--from"}, "option --from needs a value"},
        {{"info", "a.hex", "b.hex"}, "unexpected argument 'b.hex'"},
        {{"convert", "a.hex"}, "convert needs an input and an output file"},
    };
    for (const Failure &failure : failures) {
        ToolResult result = run(failure.arguments);
        EXPECT_EQ(result.exitCode, 1) << failure.error;
        EXPECT_EQ(result.err, "error: " + failure.error + "\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(files(), (QStringList{"a.hex", "bad.hex", "far.lst", "out.srec", "z.bin"}));
    EXPECT_EQ(run({"info", "z.bin", "--base", "0xffffff00"}).out, "0xffffff00 256 data\n");
    EXPECT_EQ(readFileBytes(path("out.srec")), "old");
}

TEST_F(QzImage, WriteFailuresAreErrors) {
    write("a.hex", kIntelHex);
    write("big.bin", std::string(100000, 'x'));
    // The file size limit makes writes fail part way; the signal it raises is ignored.
    ToolResult limited = shell("trap '' XFSZ; ulimit -f 8; exec " + toolPath("qzimage") +
                               " convert big.bin big.hex");
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_EQ(limited.err, "error: cannot write big.hex\n");
    EXPECT_EQ(files(), (QStringList{"a.hex", "big.bin"}));

    ToolResult full = shell(toolPath("qzimage") + " info a.hex >/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "error: cannot write standard output\n");
}
