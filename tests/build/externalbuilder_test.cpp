// The IDE's side of the external builder against the real build server (qzbuild -server)
// with a stand-in compiler, and against processes that end without answering.
#include "build/externalbuilder.h"

#include "recordingbuilder.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

#include <sys/stat.h>

namespace {

using C = ExternalBuilderCommand;

// Copies the source to the object and counts the compile in compiles.log; with the flag file
// "sleep" present it waits for a sleep it started (pid in cc.pid) instead.
constexpr const char *kFakeCompiler = R"sh(#!/bin/sh
root=$(dirname "$0")/..
while [ $# -gt 0 ]; do
    case "$1" in -c) src=$2; shift ;; -o) out=$2; shift ;; -depend) dep=$2; shift ;; esac
    shift
done
echo "$src" >> "$root/compiles.log"
if [ -e "$root/sleep" ]; then echo half > "$out"; sleep 30 & echo $! > "$root/cc.pid"; wait; fi
cat "$src" > "$out"
echo "$out: $src" > "$dep"
)sh";

class ExternalBuilderTest : public ScratchDirTest {
protected:
    ExternalBuilderTest() {
        ::chmod(write("bin/cc", kFakeCompiler).c_str(), 0755);
        write("s.qzProject", "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"S\">\n"
                             "  <configuration Name=\"Debug\" />\n  <project Name=\"App\">\n"
                             "    <configuration Name=\"Common\" project_type=\"Object file\" "
                             "build_intermediate_directory=\"obj\" />\n"
                             "    <file file_name=\"a.c\" />\n  </project>\n</solution>\n");
        write("a.c", "int a;\n");
    }

    QStringList serverCommand() const {
        return {QString::fromStdString(toolPath("qzbuild")), "-server", "s.qzProject", "-D",
                "TovanDir=" + m_dir.path()};
    }
    int compiles() const {
        const std::string log = readFileBytes(path("compiles.log"));
        return int(std::count(log.begin(), log.end(), '\n'));
    }
};

TEST_F(ExternalBuilderTest, RequestsReachTheServerAndItsOutputTheSink) {
    ExternalBuilder builder(serverCommand(), m_dir.path());
    RecordingBuilder first;
    EXPECT_EQ(builder.request(C::Build, 1, "Debug", 1, first), BuildSomething);
    EXPECT_TRUE(first.events.contains("stdout: Compiling a.c"))
        << first.events.join('\n').toStdString();
    EXPECT_EQ(first.events.last(), "finished: Build complete");
    EXPECT_EQ(compiles(), 1);

    RecordingBuilder again;
    EXPECT_EQ(builder.request(C::BuildOnly, 1, "Debug", 0, again), BuildNothing);
    EXPECT_EQ(compiles(), 1);

    // An edit holds until the next reload; a name that tries to smuggle in a request of its
    // own reaches the server as one name.
    builder.modified(1, "build_always_rebuild", "Yes");
    builder.modified(1, "x'\nbuild 1 'Debug' 1\n", "1");
    RecordingBuilder edited;
    EXPECT_EQ(builder.request(C::Build, 1, "Debug", 1, edited), BuildSomething);
    EXPECT_TRUE(edited.events.contains(
        R"(stdout: error: no property x\'\nbuild 1 \'Debug\' 1\n on node #1)"))
        << edited.events.join('|').toStdString();
    EXPECT_EQ(compiles(), 2);
    RecordingBuilder stillEdited;
    EXPECT_EQ(builder.request(C::Build, 1, "Debug", 1, stillEdited), BuildSomething);
    EXPECT_EQ(compiles(), 3);

    builder.reload();
    RecordingBuilder reloaded;
    EXPECT_EQ(builder.request(C::Build, 1, "Debug", 1, reloaded), BuildNothing)
        << reloaded.events.join('\n').toStdString();

    // A request the server cannot serve still ends, as a failure.
    RecordingBuilder missing;
    EXPECT_EQ(builder.request(C::Build, 42, "Debug", 1, missing), BuildFailed);
    EXPECT_EQ(missing.events,
              QStringList({"stdout: error: no node #42", "finished: Build failed"}));
}

TEST_F(ExternalBuilderTest, CancelEndsTheRequestAndANewServerHearsTheEdits) {
    ExternalBuilder builder(serverCommand(), m_dir.path());
    builder.modified(1, "build_always_rebuild", "Yes");
    write("sleep", "");
    RecordingBuilder cancelled;
    BuildResult result = BuildNothing;
    std::thread requester([&] { result = builder.request(C::Build, 1, "Debug", 1, cancelled); });
    const QString pidFile = QString::fromStdString(path("cc.pid"));
    for (int i = 0; i < 1000 && QFileInfo(pidFile).size() == 0; ++i)
        QThread::msleep(20);
    builder.cancel();
    requester.join();
    EXPECT_EQ(result, BuildCancelled);
    EXPECT_EQ(cancelled.events.last(), "finished: Build terminated");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("obj/a.o"))));

    // The server ended with the cancelled build; the next request starts one that still
    // rebuilds on every request.
    QFile::remove(QString::fromStdString(path("sleep")));
    for (int run = 0; run < 2; ++run) {
        RecordingBuilder rebuilt;
        EXPECT_EQ(builder.request(C::Build, 1, "Debug", 1, rebuilt), BuildSomething)
            << rebuilt.events.join('\n').toStdString();
    }
}

TEST_F(ExternalBuilderTest, ABuilderThatEndsUnexpectedlyFailsTheRequest) {
    // Reads the request, prints a line of its own and dies before the final status line.
    ExternalBuilder dying({"/bin/sh", "-c",
                           "read line; echo \"got $line\"; echo oops >&2; "
                           "kill -KILL $$"});
    for (int run = 0; run < 2; ++run) {
        RecordingBuilder sink;
        EXPECT_EQ(dying.request(C::BatchBuild, 3, "Release", 2, sink), BuildFailed);
        EXPECT_EQ(sink.events, QStringList({"stdout: got batchbuild 3 'Release' 2", "stderr: oops",
                                            "error: Builder has terminated unexpectedly",
                                            "finished: Build failed"}));
    }

    ExternalBuilder absent({QString::fromStdString(path("no-such-builder"))});
    RecordingBuilder sink;
    EXPECT_EQ(absent.request(C::Build, 1, "Debug", 0, sink), BuildFailed);
    ASSERT_FALSE(sink.events.isEmpty());
    EXPECT_TRUE(sink.events.first().startsWith("error: Error starting process "));
    EXPECT_EQ(sink.events.last(), "finished: Build failed");
}

} // namespace
