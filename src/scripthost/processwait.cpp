#include "scripthost/processwait.h"

#include "script/escontext.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

bool stopWhileBlocked(ESContext *context) {
    QCoreApplication *application = QCoreApplication::instance();
    if (application && application->thread() == QThread::currentThread())
        QCoreApplication::processEvents();
    return context && context->shouldStop();
}

ProcessWait waitForProcess(QProcess &process, ESContext *context, int timeoutMs,
                           bool killOnTimeout) {
    constexpr int kSliceMs = 50;
    QDeadlineTimer deadline =
        timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
    ProcessWait outcome = ProcessWait::Finished;
    while (process.state() != QProcess::NotRunning) {
        if (stopWhileBlocked(context)) {
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
