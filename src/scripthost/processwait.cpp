#include "scripthost/processwait.h"

#include "script/escontext.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

ProcessWait waitForProcess(QProcess &process, ESContext *context, int timeoutMs,
                           bool killOnTimeout) {
    constexpr int kSliceMs = 50;
    QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    ProcessWait outcome = ProcessWait::Finished;
    QCoreApplication *application = QCoreApplication::instance();
    bool onMainThread = application && application->thread() == QThread::currentThread();
    while (process.state() != QProcess::NotRunning) {
        // The stop action must stay reachable while a native blocks.
        if (onMainThread)
            QCoreApplication::processEvents();
        if (context && context->shouldStop()) {
            outcome = ProcessWait::Stopped;
            break;
        }
        if (deadline.hasExpired()) {
            outcome = ProcessWait::TimedOut;
            break;
        }
        process.waitForFinished(int(std::min<qint64>(
            kSliceMs, deadline.remainingTime() < 0 ? kSliceMs : deadline.remainingTime() + 1)));
    }
    if (outcome == ProcessWait::Stopped || (outcome == ProcessWait::TimedOut && killOnTimeout)) {
        process.kill();
        process.waitForFinished(-1);
    }
    return outcome;
}
