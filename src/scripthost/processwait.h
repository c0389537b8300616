#pragma once

class ESContext;
class QProcess;

enum class ProcessWait { Finished, TimedOut, Stopped };

// For natives that block on outside work: whether the running script is to stop. On the
// application's thread pending events run first, so that the stop action gets through.
bool stopWhileBlocked(ESContext *context);

// Waits for a started process in short slices, so that a stop request of the running script
// (polled through `context`, which may be null) ends the wait at once. A negative timeout
// waits without end. On a stop the process is killed and reaped, and so on a timeout when
// `killOnTimeout` is set.
ProcessWait waitForProcess(QProcess &process, ESContext *context, int timeoutMs = -1,
                           bool killOnTimeout = true);
