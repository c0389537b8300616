// qzsettings as a user runs it: output, messages, exit status and the files left behind.

#include "core/qtxlockfile.h"

#include "golden.h"
#include "toolrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class QzSettingsTool : public ::testing::Test {
protected:
    ToolResult run(const std::vector<std::string> &arguments) {
        return runTool("qzsettings", arguments, {}, m_dir.path().toStdString());
    }
    std::string path(const std::string &name) const {
        return m_dir.path().toStdString() + "/" + name;
    }
    QStringList filesIn(const std::string &directory) const {
        return QDir(QString::fromStdString(path(directory)))
            .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    void expectError(const ToolResult &result, const std::string &message) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "error: " + message + "\n");
    }

    QTemporaryDir m_dir;
};

TEST_F(QzSettingsTool, SetGetAndDumpRoundTrip) {
    const std::string value = "a & <b> \"c\" \xc2\xb7 \xc3\xa9\nsecond \\ line";
    ToolResult set = run({"new/dir/s.xml", "set", "Editor/Font Name", value});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out + set.err, "");
    // The directory was made, and nothing but the file is left beside it.
    EXPECT_EQ(filesIn("new/dir"), QStringList{"s.xml"});

    ASSERT_EQ(run({"new/dir/s.xml", "set", "Build/Threads", "4"}).exitCode, 0);
    ASSERT_EQ(run({"new/dir/s.xml", "set", "empty", ""}).exitCode, 0);
    EXPECT_EQ(filesIn("new/dir"), (QStringList{"s.xml", "s.xml.bak"}));

    ToolResult get = run({"new/dir/s.xml", "get", "Editor/Font Name"});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, value + "\n");
    EXPECT_EQ(run({"new/dir/s.xml", "get", "empty"}).out, "\n");

    ToolResult dump = run({"new/dir/s.xml", "dump"});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out, "Build/Threads=4\n"
                        "Editor/Font Name=a & <b> \"c\" \xc2\xb7 \xc3\xa9\\nsecond \\\\ line\n"
                        "empty=\n");
    // A value that looks like an option is still a value.
    ASSERT_EQ(run({"new/dir/s.xml", "set", "flag", "--help"}).exitCode, 0);
    EXPECT_EQ(run({"new/dir/s.xml", "get", "flag"}).out, "--help\n");
}

TEST_F(QzSettingsTool, KeysAndRemove) {
    for (const char *name : {"Build/Threads", "Build/Tools/Path", "Editor/Tab", "star*"})
        ASSERT_EQ(run({"s.xml", "set", name, "v"}).exitCode, 0);
    EXPECT_EQ(run({"s.xml", "keys"}).out, "Build/Threads\nBuild/Tools/Path\nEditor/Tab\nstar*\n");
    EXPECT_EQ(run({"s.xml", "keys", "Build/*"}).out, "Build/Threads\nBuild/Tools/Path\n");
    EXPECT_EQ(run({"s.xml", "keys", "*/T?b"}).out, "Editor/Tab\n");
    ToolResult none = run({"s.xml", "keys", "build*"});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.out, "");

    ToolResult removed = run({"s.xml", "remove", "Build/Threads"});
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    expectError(run({"s.xml", "get", "Build/Threads"}), "no setting Build/Threads");
    expectError(run({"s.xml", "remove", "Build/Threads"}), "no setting Build/Threads");
    // The name is taken literally, not as a pattern.
    expectError(run({"s.xml", "get", "star?"}), "no setting star?");
    EXPECT_EQ(run({"s.xml", "get", "star*"}).out, "v\n");
    ASSERT_EQ(run({"s.xml", "remove", "star*"}).exitCode, 0);
    EXPECT_EQ(run({"s.xml", "keys"}).out, "Build/Tools/Path\nEditor/Tab\n");
}

TEST_F(QzSettingsTool, MissingFileReadsAsEmpty) {
    expectError(run({"absent.xml", "get", "x"}), "no setting x");
    ToolResult keys = run({"absent.xml", "keys"});
    EXPECT_EQ(keys.exitCode, 0);
    EXPECT_EQ(keys.out, "");
    expectError(run({"absent.xml", "remove", "x"}), "no setting x");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("absent.xml"))));
}

TEST_F(QzSettingsTool, FailuresLeaveTheFileAsItWas) {
    ASSERT_EQ(run({"s.xml", "set", "k", "1"}).exitCode, 0);
    const std::string before = readFileBytes(path("s.xml"));

    {
        QTx::LockFile holder(QString::fromStdString(path("s.xml.lck")));
        ASSERT_TRUE(holder.lock());
        expectError(run({"s.xml", "set", "k", "2"}),
                    "couldn't lock s.xml.lck: still held by another process after 1000 ms");
        EXPECT_EQ(run({"s.xml", "get", "k"}).exitCode, 1);
    }
    EXPECT_EQ(readFileBytes(path("s.xml")), before);

    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path("s.xml.new"))));
    ToolResult blocked = run({"s.xml", "set", "k", "3"});
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_EQ(blocked.err.rfind("error: couldn't write s.xml.new: ", 0), 0u) << blocked.err;
    EXPECT_EQ(readFileBytes(path("s.xml")), before);
    QDir(QString::fromStdString(path("s.xml.new"))).removeRecursively();

    writeFileBytes(path("broken.xml"), "<settings>\n  <setting name=\"k\">v</set>\n");
    ToolResult broken = run({"broken.xml", "get", "k"});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err.rfind("error: couldn't read broken.xml: ", 0), 0u) << broken.err;
    EXPECT_NE(broken.err.find("line 2"), std::string::npos) << broken.err;
    EXPECT_EQ(run({"broken.xml", "set", "k", "w"}).exitCode, 1);
    EXPECT_EQ(readFileBytes(path("broken.xml")), "<settings>\n  <setting name=\"k\">v</set>\n");

    ToolResult directory = run({".", "get", "k"});
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_EQ(directory.err.rfind("error: couldn't read .: ", 0), 0u) << directory.err;
}

TEST_F(QzSettingsTool, UsageAndHelp) {
    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzsettings FILE COMMAND [ARGUMENTS...]\n", 0), 0u);
    for (const char *command :
         {"get NAME", "set NAME VALUE", "remove NAME", "keys [PATTERN]", "dump"})
        EXPECT_NE(help.out.find(std::string("qzsettings FILE ") + command), std::string::npos);

    ToolResult commandHelp = run({"s.xml", "keys", "--help"});
    EXPECT_EQ(commandHelp.exitCode, 0);
    EXPECT_EQ(commandHelp.out.rfind("usage: qzsettings FILE keys [PATTERN]\n", 0), 0u);

    ToolResult bare = run({});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err.rfind("usage: qzsettings", 0), 0u);

    expectError(run({"s.xml", "frob"}),
                "unknown command 'frob'; 'qzsettings --help' lists the commands");
    expectError(run({"s.xml", "get"}),
                "wrong number of arguments; usage: qzsettings FILE get NAME");
    expectError(run({"s.xml", "set", "a", "b", "c"}),
                "wrong number of arguments; usage: qzsettings FILE set NAME VALUE");
    expectError(run({"", "get", "a"}), "no settings file given");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("s.xml"))));
}

} // namespace
