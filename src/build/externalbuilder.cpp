#include "build/externalbuilder.h"

#include "build/builder.h"
#include "build/outputlinesplitter.h"
#include "build/spawninowngroup.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How long a process whose input was closed may take to end before it is killed.
constexpr int kStopWaitMs = 2000;

std::optional<BuildResult> statusOf(const QString &line) {
    for (BuildResult result : {BuildNothing, BuildSomething, BuildFailed, BuildCancelled})
        if (line == finalStatusText(result))
            return result;
    return std::nullopt;
}

void closeFd(int &fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ExternalBuilder::ExternalBuilder(QStringList command, QString workingDirectory)
    : m_command(std::move(command)), m_workingDirectory(std::move(workingDirectory)) {}

ExternalBuilder::~ExternalBuilder() {
    stop();
}

void ExternalBuilder::reload() {
    m_edits.clear();
    m_pending = ExternalBuilderProtocol::reloadLine();
}

void ExternalBuilder::modified(int node, const QString &property, const QString &value) {
    const QByteArray line = ExternalBuilderProtocol::modifiedLine(node, property, value);
    m_edits += line;
    m_pending += line;
}

BuildResult ExternalBuilder::request(ExternalBuilderCommand::Kind kind, int node,
                                     const QString &configuration, int threads, Builder &sink) {
    {
        std::lock_guard lock(m_pidMutex);
        m_busy = true;
        m_cancelled = false;
    }
    BuildResult result = BuildFailed;
    if (running() || start(sink)) {
        const QByteArray lines =
            m_pending + ExternalBuilderProtocol::requestLine(kind, node, configuration, threads);
        m_pending.clear();
        if (!send(lines) || !readReply(sink, result)) {
            stop();
            // Interrupted before it could handle interrupts: ended as asked, not unexpectedly.
            std::lock_guard lock(m_pidMutex);
            result = m_cancelled ? BuildCancelled : BuildFailed;
            if (!m_cancelled)
                sink.error(QString::fromLatin1(kTerminatedText));
        } else if (result == BuildCancelled) {
            // The server ends after an interrupt; the next request starts a new one.
            stop();
        }
    }
    {
        std::lock_guard lock(m_pidMutex);
        m_busy = false;
    }
    sink.finished(result);
    return result;
}

void ExternalBuilder::cancel() {
    std::lock_guard lock(m_pidMutex);
    if (m_busy && m_pid > 0) {
        m_cancelled = true;
        ::kill(m_pid, SIGINT);
    }
}

bool ExternalBuilder::reap(bool block) {
    std::lock_guard lock(m_pidMutex);
    if (m_pid <= 0)
        return true;
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(m_pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == 0)
        return false;
    m_pid = -1;
    return true;
}

bool ExternalBuilder::running() {
    if (!reap(false))
        return true;
    // Ended while idle, or never started: started afresh.
    closeFd(m_input);
    closeFd(m_output);
    closeFd(m_error);
    return false;
}

bool ExternalBuilder::start(Builder &sink) {
    int input[2], output[2], error[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0) {
        sink.error(QStringLiteral("Error starting process ") + m_command.join(u' '));
        return false;
    }
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(error, O_CLOEXEC) != 0) {
        sink.error(QStringLiteral("Error starting process ") + m_command.join(u' '));
        ::close(input[0]);
        ::close(input[1]);
        return false;
    }
    pid_t pid = -1;
    const int failure =
        spawnInOwnGroup(m_command, m_workingDirectory, {}, input[1], output[1], error[1], pid);
    ::close(input[1]);
    ::close(output[1]);
    ::close(error[1]);
    if (failure != 0) {
        ::close(input[0]);
        ::close(output[0]);
        ::close(error[0]);
        sink.error(QStringLiteral("Error starting process ") + m_command.join(u' '));
        sink.message(QString::fromLocal8Bit(std::strerror(failure)));
        return false;
    }
    m_input = input[0];
    m_output = output[0];
    m_error = error[0];
    {
        std::lock_guard lock(m_pidMutex);
        m_pid = pid;
    }
    // A new process reads the solution from disk: it needs every edit since, not a reload.
    m_pending = m_edits;
    return true;
}

bool ExternalBuilder::send(const QByteArray &lines) {
    qsizetype at = 0;
    while (at < lines.size()) {
        const ssize_t sent =
            ::send(m_input, lines.constData() + at, size_t(lines.size() - at), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        at += sent;
    }
    return true;
}

bool ExternalBuilder::readReply(Builder &sink, BuildResult &result) {
    std::optional<BuildResult> status;
    OutputLineSplitter outLines(
        [&](const QString &line) {
            if (status)
                return;
            status = statusOf(line);
            if (!status)
                sink.output(nullptr, line, false);
        },
        OutputLineSplitter::Verbatim);
    OutputLineSplitter errLines([&](const QString &line) { sink.output(nullptr, line, true); },
                                OutputLineSplitter::Verbatim);
    char buffer[16384];
    while (!status && m_output >= 0) {
        pollfd fds[2] = {{m_output, POLLIN, 0}, {m_error, POLLIN, 0}};
        if (::poll(fds, m_error >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents)
                continue;
            int &fd = i == 0 ? m_output : m_error;
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0)
                (i == 0 ? outLines : errLines).feed(buffer, got);
            else if (got == 0 || errno != EINTR)
                closeFd(fd);
        }
    }
    if (!status)
        outLines.finish();
    errLines.finish();
    if (status)
        result = *status;
    return status.has_value();
}

void ExternalBuilder::stop() {
    closeFd(m_input);
    closeFd(m_output);
    closeFd(m_error);
    // The end of its input ends an idle process; one that does not end in time is killed.
    for (int waited = 0; waited < kStopWaitMs; waited += 10) {
        if (reap(false))
            return;
        ::usleep(10000);
    }
    {
        std::lock_guard lock(m_pidMutex);
        ::killpg(m_pid, SIGKILL);
    }
    reap(true);
}
