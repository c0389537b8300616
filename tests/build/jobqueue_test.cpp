#include "build/jobqueue.h"

#include "build/filetime.h"
#include "build/producedfiles.h"
#include "recordingbuilder.h"
#include "scratchdirtest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class JobQueueTest : public ScratchDirTest {
protected:
    // An executable shell script standing in for a compiler.
    QString tool(const std::string &name, const std::string &body) {
        std::string at = write(name, "#!/bin/sh\n" + body);
        ::chmod(at.c_str(), 0755);
        return QString::fromStdString(at);
    }
    StepPlan plan(const QString &program, const QStringList &arguments = {},
                  const QStringList &outputs = {}) {
        StepPlan step;
        step.action = BuildAction::CompileC;
        step.description = "Compiling " + QFileInfo(program).fileName();
        step.arguments = QStringList{program} + arguments;
        step.workingDirectory = m_dir.path();
        step.outputs = outputs;
        return step;
    }
    QString scratch(const std::string &name) const { return QString::fromStdString(path(name)); }

    // Waits (at most 20 s) until the file holds `lines` lines.
    bool waitForLines(const std::string &name, int lines) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            QFile file(scratch(name));
            if (file.open(QIODevice::ReadOnly) && file.readAll().count('\n') >= lines)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    // A process is gone once it no longer exists or is only left as a zombie for init.
    static bool isGone(pid_t pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        QByteArray text = stat.readAll();
        qsizetype close = text.lastIndexOf(')');
        return close >= 0 && text.mid(close + 2, 1) == "Z";
    }
    static bool becomesGone(pid_t pid) {
        for (int i = 0; i < 250; ++i) {
            if (isGone(pid))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    RecordingBuilder sink;
};

TEST_F(JobQueueTest, ThreadCount) {
    EXPECT_EQ(JobQueue::threadCount(0), qBound(1, int(::sysconf(_SC_NPROCESSORS_ONLN)), 128));
    EXPECT_EQ(JobQueue::threadCount(-3), JobQueue::threadCount(0));
    EXPECT_EQ(JobQueue::threadCount(3), 3);
    EXPECT_EQ(JobQueue::threadCount(500), 128);
}

TEST_F(JobQueueTest, OutputPassesThroughVerbatimInItsGroup) {
    QString cc = tool("cc", "echo \"compiling $1 in $(pwd) with $FLAVOUR\"\n"
                            "printf 'a.c:1:2: warning: \\033[1mbold\\033[0m\\r\\n' >&2\n"
                            "printf 'no line break'\n");
    StepPlan step = plan(cc, {"a c"});
    step.environment = QStringList{"FLAVOUR=vanilla", "PATH=" + qEnvironmentVariable("PATH")};
    JobQueue queue({&sink});
    queue.setShowCommandLines(true);
    queue.enqueue(step);
    EXPECT_EQ(queue.wait(), BuildSomething);
    EXPECT_EQ(sink.events,
              (QStringList{"begin: Compiling cc", "command: " + cc + " 'a c'",
                           "stdout: compiling a c in " + m_dir.path() + " with vanilla",
                           "stderr: a.c:1:2: warning: \x1b[1mbold\x1b[0m\r",
                           "stdout: no line break", "end: "}));
    EXPECT_EQ(queue.wait(), BuildNothing);
}

TEST_F(JobQueueTest, FailedStepRemovesTheOutputsItTouched) {
    // An object from an earlier build stays when the step never wrote it; one it wrote half
    // of is removed, and the directory for it is created first.
    write("old.o", "old");
    QString cc = tool("cc", "printf half > \"$1\"\necho 'broken' >&2\nexit 3\n");
    ProducedFiles produced;
    JobQueue queue({&sink}, &produced);
    queue.enqueue(plan(cc, {"obj/new.o"}, {"obj/new.o", "old.o"}));
    EXPECT_EQ(queue.wait(), BuildFailed);
    EXPECT_FALSE(QFile::exists(scratch("obj/new.o")));
    EXPECT_TRUE(QFile::exists(scratch("old.o")));
    EXPECT_FALSE(produced.contains(scratch("old.o")));
    EXPECT_EQ(sink.events,
              (QStringList{"begin: Compiling cc", "stderr: broken", "failed", "end: failed"}));

    QString good = tool("good", "printf whole > \"$1\"\n");
    queue.enqueue(plan(good, {"obj/new.o"}, {"obj/new.o"}));
    EXPECT_EQ(queue.wait(), BuildSomething);
    EXPECT_TRUE(produced.contains(scratch("obj/new.o")));
}

TEST_F(JobQueueTest, CommandsBeforeAndAfterAStepRunOnlyAfterSuccess) {
    QString cc = tool("cc", "printf obj > \"$1\"\n");
    QString echo = tool("note", "echo \"$1\" >> steps.log\n");
    QString failing = tool("fail", "echo \"$1\" >> steps.log\nexit 2\n");
    auto command = [&](const QString &program, const QString &what) {
        StepPlan step = plan(program, {what});
        step.action = BuildAction::UserCommand;
        step.description = what;
        return step;
    };
    StepPlan step = plan(cc, {"a.o"}, {"a.o"});
    step.before.push_back(command(echo, "pre"));
    step.after.push_back(command(echo, "post"));
    JobQueue queue({&sink});
    queue.enqueue(step);
    EXPECT_EQ(queue.wait(), BuildSomething);
    EXPECT_EQ(readFileBytes(path("steps.log")), "pre\npost\n");
    EXPECT_EQ(sink.events, (QStringList{"begin: pre", "end: ", "begin: Compiling cc",
                                        "end: ", "begin: post", "end: "}));

    // A failed command before the step keeps it from running.
    QFile::remove(scratch("a.o"));
    step.before = {command(failing, "pre")};
    queue.enqueue(step);
    EXPECT_EQ(queue.wait(), BuildFailed);
    EXPECT_FALSE(QFile::exists(scratch("a.o")));
    EXPECT_EQ(readFileBytes(path("steps.log")), "pre\npost\npre\n");

    // A failed command after it takes the step's output along, so the next build runs both.
    step.before.clear();
    step.after = {command(failing, "post")};
    queue.enqueue(step);
    EXPECT_EQ(queue.wait(), BuildFailed);
    EXPECT_FALSE(QFile::exists(scratch("a.o")));
    EXPECT_EQ(readFileBytes(path("steps.log")), "pre\npost\npre\npost\n");
}

TEST_F(JobQueueTest, ToolKilledBySignalFailsWithStatus128PlusSignal) {
    QString cc = tool("segv", "printf half > \"$1\"\nkill -SEGV $$\n");
    std::atomic<int> status = -1;
    JobQueue queue({&sink});
    QObject::connect(&queue, &JobQueue::jobDone, [&](int exitStatus) { status = exitStatus; });
    queue.enqueue(plan(cc, {"a.o"}, {"a.o"}));
    EXPECT_EQ(queue.wait(), BuildFailed);
    EXPECT_EQ(status, 128 + SIGSEGV);
    EXPECT_FALSE(QFile::exists(scratch("a.o")));
    EXPECT_TRUE(sink.events.contains("error: segv terminated by signal 11 (" +
                                     QString::fromLocal8Bit(::strsignal(SIGSEGV)) + ")"));
}

TEST_F(JobQueueTest, CancelKillsTheWholeProcessGroup) {
    // The driver starts a helper, writes half an object and waits: as a compiler driver
    // waits for cc1. Cancelling must end both and leave no object.
    QString cc = tool("slow", "printf half > \"$1\"\nsleep 60 &\n"
                              "echo $! > pids\necho $$ >> pids\nwait\n");
    JobQueue queue({&sink});
    queue.enqueue(plan(cc, {"a.o"}, {"a.o"}));
    queue.enqueue(plan(cc, {"b.o"}, {"b.o"}));
    ASSERT_TRUE(waitForLines("pids", 2));
    ASSERT_TRUE(QFile::exists(scratch("a.o")));
    QList<QByteArray> pids =
        QByteArray::fromStdString(readFileBytes(path("pids"))).trimmed().split('\n');
    ASSERT_EQ(pids.size(), 2);
    queue.kill();
    EXPECT_EQ(queue.wait(), BuildCancelled);
    for (const QByteArray &pid : pids)
        EXPECT_TRUE(becomesGone(pid.toInt())) << "process " << pid.toStdString() << " remains";
    EXPECT_FALSE(QFile::exists(scratch("a.o")));
    EXPECT_FALSE(QFile::exists(scratch("b.o"))); // the queued step never started
    EXPECT_EQ(sink.events.last(), "end: cancelled");

    // The queue is usable again and the next build compiles.
    QString good = tool("good", "printf whole > \"$1\"\n");
    queue.enqueue(plan(good, {"a.o"}, {"a.o"}));
    EXPECT_EQ(queue.wait(), BuildSomething);
    EXPECT_EQ(readFileBytes(path("a.o")), "whole");
}

TEST_F(JobQueueTest, FirstFailureStopsTheQueueUnlessKeepGoing) {
    QString fail = tool("fail", "exit 1\n");
    QString mark = tool("mark", "echo >> marks\n");
    for (bool keepGoing : {false, true}) {
        QFile::remove(scratch("marks"));
        JobQueue queue({&sink});
        queue.setKeepGoing(keepGoing);
        queue.enqueue(plan(fail));
        queue.enqueue(plan(mark));
        queue.enqueue(plan(mark));
        EXPECT_EQ(queue.wait(), BuildFailed);
        EXPECT_EQ(QFile::exists(scratch("marks")), keepGoing);
    }
}

TEST_F(JobQueueTest, StepsRunInParallelOnTheirOwnSinks) {
    // Each step waits for the other's mark: with two workers both finish, and each worker
    // reports to its own sink.
    QString meet =
        tool("meet", "touch \"$1\"\n"
                     "for i in $(seq 200); do [ -e \"$2\" ] && exit 0; sleep 0.05; done\n"
                     "exit 1\n");
    RecordingBuilder second;
    JobQueue queue({&sink, &second});
    queue.enqueue(plan(meet, {"one", "two"}));
    queue.enqueue(plan(meet, {"two", "one"}));
    EXPECT_EQ(queue.wait(), BuildSomething);
    EXPECT_EQ(sink.events, (QStringList{"begin: Compiling meet", "end: "}));
    EXPECT_EQ(second.events, sink.events);
}

TEST_F(JobQueueTest, StartFailures) {
    JobQueue queue({&sink});
    queue.enqueue(plan(scratch("no-such-compiler")));
    EXPECT_EQ(queue.wait(), BuildFailed);
    ASSERT_GE(sink.events.size(), 3);
    EXPECT_EQ(sink.events[1], "error: Error starting process " + scratch("no-such-compiler"));
    EXPECT_EQ(sink.events[2], "message: " + QString::fromLocal8Bit(std::strerror(ENOENT)));

    sink.events.clear();
    write("file", "");
    QString cc = tool("cc", "true\n");
    queue.enqueue(plan(cc, {}, {"file/a.o"}));
    EXPECT_EQ(queue.wait(), BuildFailed);
    EXPECT_EQ(sink.events[1], "error: Error creating directory " + scratch("file"));
}

} // namespace
