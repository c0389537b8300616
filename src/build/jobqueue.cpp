#include "build/jobqueue.h"

#include "build/builder.h"
#include "build/filetime.h"
#include "build/outputlinesplitter.h"
#include "build/producedfiles.h"
#include "build/spawninowngroup.h"
#include "core/hexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kMaxThreads = 128;
constexpr int kCannotStart = 127;

// A spawned child: its process (and group) id and the read ends of its output pipes.
struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
    int error = 0; // errno when it could not be started
};

Child spawn(const StepPlan &plan) {
    Child child;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        child.error = errno;
        return child;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        child.error = errno;
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return child;
    }

    int result = spawnInOwnGroup(plan.commandWords(), plan.workingDirectory, plan.environment, -1,
                                 outPipe[1], errPipe[1], child.pid);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (result != 0) {
        child.error = result;
        child.pid = -1;
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return child;
    }
    child.out = outPipe[0];
    child.err = errPipe[0];
    return child;
}

} // namespace

JobQueue::JobQueue(const QList<Builder *> &sinks, ProducedFiles *produced) : m_produced(produced) {
    if (sinks.isEmpty())
        throw HException("a job queue needs at least one sink");
    if (::pipe2(m_cancelPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("cannot create a pipe: %s", std::strerror(errno));
    m_sinks = sinks.first(qMin<qsizetype>(sinks.size(), kMaxThreads));
}

JobQueue::~JobQueue() {
    kill();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    ::close(m_cancelPipe[0]);
    ::close(m_cancelPipe[1]);
}

int JobQueue::threadCount(int setting) {
    if (setting <= 0)
        setting = int(::sysconf(_SC_NPROCESSORS_ONLN));
    return qBound(1, setting, kMaxThreads);
}

void JobQueue::enqueue(StepPlan plan) {
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || (m_failed && !m_keepGoing))
            return;
        m_queue.push_back(std::move(plan));
        // Started with the first step: a build with nothing to do starts no thread.
        if (m_workers.empty())
            for (Builder *sink : std::as_const(m_sinks))
                m_workers.emplace_back([this, sink] { work(sink); });
    }
    m_wake.notify_one();
}

void JobQueue::setKeepGoing(bool keepGoing) {
    std::lock_guard lock(m_mutex);
    m_keepGoing = keepGoing;
}

void JobQueue::setShowCommandLines(bool show) {
    std::lock_guard lock(m_mutex);
    m_showCommandLines = show;
}

void JobQueue::clear() {
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    // No worker may be left to say so: a wait() would sleep for ever.
    if (m_active == 0)
        m_idle.notify_all();
}

void JobQueue::kill() {
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        if (m_active == 0)
            m_idle.notify_all();
        if (m_cancelled)
            return;
        m_cancelled = true;
    }
    char byte = 1;
    (void)!::write(m_cancelPipe[1], &byte, 1);
}

bool JobQueue::isCancelled() {
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

BuildResult JobQueue::wait() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_queue.empty() && m_active == 0; });
    BuildResult result = m_cancelled ? BuildCancelled
                         : m_failed  ? BuildFailed
                         : m_ran > 0 ? BuildSomething
                                     : BuildNothing;
    if (m_cancelled) {
        char drain[16];
        while (::read(m_cancelPipe[0], drain, sizeof drain) > 0) {
        }
    }
    m_ran = 0;
    m_failed = m_cancelled = false;
    return result;
}

void JobQueue::work(Builder *sink) {
    for (;;) {
        StepPlan plan;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            plan = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_active;
        }
        int status = runWithCommands(plan, sink);
        bool idle;
        {
            std::lock_guard lock(m_mutex);
            ++m_ran;
            if (status != 0) {
                m_failed = true;
                if (!m_keepGoing)
                    m_queue.clear();
            }
            --m_active;
            idle = m_active == 0 && m_queue.empty();
        }
        emit jobDone(status);
        if (idle) {
            m_idle.notify_all();
            emit allJobsDone();
        }
    }
}

int JobQueue::runWithCommands(const StepPlan &plan, Builder *sink) {
    for (const StepPlan &before : plan.before)
        if (int status = run(before, sink))
            return status;
    if (int status = run(plan, sink))
        return status;
    for (const StepPlan &after : plan.after) {
        if (int status = run(after, sink)) {
            // The step's outputs go too, so that the next build runs the whole chain again
            // instead of taking them for current.
            QDir base(plan.workingDirectory.isEmpty() ? QDir::currentPath()
                                                      : plan.workingDirectory);
            for (const QString &output : plan.outputs)
                QFile::remove(base.absoluteFilePath(output));
            return status;
        }
    }
    return 0;
}

int JobQueue::run(const StepPlan &plan, Builder *sink) {
    bool showCommandLine;
    {
        std::lock_guard lock(m_mutex);
        showCommandLine = m_showCommandLines;
    }
    if (!plan.description.isEmpty())
        sink->beginGroup(plan.description);
    auto end = [&](int status, const QString &badge) {
        if (status != 0)
            sink->stepFailed();
        if (!plan.description.isEmpty())
            sink->endGroup(badge);
        return status;
    };

    QDir base(plan.workingDirectory.isEmpty() ? QDir::currentPath() : plan.workingDirectory);
    QStringList outputs;
    for (const QString &output : plan.outputs) {
        outputs << base.absoluteFilePath(output);
        QString directory = QFileInfo(outputs.last()).absolutePath();
        if (!QDir().mkpath(directory)) {
            sink->error(QStringLiteral("Error creating directory ") + directory);
            return end(kCannotStart, QStringLiteral("failed"));
        }
    }
    std::vector<FileTime> before;
    for (const QString &output : outputs)
        before.push_back(FileTime::of(output));

    QString command = plan.commandLine();
    if (showCommandLine)
        sink->commandLine(command);
    if (isCancelled())
        return end(kCannotStart, QStringLiteral("cancelled"));
    Child child = spawn(plan);
    if (child.pid < 0) {
        sink->error(QStringLiteral("Error starting process ") + command);
        sink->message(QString::fromLocal8Bit(std::strerror(child.error)));
        return end(kCannotStart, QStringLiteral("failed"));
    }

    OutputLineSplitter outLines(
        [&](const QString &line) { sink->output(plan.parser, line, false); },
        OutputLineSplitter::Verbatim);
    OutputLineSplitter errLines([&](const QString &line) { sink->output(plan.parser, line, true); },
                                OutputLineSplitter::Verbatim);
    bool cancelled = false;
    char buffer[16384];
    while (child.out >= 0 || child.err >= 0) {
        pollfd fds[3] = {
            {child.out, POLLIN, 0}, {child.err, POLLIN, 0}, {m_cancelPipe[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents) {
            // Ends the tool and all it started; what the group printed last is of no use.
            ::killpg(child.pid, SIGKILL);
            cancelled = true;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            int &fd = i == 0 ? child.out : child.err;
            ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? outLines : errLines).feed(buffer, got);
            } else if (got == 0 || errno != EINTR) {
                ::close(fd);
                fd = -1;
            }
        }
    }
    for (int fd : {child.out, child.err})
        if (fd >= 0)
            ::close(fd);
    outLines.finish();
    errLines.finish();

    int waitStatus = 0;
    while (::waitpid(child.pid, &waitStatus, 0) < 0 && errno == EINTR) {
    }
    int status = WIFEXITED(waitStatus)     ? WEXITSTATUS(waitStatus)
                 : WIFSIGNALED(waitStatus) ? 128 + WTERMSIG(waitStatus)
                                           : 1;
    if (cancelled && status == 0)
        status = 128 + SIGKILL;
    if (!cancelled && WIFSIGNALED(waitStatus))
        sink->error(QFileInfo(plan.commandWords().first()).fileName() +
                    QStringLiteral(" terminated by signal %1 (%2)")
                        .arg(WTERMSIG(waitStatus))
                        .arg(QString::fromLocal8Bit(::strsignal(WTERMSIG(waitStatus)))));

    if (status != 0) {
        // A half-written output must not pass for current next time; an output the step never
        // touched is left as it was.
        for (size_t i = 0; i < before.size(); ++i)
            if (FileTime::of(outputs[qsizetype(i)]) != before[i])
                QFile::remove(outputs[qsizetype(i)]);
        return end(status, cancelled ? QStringLiteral("cancelled") : QStringLiteral("failed"));
    }
    if (m_produced)
        for (const QString &output : outputs)
            m_produced->add(output);
    return end(0, QString());
}
