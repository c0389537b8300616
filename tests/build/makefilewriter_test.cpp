#include "build/makefilewriter.h"

#include "core/hexception.h"
#include "crosstool.h"
#include "scratchdirtest.h"

#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class MakefileWriterTest : public ScratchDirTest {
protected:
    // A compiler stand-in: concatenates its inputs into the output, writes an empty map and
    // a dependency file naming the header, as gcc -MD -MP does.
    void SetUp() override {
        std::string cc =
            write("fake cc", "#!/bin/sh\nout=$1; shift\n"
                             "cat \"$@\" > \"$out\"\n: > \"$out.map\"\n"
                             "printf '%s: src/my\\\\ header.h\\nsrc/my\\\\ header.h:\\n' "
                             "\"$out\" > \"$out.d\"\n");
        ::chmod(cc.c_str(), 0755);
        write("src/a$1.c", "a\n");
        write("src/my header.h", "h\n");
    }

    std::vector<StepPlan> plans() const {
        QString cc = QString::fromStdString(path("fake cc"));
        StepPlan compile;
        compile.action = BuildAction::CompileC;
        compile.description = "Compiling a$1.c";
        compile.arguments = {cc, "obj/a.o", "src/a$1.c"};
        compile.workingDirectory = m_dir.path();
        compile.inputs = {"src/a$1.c"};
        compile.outputs = {"obj/a.o"};
        compile.dependencyFile = "obj/a.o.d";
        StepPlan link;
        link.action = BuildAction::Link;
        link.description = "Linking app";
        link.arguments = {cc, "app", "obj/a.o"};
        link.workingDirectory = m_dir.path();
        link.inputs = {"obj/a.o"};
        link.outputs = {"app", "app.map"};
        StepPlan post;
        post.description = "Post-build command";
        post.arguments = {"sh", "-c", "echo done > $WHERE"};
        post.workingDirectory = m_dir.path() + "/src";
        post.environment = {"WHERE=post.txt"};
        return {compile, link, post};
    }

    int make(const QStringList &arguments) {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start("make", QStringList{"-f", "build.mak"} + arguments);
        process.waitForFinished(60000);
        m_output = process.readAll();
        return process.exitCode();
    }
    QByteArray m_output;
};

TEST_F(MakefileWriterTest, RulesReadAsWritten) {
    // Names relative to the make directory; a step elsewhere runs in its own directory.
    QString text = QString::fromUtf8(MakefileWriter::text(plans(), m_dir.path()));
    QString cc = StepPlan::shellQuote(QString::fromStdString(path("fake cc")));
    EXPECT_TRUE(text.startsWith("# Builds what the IDE builds, with the same commands.\n\n"
                                ".PHONY: all\nall: obj/a.o app app.map step-1\n\n"
                                ".DELETE_ON_ERROR:\n"));
    EXPECT_TRUE(
        text.contains("obj/a.o: src/a$$1.c\n\t@echo 'Compiling a$$1.c'\n\t@mkdir -p obj\n\t" + cc +
                      " obj/a.o 'src/a$$1.c'\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("app app.map &: obj/a.o\n"));
    EXPECT_TRUE(text.contains(".PHONY: step-1\n\nstep-1: obj/a.o app app.map\n"
                              "ifeq ($(asking),)\n\t@echo 'Post-build command'\n\tcd " +
                              StepPlan::shellQuote(m_dir.path() + "/src") +
                              " && WHERE=post.txt sh -c 'echo done > $$WHERE'\nendif\n"));
    EXPECT_TRUE(text.endsWith("\n-include obj/a.o.d\n"));
    EXPECT_EQ(MakefileWriter::escapeName("a b#c:d$e"), "a\\ b\\#c\\:d$$e");
    for (const char *unreadable : {"a;b.c", "a|b.c", "a=b.c", "a%b.c", "a\nb.c"})
        EXPECT_THROW(MakefileWriter::escapeName(unreadable), HException) << unreadable;

    // An object the compile command names by its absolute path is spelled so in every rule,
    // as the compiler writes it in the dependency file.
    std::vector<StepPlan> absolute = plans();
    const QString object = m_dir.path() + "/obj/a.o";
    absolute[0].outputs = {object};
    absolute[0].arguments[1] = object;
    absolute[1].inputs = {object};
    text = QString::fromUtf8(MakefileWriter::text(absolute, m_dir.path()));
    EXPECT_TRUE(text.contains("\n" + MakefileWriter::escapeName(object) + ": src/a$$1.c\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("app app.map &: " + MakefileWriter::escapeName(object) + "\n"));

    std::vector<StepPlan> broken = plans();
    broken[2].arguments << "two\nlines";
    EXPECT_THROW(MakefileWriter::text(broken, m_dir.path()), HException);
}

TEST_F(MakefileWriterTest, MakeBuildsAndChecksTheSameOutputs) {
    REQUIRE_TOOL("make", "make");
    MakefileWriter::write(QString::fromStdString(path("build.mak")), plans(), m_dir.path());
    ASSERT_EQ(make({}), 0) << m_output.toStdString();
    EXPECT_EQ(readFileBytes(path("app")), "a\n");
    EXPECT_EQ(readFileBytes(path("src/post.txt")), "done\n");

    // The post-build command makes no output: "make -q" leaves it out. After a header edit
    // the object is out of date.
    EXPECT_EQ(make({"-q"}), 0);
    QThread::msleep(20);
    write("src/my header.h", "h2\n");
    EXPECT_EQ(make({"-q", "obj/a.o"}), 1);
    ASSERT_EQ(make({}), 0) << m_output.toStdString();
    EXPECT_EQ(make({"-q", "obj/a.o", "app"}), 0);

    // A compile that fails after it wrote half an object leaves none.
    std::vector<StepPlan> failing = plans();
    failing[0].arguments = {"sh", "-c", "echo half > obj/a.o; exit 1"};
    MakefileWriter::write(QString::fromStdString(path("build.mak")), failing, m_dir.path());
    QThread::msleep(20);
    write("src/a$1.c", "a2\n");
    EXPECT_NE(make({}), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("obj/a.o"))));
}

// The files the build writes for its steps are rules of their own, so that make can write
// them again after a clean: byte for byte, whatever they hold and however long.
TEST_F(MakefileWriterTest, GeneratedFilesAreWrittenAgainWhenMissing) {
    REQUIRE_TOOL("make", "make");
    QByteArray odd = "it's $HOME and %s and \\n, \"quoted\"\n\ttab\n\nno line break at the end";
    QByteArray lines;
    for (int i = 0; i < 5000; ++i)
        lines += "obj/some/longer/path/name/object" + QByteArray::number(i) + ".o\n";
    std::vector<StepPlan> steps = plans();
    steps[1].generatedFiles = {{"obj/odd.txt", odd, {}}, {"list.ind", lines, {}}};
    steps[1].inputs << "list.ind";
    steps[2].generatedFiles = {{"sub/empty", {}, {}}};
    MakefileWriter::write(QString::fromStdString(path("build.mak")), steps, m_dir.path());
    ASSERT_EQ(make({}), 0) << m_output.toStdString();
    EXPECT_EQ(readFileBytes(path("obj/odd.txt")), odd.toStdString());
    EXPECT_EQ(readFileBytes(path("list.ind")), lines.toStdString());
    EXPECT_EQ(readFileBytes(path("src/sub/empty")), ""); // in the step's own directory
}

} // namespace
