// dova's usage text and every way it fails: the message, the exit status, and what is left
// on disk afterwards.

#include "dovatesting.h"
#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const std::string kMemoryMap = memoryMapXml({{"FLASH", "0x00000000", "0x1000", true},
                                             {"RAM", "0x20000000", "0x1000"},
                                             {"CCM", "0x10000000", "0x1000"}});

std::string placement(const std::string &sections) {
    return placementXml({{"FLASH", sections}});
}

class Dova : public ScratchDirTest {
protected:
    void SetUp() override {
        write("memory.xml", kMemoryMap);
        write("out.ld", "an earlier script\n");
    }
    ToolResult run(const std::vector<std::string> &arguments) {
        return runTool("dova", arguments, {}, m_dir.path().toStdString());
    }
    ToolResult shell(const std::string &command) {
        return runTool("/bin/sh", {"-c", command}, {}, m_dir.path().toStdString());
    }
    bool exists(const std::string &name) const {
        return QFileInfo::exists(QString::fromStdString(path(name)));
    }
    // Runs a placement that must fail with `message`, and checks the earlier script is gone.
    void expectPlacementFailure(const std::string &sections, const std::string &message,
                                const std::vector<std::string> &extra = {}) {
        write("p.xml", placement(sections));
        std::vector<std::string> arguments = {"-memory-map-file", "memory.xml",
                                              "-section-placement-file", "p.xml"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back("out.ld");
        ToolResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "error: " + message + "\n");
        EXPECT_FALSE(exists("out.ld")) << message;
        write("out.ld", "an earlier script\n");
    }
};

TEST_F(Dova, IncompleteCommandLinesPrintTheUsageAndWriteNothing) {
    const std::vector<std::vector<std::string>> commandLines = {
        {},
        {"new.ld"},
        {"-memory-map-file", "memory.xml"},
        {"-memory-map-file", "memory.xml", "new.ld", "other.ld"},
        {"-memory-map-file", "", "new.ld"},
        {"-memory-map-segments", "", "-verbose", "new.ld"},
    };
    for (const auto &arguments : commandLines) {
        ToolResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        expectMatchesGolden(result.err, "dova/usage.txt");
        EXPECT_FALSE(exists("new.ld"));
        EXPECT_FALSE(exists("other.ld"));
    }
    // Usage deletes nothing.
    EXPECT_EQ(run({"-memory-map-file", "memory.xml", "out.ld", "x"}).exitCode, 1);
    EXPECT_EQ(readFileBytes(path("out.ld")), "an earlier script\n");

    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, "");
    expectMatchesGolden(help.out, "dova/usage.txt");
}

TEST_F(Dova, OptionErrorsNameTheProblemAndDeleteNothing) {
    struct Case {
        std::vector<std::string> arguments;
        const char *message;
    };
    const Case cases[] = {
        {{"out.ld", "-memory-map-file"}, "file required for -memory-map-file"},
        {{"out.ld", "-memory-map-macros"}, "macro definition required for -memory-map-macros"},
        {{"out.ld", "-memory-map-segments"}, "segment list for -memory-map-segments"},
        {{"out.ld", "-section-placement-file"}, "file required for -section-placement-file"},
        {{"out.ld", "-section-placement-macros"},
         "macro definition required for -section-placement-macros"},
        {{"out.ld", "-section-placment-macros"},
         "macro definition required for -section-placement-macros"},
        {{"out.ld", "-symbols"}, "symbol definition required for -symbol"},
        {{"out.ld", "-default-fill-pattern"}, "pattern required for -default-fill-pattern"},
        {{"out.ld", "-target"}, "target name required for -target"},
        {{"-memory-map-file", "memory.xml", "-target", "mips", "out.ld"}, "unknown target name"},
        {{"-memory-map-file", "memory.xml", "-target", "ARM", "out.ld"}, "unknown target name"},
        {{"-memory-map-file", "memory.xml", "-foo", "out.ld"}, "unknown option option -foo"},
        {{"-Verbose", "-memory-map-file", "memory.xml", "out.ld"},
         "unknown option option -Verbose"},
        {{"-memory-map-file", "memory.xml", "-", "out.ld"}, "unknown option option -"},
        // A name without a value would make the linker reject the script far from the cause.
        {{"-memory-map-file", "memory.xml", "-symbols", "A=1;NOVALUE;B=2", "out.ld"},
         "symbol definition NOVALUE has no value"},
        {{"-memory-map-file", "memory.xml", "-symbols", "EMPTY=", "out.ld"},
         "symbol definition EMPTY= has no value"},
    };
    for (const Case &c : cases) {
        ToolResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, std::string("error: ") + c.message + "\n");
        EXPECT_EQ(readFileBytes(path("out.ld")), "an earlier script\n") << c.message;
    }
}

TEST_F(Dova, ValueOptionsTakeTheNextArgumentWhateverItLooksLike) {
    ToolResult result = run({"-memory-map-file", "-verbose", "out.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "couldn't read -verbose\nerror: cannot load memory map file\n");

    write("p.xml", placement("    <ProgramSection name=\".text\" load=\"Yes\" />\n"));
    result = run({"-default-fill-pattern", "-verbose", "-memory-map-file", "memory.xml",
                  "-section-placement-file", "p.xml", "out.ld"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_NE(readFileBytes(path("out.ld")).find("  } =-verbose\n"), std::string::npos);
}

TEST_F(Dova, DocumentsThatDoNotLoadSayWhyAndRemoveTheOutput) {
    write("broken.xml", "<Root>\n<MemorySegment></Root>");
    // Without a root there is nothing to write a script from: an empty file, a declaration
    // only, a download cut off before the root.
    write("empty.xml", "");
    write("declaration.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE Board_Memory_Definition_File>\n");
    write("cut.xml", "<?xml version=\"1.0\"?>\n<!-- a memory map");
    write("second-root.xml", "<Root/>\n<Root/>");
    ASSERT_EQ(mkfifo(path("pipe.xml").c_str(), 0600), 0);
    const std::string map = "error: cannot load memory map file\n";
    const std::string placement = "error: cannot load section placement file\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-memory-map-file", "missing.xml"}, "couldn't read missing.xml\n" + map},
        {{"-memory-map-file", "broken.xml"}, "broken.xml:2: tagName mismatch\n" + map},
        {{"-memory-map-file", "empty.xml"}, "empty.xml: no root element\n" + map},
        {{"-memory-map-file", "declaration.xml"}, "declaration.xml: no root element\n" + map},
        {{"-memory-map-file", "cut.xml"}, "cut.xml:2: unexpected end of input in comment\n" + map},
        {{"-memory-map-file", "second-root.xml"},
         "second-root.xml:2: junk after document element\n" + map},
        {{"-memory-map-file", "pipe.xml"}, "couldn't read pipe.xml: not a regular file\n" + map},
        {{"-memory-map-file", "/dev/zero"}, "couldn't read /dev/zero: not a regular file\n" + map},
        {{"-memory-map-file", "memory.xml", "-section-placement-file", "missing.xml"},
         "couldn't read missing.xml\n" + placement},
        {{"-memory-map-file", "memory.xml", "-section-placement-file", "broken.xml"},
         "broken.xml:2: tagName mismatch\n" + placement},
        {{"-memory-map-file", "memory.xml", "-section-placement-file", "empty.xml"},
         "empty.xml: no root element\n" + placement},
    };
    for (auto [arguments, message] : cases) {
        arguments.push_back("out.ld");
        ToolResult result = run(arguments);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, message);
        EXPECT_FALSE(exists("out.ld")) << message;
        write("out.ld", "an earlier script\n");
    }
    // The verbose line comes before the load that fails.
    ToolResult verbose = run({"-verbose", "-memory-map-file", "missing.xml", "out.ld"});
    EXPECT_EQ(verbose.out, "Using memory map file missing.xml\n");
}

TEST_F(Dova, AFailedRunRemovesNoFileThroughALinkNorOneItMayNotWrite) {
    write("precious.txt", "keep me\n");
    ASSERT_EQ(symlink("precious.txt", path("link.ld").c_str()), 0);
    ToolResult result = run({"-memory-map-file", "missing.xml", "link.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readFileBytes(path("precious.txt")), "keep me\n");
    EXPECT_FALSE(QFileInfo(QString::fromStdString(path("link.ld"))).isSymLink());

    write("readonly.ld", "not ours\n");
    ASSERT_EQ(chmod(path("readonly.ld").c_str(), 0444), 0);
    if (access(path("readonly.ld").c_str(), W_OK) == 0)
        GTEST_SKIP() << "running as root: every file may be written";
    result = run({"-memory-map-file", "memory.xml", "readonly.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot open readonly.ld for writing\n");
    EXPECT_EQ(readFileBytes(path("readonly.ld")), "not ours\n");
}

TEST_F(Dova, SegmentListItemsThatCannotBeUsedAreNamed) {
    ToolResult result = run(
        {"-memory-map-segments", "FLASH 0 0x1000 RX;RAM 0x20000000 0x400;;  ;X 1 2 3 4", "out.ld"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err,
              "warning: ignoring -memory-map-segments item \"X 1 2 3 4\": it needs a name, start, "
              "size and access\n"
              "warning: ignoring -memory-map-segments item \"RAM 0x20000000 0x400\": it needs a "
              "name, start, size and access\n");
    EXPECT_NE(readFileBytes(path("out.ld")).find("FLASH (rx)"), std::string::npos);

    const std::pair<const char *, const char *> errors[] = {
        {"FLASH 0x100000000 0x1000 RX", "segment FLASH: start 0x100000000 does not fit in 32 bits"},
        {"RAM 0 0x100000000 RW", "segment RAM: size 0x100000000 does not fit in 32 bits"},
        {"RAM 0 1<<32 RW", "segment RAM: size 1<<32 does not fit in 32 bits"},
    };
    for (const auto &[list, message] : errors) {
        write("out.ld", "an earlier script\n");
        result = run({"-memory-map-segments", list, "out.ld"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, std::string("error: ") + message + "\n");
        EXPECT_FALSE(exists("out.ld"));
    }
}

TEST_F(Dova, SegmentsWithoutANameAreErrors) {
    write("nameless.xml", "<Root>\n  <MemorySegment start=\"0\" size=\"0x100\"/>\n"
                          "  <MemorySegment name=\"\" start=\"0x100\" size=\"0x100\"/>\n</Root>");
    ToolResult result = run({"-memory-map-file", "nameless.xml", "out.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: memory segment on line 3 has no name\n");
    EXPECT_FALSE(exists("out.ld"));
}

TEST_F(Dova, AFailingRunRemovesTheScriptOfAnEarlierRun) {
    ASSERT_EQ(run({"-memory-map-file", "memory.xml", "out.ld"}).exitCode, 0);
    ASSERT_NE(readFileBytes(path("out.ld")).find("MEMORY"), std::string::npos);
    EXPECT_EQ(run({"-memory-map-file", "missing.xml", "out.ld"}).exitCode, 1);
    EXPECT_FALSE(exists("out.ld"));
}

TEST_F(Dova, PlacementErrorsFailAndRemoveTheOutput) {
    expectPlacementFailure("    <ProgramSection name=\".data\" runin=\".data_run\" />\n",
                           "cannot find run section .data_run referenced in data");
    expectPlacementFailure("    <ProgramSection name=\"my data\" runin=\"a;b\" />\n",
                           "cannot find run section a;b referenced in my_data");
    expectPlacementFailure("    <ProgramSection name=\".a\" runin=\".b\" />\n"
                           "    <ProgramSection name=\".b\" runin=\".a\" />\n",
                           "cyclic memory section dependency with section .a");
    expectPlacementFailure("    <ProgramSection name=\".self\" runin=\".self\" />\n",
                           "cyclic memory section dependency with section .self");
    // .b runs in .c and .a in .b (each in a segment of its own, so that there is no cycle).
    write("p.xml", placementXml({{"FLASH", R"(<ProgramSection name=".a" runin=".b" />)"},
                                 {"RAM", R"(<ProgramSection name=".b" runin=".c" />)"},
                                 {"CCM", R"(<ProgramSection name=".c" />)"}}));
    ToolResult result =
        run({"-memory-map-file", "memory.xml", "-section-placement-file", "p.xml", "out.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: run section .b cannot have run in sections\n");
    EXPECT_FALSE(exists("out.ld"));
    // In one segment the section before the run section is the one being laid out.
    expectPlacementFailure("    <ProgramSection name=\".a\" runin=\".b\" />\n"
                           "    <ProgramSection name=\".b\" />\n",
                           "cyclic memory section dependency with section .a");
    // The Vantrel configuration does not look run sections up.
    write("p.xml", placement("    <ProgramSection name=\".a\" runin=\".b\" />\n"));
    EXPECT_EQ(run({"-vantrel", "-memory-map-file", "memory.xml", "-section-placement-file", "p.xml",
                   "out.ld"})
                  .exitCode,
              0);
}

TEST_F(Dova, OutputsThatCannotBeWrittenAreFailures) {
    ToolResult result = run({"-memory-map-file", "memory.xml", "no/such/dir/out.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot open no/such/dir/out.ld for writing\n");

    // A directory in the output's place stays as it is.
    QDir(m_dir.path()).mkdir("script.ld");
    result = run({"-memory-map-file", "memory.xml", "script.ld"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot open script.ld for writing\n");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path("script.ld"))).isDir());

    // A full disk: the device survives the failure.
    result = run({"-memory-map-file", "memory.xml", "/dev/full"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot write /dev/full\n");
    EXPECT_TRUE(QFileInfo::exists("/dev/full"));

    // A file-size limit cuts the script short: no partial script remains.
    std::string segments;
    for (int i = 0; i < 200; ++i)
        segments += "SEGMENT" + std::to_string(i) + " 0x" + std::to_string(i) + "000 0x100 RW;";
    result = shell("ulimit -f 2 && exec '" + toolPath("dova") + "' -memory-map-segments '" +
                   segments + "' big.ld");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot write big.ld\n");
    EXPECT_FALSE(exists("big.ld"));
    // Without the limit the same script is written whole.
    result = run({"-memory-map-segments", segments, "big.ld"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_GT(readFileBytes(path("big.ld")).size(), 2048u);

    // Progress lines that cannot be written fail the run too.
    result = shell("exec '" + toolPath("dova") +
                   "' -verbose -memory-map-file memory.xml out.ld >/dev/full");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "error: cannot write standard output\n");
    EXPECT_FALSE(exists("out.ld"));

    // Devices are written in place.
    result = run({"-memory-map-file", "memory.xml", "/dev/stdout"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out.rfind("MEMORY\n{\n", 0), 0u);
}

TEST_F(Dova, RefusesToWriteOverAnInput) {
    for (const char *input : {"memory.xml", "./memory.xml"}) {
        ToolResult result = run({"-memory-map-file", "memory.xml", input});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err,
                  std::string("error: output file ") + input + " is also an input file\n");
        EXPECT_EQ(readFileBytes(path("memory.xml")), kMemoryMap);
    }
    write("p.xml", placement(""));
    ToolResult result =
        run({"-memory-map-file", "memory.xml", "-section-placement-file", "p.xml", "p.xml"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(readFileBytes(path("p.xml")), placement(""));
}

TEST_F(Dova, VerboseNamesTheMemoryMapEvenWhenBuiltFromSegments) {
    ToolResult result = run({"-verbose", "-memory-map-segments", "RAM 0 0x100 RW", "out.ld"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Using memory map file \n");
}

} // namespace
