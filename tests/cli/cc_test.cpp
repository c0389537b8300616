// The compiler driver against a fake GNU toolchain whose programs record their arguments.

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
