#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

class QzScriptHost : public ScratchDirTest {};

// CRC-32/BZIP2 one bit at a time, apart from the tool's table-driven sum.
std::uint32_t referenceCrc(const std::string &bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= std::uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return ~crc;
}

TEST_F(QzScriptHost, WithoutTheOptionTheEngineStaysBare) {
    ToolResult r = runTool("qzscript", {"-e", "typeof KVSys + typeof tovan + typeof BinaryFile"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "undefinedundefinedundefined\n");
    r = runTool("qzscript", {"--host", "-e", "typeof KVSys + typeof tovan.spawn"});
    EXPECT_EQ(r.out, "objectfunction\n");
    r = runTool("qzscript", {"--help"});
    EXPECT_NE(r.out.find("--host"), std::string::npos);
}

TEST_F(QzScriptHost, PatchesACrcIntoAnImageAndSavesItAsIntelHex) {
    REQUIRE_TOOL("srec_cat", "srecord");
    std::string image;
    for (int i = 0; i < 70000; ++i)
        image += char((i * 31 + 7) & 0xff);
    image.replace(image.size() - 4, 4, std::string(4, '\0'));
    write("firmware.bin", image);
    std::string script = write("patch.js", "var input = arguments[0], output = arguments[1];\n"
                                           "if (!BinaryFile.load(input)) throw_missing();\n"
                                           "var n = BinaryFile.length();\n"
                                           "var crc = BinaryFile.crc32(0, n - 4);\n"
                                           "BinaryFile.pokeUint32(n - 4, crc, false);\n"
                                           "BinaryFile.saveAs(output, 'hex', 0x08000000);\n"
                                           "WScript.Echo('crc ' + crc.toString(16));\n");
    ToolResult r = runTool("qzscript", {"--host", script, path("firmware.bin"), path("out.hex")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::uint32_t crc = referenceCrc(image.substr(0, image.size() - 4));
    char expectedLine[32];
    std::snprintf(expectedLine, sizeof expectedLine, "crc %x\n", crc);
    EXPECT_EQ(r.out, expectedLine);

    // srec_cat reads the file back (checking every record's checksum) as the patched image.
    r = runTool(
        QStandardPaths::findExecutable(QStringLiteral("srec_cat")).toStdString(),
        {path("out.hex"), "-intel", "-offset", "-0x08000000", "-o", path("back.bin"), "-binary"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string patched = image;
    for (int i = 0; i < 4; ++i)
        patched[patched.size() - 4 + std::size_t(i)] = char(crc >> (24 - 8 * i));
    EXPECT_EQ(readFileBytes(path("back.bin")), patched);
    // The untouched input is still as it was.
    EXPECT_EQ(readFileBytes(path("firmware.bin")), image);
}

TEST_F(QzScriptHost, ScriptErrorsOfHostObjectsFailTheRun) {
    ToolResult r = runTool("qzscript", {"--host", "-e", "BinaryFile.peekUint32(0)"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "offset out of range\n-e:1\nBinaryFile.peekUint32(0)\n");
    r = runTool("qzscript", {"--host", "-e", "BinaryFile.saveAs('" + path("x.out") + "', 'elf')"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "unknown load file format: elf");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("x.out"))));
    r = runTool("qzscript", {"--host", "-e", "tovan.showErrorMessageBox('Flash', 'no probe')"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "error: Flash\nno probe\n");
}

TEST_F(QzScriptHost, ClosingTheWindowSetsTheExitStatus) {
    ToolResult r =
        runTool("qzscript", {"--host", "-e", "tovan.closeWindow(3); WScript.Echo('runs on')"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "runs on\n");
    // A status no exit status holds still fails the run.
    EXPECT_EQ(runTool("qzscript", {"--host", "-e", "tovan.closeWindow(256)"}).exitCode, 1);
    EXPECT_EQ(runTool("qzscript", {"--host", "-e", "tovan.closeWindow()"}).exitCode, 0);
}

TEST_F(QzScriptHost, OpensTheSolutionAndConfigurationGiven) {
    std::string solution = write("demo.qzProject", "<!DOCTYPE Palindor_Project_File>\n"
                                                   "<solution Name=\"Demo\">\n"
                                                   "  <configuration Name=\"Debug\" />\n"
                                                   "  <configuration Name=\"Release\" />\n"
                                                   "  <project Name=\"Blinky\" />\n"
                                                   "</solution>\n");
    const std::string query = "Build.activeProject() + ' ' + Build.buildConfiguration()";
    ToolResult r = runTool("qzscript", {"--host", "--solution", solution, "-e", query});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Blinky Debug\n");
    r = runTool("qzscript", {"--host", "--solution", solution, "--config", "Release", "-e", query});
    EXPECT_EQ(r.out, "Blinky Release\n");

    r = runTool("qzscript", {"--host", "--solution", solution, "--config", "Size", "-e", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error: configuration Size is not defined in " + solution + "\n");
    r = runTool("qzscript", {"--host", "--solution", path("none.qzProject"), "-e", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("error: Open Solution\n" + path("none.qzProject"), 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
    r = runTool("qzscript", {"--solution", solution, "-e", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "error: --solution and --config need --host\n");
    r = runTool("qzscript", {"--host", "--config", "Debug", "-e", "1"});
    EXPECT_EQ(r.err, "error: --config needs --solution\n");
    // Without a solution a build fails and says why.
    r = runTool("qzscript", {"--host", "-e", "Build.buildSolution() == Build.BuildFailed"});
    EXPECT_EQ(r.out, "error: no solution is open\nBuild failed\ntrue\n");
}

TEST_F(QzScriptHost, BuildsTheOpenSolutionAndReturnsTheResult) {
    // An object-file project whose "compiler" copies the source and names it as the only
    // dependency: enough to see the engine decide and run steps for a script.
    write("src/a.c", "int a;\n");
    const std::string compiler =
        write("fakecc", "#!/bin/sh\ncp \"$1\" \"$2\" && echo \"$2: $1\" >\"$3\"\n");
    QFile::setPermissions(QString::fromStdString(compiler),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::string solution = write("objects.qzProject",
                                 "<!DOCTYPE Palindor_Project_File>\n"
                                 "<solution Name=\"Objects\">\n"
                                 "  <configuration Name=\"Debug\" />\n"
                                 "  <project Name=\"Objects\">\n"
                                 "    <configuration Name=\"Common\" project_type=\"Object file\"\n"
                                 "      build_intermediate_directory=\"obj\"\n"
                                 "      external_c_compile_command=\"" +
                                     compiler +
                                     " $(InputPath) $(TargetPath) $(DependencyPath)\" />\n"
                                     "    <file file_name=\"src/a.c\" />\n"
                                     "  </project>\n"
                                     "</solution>\n");
    const std::string script = "WScript.Echo('result ' + Build.buildActiveProject())";
    ToolResult r = runTool("qzscript", {"--host", "--solution", solution, "-e", script});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Compiling a.c"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("result 1\n"), std::string::npos) << r.out;
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(path("obj/a.o"))));

    r = runTool("qzscript", {"--host", "--solution", solution, "-e", script});
    EXPECT_NE(r.out.find("Build up to date"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("result 0\n"), std::string::npos) << r.out;
}

} // namespace
