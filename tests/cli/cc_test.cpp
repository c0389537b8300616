// The compiler driver against a fake GNU toolchain whose programs record their arguments.

#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

class CcTest : public ScratchDirTest {
protected:
    CcTest() {
        for (const char *tool : {"gcc", "g++", "ar"}) {
            const std::string script =
                write(std::string("fake-") + tool,
                      "#!/bin/sh\n"
                      "printf '%s\\n' \"${0##*/}\" \"$@\" >\"${0%/*}/args\"\n"
                      "exit 3\n");
            QFile::setPermissions(QString::fromStdString(script),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    // The words the fake tool got, after checking that its exit status came through.
    QStringList run(std::vector<std::string> words) {
        words.insert(words.begin(), "-gnu-prefix=" + path("fake-"));
        const ToolResult result = runTool("cc", words, {}, m_dir.path().toStdString());
        EXPECT_EQ(result.exitCode, 3) << result.err;
        const QString args = QString::fromStdString(readFileBytes(path("args")));
        QFile::remove(QString::fromStdString(path("args")));
        return args.split(u'\n', Qt::SkipEmptyParts);
    }
};

TEST_F(CcTest, CompileWordsBecomeCompilerOptions) {
    EXPECT_EQ(run({"-xc", "-DX=1", "-UY", "-Iinc", "-we", "-Wc,-O2", "-Wc,-mcpu=cortex-m4",
                   "-depend", "obj/m.o.d", "-c", "m.c", "-o", "obj/m.o"}),
              QStringList({"fake-gcc", "-x", "c", "-DX=1", "-UY", "-Iinc", "-Werror", "-O2",
                           "-mcpu=cortex-m4", "-MD", "-MP", "-MF", "obj/m.o.d", "-c", "m.c", "-o",
                           "obj/m.o"}));
    // C++ says whether it wants exceptions and type information; without, it gets neither.
    EXPECT_EQ(run({"-xc++", "-exceptions", "-Wc,-std=c++20", "-c", "u.cpp", "-o", "u.o"}),
              QStringList({"fake-g++", "-fexceptions", "-fno-rtti", "-x", "c++", "-std=c++20", "-c",
                           "u.cpp", "-o", "u.o"}));
    EXPECT_EQ(run({"-xasm", "-Wa,--warn", "-c", "s.s", "-o", "s.o"}),
              QStringList({"fake-gcc", "-x", "assembler-with-cpp", "-Wa,--warn", "-c", "s.s", "-o",
                           "s.o"}));
}

TEST_F(CcTest, LinkWordsBecomeLinkerOptions) {
    EXPECT_EQ(run({"-Wc,-mthumb", "-l-", "-T", "app.ld", "-Wl,-Map=app.map", "-inputfiles",
                   "app.ind", "-Wl,-lgcc", "-o", "app.elf"}),
              QStringList({"fake-gcc", "-mthumb", "-nostdlib", "-T", "app.ld", "-Wl,-Map=app.map",
                           "@app.ind", "-Wl,-lgcc", "-o", "app.elf"}));
    // The reduced C library formats floating point only when asked to; the full one always.
    EXPECT_EQ(run({"-printf=int,float", "-scanf=int", "a.o", "-o", "app.elf"}),
              QStringList({"fake-gcc", "a.o", "-o", "app.elf"}));
    EXPECT_EQ(run({"-Wc,--specs=nano.specs", "-printf=long,double,width", "-scanf=int,float", "a.o",
                   "-o", "app.elf"}),
              QStringList({"fake-gcc", "--specs=nano.specs", "-Wl,-u,_printf_float",
                           "-Wl,-u,_scanf_float", "a.o", "-o", "app.elf"}));
    // A link of C++ objects links with the C++ front end and compiles nothing as C++.
    EXPECT_EQ(run({"-xc++", "a.o", "-o", "app.elf"}),
              QStringList({"fake-g++", "a.o", "-o", "app.elf"}));
}

TEST_F(CcTest, ALauncherRunsCompilesOnly) {
    qputenv("PALINDOR_COMPILER_LAUNCHER", QByteArray::fromStdString(path("fake-ar") + "\n--x"));
    const QStringList compile = run({"-xc", "-depend", "m.d", "-c", "m.c", "-o", "m.o"});
    const QStringList link = run({"m.o", "-o", "app.elf"});
    qunsetenv("PALINDOR_COMPILER_LAUNCHER");
    EXPECT_EQ(compile,
              QStringList({"fake-ar", "--x", QString::fromStdString(path("fake-gcc")), "-x", "c",
                           "-MD", "-MP", "-MF", "m.d", "-c", "m.c", "-o", "m.o"}));
    EXPECT_EQ(link, QStringList({"fake-gcc", "m.o", "-o", "app.elf"}));
}

TEST_F(CcTest, ArchivesAreMadeAfresh) {
    // A member of an object that is gone from the project must not survive in the library.
    write("libx.a", "stale");
    EXPECT_EQ(run({"-ar", "-o", "libx.a", "a.o", "-inputfiles", "more.ind"}),
              QStringList({"fake-ar", "rcs", "libx.a", "a.o", "@more.ind"}));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("libx.a"))));

    const ToolResult unnamed = runTool("cc", {"-gnu-prefix=" + path("fake-"), "-ar", "a.o"});
    EXPECT_EQ(unnamed.exitCode, 1);
    EXPECT_EQ(unnamed.err, "cc: error: -ar needs the library named with -o\n");
    const ToolResult option =
        runTool("cc", {"-gnu-prefix=" + path("fake-"), "-ar", "-o", "l.a", "-v", "a.o"});
    EXPECT_EQ(option.exitCode, 1);
    EXPECT_EQ(option.err, "cc: error: -ar takes no option -v\n");
}

// A link patch runs after a link that succeeded; when it fails the program goes, so that it
// cannot pass for current unpatched.
TEST_F(CcTest, APatchThatFailsRemovesTheProgram) {
    const std::string linker = write("ok-gcc", "#!/bin/sh\n"
                                               "while [ $# -gt 1 ]; do shift; done\n"
                                               "echo linked > \"$1\"\n");
    QFile::setPermissions(QString::fromStdString(linker),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const std::vector<std::string> link{"-gnu-prefix=" + path("ok-"), "a.o", "-o", "app.elf"};
    auto patched = [&](const std::string &command) {
        std::vector<std::string> words = link;
        words.insert(words.begin() + 1, {"-patch", command});
        return runTool("cc", words, {}, m_dir.path().toStdString());
    };
    const ToolResult good = patched("echo 'patched it' >> app.elf");
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(readFileBytes(path("app.elf")), "linked\npatched it\n");

    const ToolResult bad = patched("echo no checksum >&2; exit 5");
    EXPECT_EQ(bad.exitCode, 5);
    EXPECT_EQ(bad.err, "no checksum\n");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("app.elf"))));
}

// The default section words rename what the compiler emits, .text.* included, so that the
// generated linker scripts place NAME and NAME.*.
TEST_F(CcTest, SectionWordsRenameTheCompilersSections) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    REQUIRE_TOOL("arm-none-eabi-readelf", "binutils-arm-none-eabi");
    write("m.c", "int counter = 3;\nint zeroed;\nconst int table[2] = {1, 2};\n"
                 "int f(int x) { return table[x & 1] + counter + zeroed; }\n");
    const ToolResult compiled =
        runTool("cc",
                {"-xc", "-Wc,-mcpu=cortex-m4", "-Wc,-O2", "-Wc,-ffunction-sections", "-Rc,.fast",
                 "-Rd,.mydata", "-Rz,.zero", "-Rk,.konst", "-Rd,", "-c", "m.c", "-o", "m.o"},
                {}, m_dir.path().toStdString());
    ASSERT_EQ(compiled.exitCode, 0) << compiled.err;
    const ToolResult sections = runTool("/usr/bin/arm-none-eabi-readelf", {"-SW", path("m.o")});
    QStringList names;
    for (const QString &line : QString::fromStdString(sections.out).split(u'\n'))
        if (line.contains(u']'))
            names << line.section(u']', 1).simplified().section(u' ', 0, 0);
    for (const char *name : {".fast.f", ".rel.fast.f", ".mydata", ".zero", ".konst"})
        EXPECT_TRUE(names.contains(name)) << name << " in " << sections.out;
    for (const char *name : {".text.f", ".data", ".bss", ".rodata"})
        EXPECT_FALSE(names.contains(name)) << name << " in " << sections.out;

    const ToolResult badName =
        runTool("cc", {"-Rc,a=b", "-c", "m.c", "-o", "m.o"}, {}, m_dir.path().toStdString());
    EXPECT_EQ(badName.exitCode, 1);
    EXPECT_EQ(badName.err, "cc: error: bad section name in -Rc,a=b\n");
}

TEST_F(CcTest, ThePrefixComesFromTheEnvironmentAndAMissingToolSaysSo) {
    qputenv("PALINDOR_GNU_PREFIX", QByteArray::fromStdString(path("fake-")));
    const ToolResult fromEnvironment = runTool("cc", {"-c", "m.c"});
    qputenv("PALINDOR_GNU_PREFIX", QByteArray::fromStdString(path("none-")));
    const ToolResult missing = runTool("cc", {"-c", "m.c"});
    qunsetenv("PALINDOR_GNU_PREFIX");
    EXPECT_EQ(fromEnvironment.exitCode, 3);
    EXPECT_EQ(missing.exitCode, 127);
    EXPECT_EQ(missing.err, "Error starting process " + path("none-") +
                               "gcc -c m.c: No such file or directory\n");

    const ToolResult help = runTool("cc", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("-inputfiles FILE"), std::string::npos);
    EXPECT_EQ(runTool("cc", {"-depend"}).exitCode, 1);
}

} // namespace
