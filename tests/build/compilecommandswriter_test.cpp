#include "build/compilecommandswriter.h"

#include "build/filetime.h"
#include "core/hexception.h"
#include "scratchdirtest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class CompileCommandsWriterTest : public ScratchDirTest {
protected:
    std::vector<StepPlan> plans() const {
        StepPlan compile;
        compile.action = BuildAction::CompileC;
        compile.launcher = {"ccache"};
        compile.arguments = {"arm-none-eabi-gcc", "-c", "-DNAME=\"a b\"",
                             "src/main.c",        "-o", "obj/main.o"};
        compile.workingDirectory = m_dir.path() + "/fw/./";
        compile.inputs = {"src/main.c", "include/board.h"};
        compile.outputs = {"obj/main.o"};
        StepPlan assemble = compile;
        assemble.action = BuildAction::Assemble;
        assemble.launcher.clear();
        assemble.arguments = {"arm-none-eabi-gcc", "-c", "/abs/startup.s"};
        assemble.inputs = {"/abs/startup.s"};
        assemble.outputs.clear();
        StepPlan link = compile;
        link.action = BuildAction::Link;
        StepPlan user = compile;
        user.action = BuildAction::UserCommand;
        return {compile, link, assemble, user};
    }
};

TEST_F(CompileCommandsWriterTest, OneEntryPerCompiledSource) {
    QJsonDocument document = QJsonDocument::fromJson(CompileCommandsWriter::text(plans()));
    ASSERT_TRUE(document.isArray());
    QJsonArray entries = document.array();
    ASSERT_EQ(entries.size(), 2);
    QString directory = m_dir.path() + "/fw";
    QJsonObject first = entries[0].toObject();
    EXPECT_EQ(first["directory"].toString(), directory);
    EXPECT_EQ(first["file"].toString(), directory + "/src/main.c");
    // The launcher is left out: tools reading this run the compiler themselves.
    EXPECT_EQ(first["arguments"].toArray().toVariantList(),
              (QVariantList{"arm-none-eabi-gcc", "-c", "-DNAME=\"a b\"", "src/main.c", "-o",
                            "obj/main.o"}));
    EXPECT_EQ(first["output"].toString(), "obj/main.o");
    QJsonObject second = entries[1].toObject();
    EXPECT_EQ(second["file"].toString(), "/abs/startup.s");
    EXPECT_FALSE(second.contains("output"));
    EXPECT_EQ(CompileCommandsWriter::text({}), "[\n]\n");
}

TEST_F(CompileCommandsWriterTest, RewrittenOnlyWhenChanged) {
    QString file = QString::fromStdString(path("compile_commands.json"));
    EXPECT_TRUE(CompileCommandsWriter::write(file, plans()));
    timespec old[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("compile_commands.json").c_str(), old, 0), 0);
    EXPECT_FALSE(CompileCommandsWriter::write(file, plans()));
    EXPECT_EQ(FileTime::of(file).seconds, 1000);

    std::vector<StepPlan> changed = plans();
    changed[0].arguments << "-O2";
    EXPECT_TRUE(CompileCommandsWriter::write(file, changed));
    EXPECT_NE(FileTime::of(file).seconds, 1000);
    EXPECT_EQ(QByteArray::fromStdString(readFileBytes(path("compile_commands.json"))),
              CompileCommandsWriter::text(changed));

    EXPECT_THROW(CompileCommandsWriter::write(file + "/x", plans()), HException);
}

} // namespace
