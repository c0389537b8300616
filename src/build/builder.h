#pragma once

#include "build/buildresult.h"

#include <QString>

#include <memory>

class DiagnosticParser;

// Where the build engine reports what it does. Each concurrent worker has its own sink, so
// the groups it opens and the output of its steps stay together however the workers
// interleave. Implementations write to a build log, queue the events for another thread,
// export them, or drop them.
class Builder {
public:
    virtual ~Builder();

    // A project, folder or step begins; groups nest until the matching endGroup.
    virtual void beginGroup(const QString &text) = 0;
    // The innermost open group ends; a non-empty badge ("up to date", "failed") is shown
    // beside it.
    virtual void endGroup(const QString &badgeText) = 0;
    // A command line about to run; each one counts as a step of the build.
    virtual void commandLine(const QString &command) = 0;
    virtual void message(const QString &text) = 0;
    virtual void error(const QString &text) = 0;
    virtual void warning(const QString &text) = 0;
    virtual void note(const QString &text) = 0;
    // One line a running tool printed (standard error when isErrorOutput), to be read by the
    // parser of its step. The sink keeps the parser alive as long as it holds the line.
    virtual void output(const std::shared_ptr<DiagnosticParser> &parser, const QString &line,
                        bool isErrorOutput) = 0;
    // The running step of the innermost group failed; output held back from it is shown.
    virtual void stepFailed() = 0;
    // The build is over; called once, on the sink the build was started with.
    virtual void finished(BuildResult result) = 0;
};
