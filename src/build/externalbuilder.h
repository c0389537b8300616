#pragma once

#include "build/buildresult.h"
#include "build/externalbuilderprotocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <mutex>

#include <sys/types.h>

class Builder;

// The IDE's side of the external builder: builds run in a separate build process (the build
// tool's server), started on the first request and again when it has ended. A request is sent
// as protocol lines; what the process prints is handed to a Builder as tool output (its
// standard error as error output) until its final status line, which ends the request. The
// property edits since the last reload are kept, so that a process started again hears them
// all. One request at a time.
class ExternalBuilder {
public:
    // What the log shows when the process ends before the final status line.
    static constexpr const char *kTerminatedText = "Builder has terminated unexpectedly";

    // `command` is the program and its arguments ("qzbuild -server SOLUTION ...").
    explicit ExternalBuilder(QStringList command, QString workingDirectory = {});
    // Closes the process's input, which ends it, and reaps it.
    ~ExternalBuilder();

    // The solution file changed on disk: the process reads it again before the next request,
    // and the edits made before are forgotten.
    void reload();
    // A property of a node edited since the last request.
    void modified(int node, const QString &property, const QString &value);

    // `kind` is Build, BuildOnly or BatchBuild. Blocks until the request has ended; every
    // event goes to `sink`, which ends with sink.finished(result).
    BuildResult request(ExternalBuilderCommand::Kind kind, int node, const QString &configuration,
                        int threads, Builder &sink);

    // From any thread: the running request stops, its tools killed, as "Build terminated".
    void cancel();

private:
    bool running();
    // Reaps the process when it has ended (waiting for that with `block`); false while it runs.
    bool reap(bool block);
    bool start(Builder &sink);
    bool send(const QByteArray &lines);
    // Reads output until the final status line; false when the process ended first.
    bool readReply(Builder &sink, BuildResult &result);
    void stop();

    QStringList m_command;
    QString m_workingDirectory;
    QByteArray m_edits;   // "modified" lines since the last reload, sent to a new process
    QByteArray m_pending; // lines not yet sent to the running process
    // The process is reaped and signalled under the lock, so that cancel() never signals a
    // process id the system has handed on.
    std::mutex m_pidMutex;
    pid_t m_pid = -1;
    bool m_busy = false;
    bool m_cancelled = false;
    int m_input = -1; // our end of the process's standard input (a socket: no SIGPIPE)
    int m_output = -1;
    int m_error = -1;
};
