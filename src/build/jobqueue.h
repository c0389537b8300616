#pragma once

#include "build/buildresult.h"
#include "build/stepplan.h"

#include <QList>
#include <QObject>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class Builder;
class ProducedFiles;

// Runs planned steps as child processes on worker threads, one sink per worker, so that the
// groups and output lines of one step stay together in the log. Every child runs in a
// process group of its own, which kill() ends as a whole: a compiler driver's cc1 and as go
// with it. A step fails when its tool exits non-zero or is killed by a signal (status
// 128 + signal); a failed or cancelled step removes the declared outputs it touched, so that
// a half-written object never passes for current. A step's `before` and `after` commands run
// on the same worker around it.
class JobQueue : public QObject {
    Q_OBJECT
public:
    // One worker per sink (at least one, at most 128), started with the first step; the
    // sinks outlive the queue. Outputs
    // of the steps that succeed are added to `produced` when it is given.
    explicit JobQueue(const QList<Builder *> &sinks, ProducedFiles *produced = nullptr);
    ~JobQueue() override;

    // The number of workers for the "Building Threads" setting: 0 (or less) means the
    // processors online; never more than 128.
    static int threadCount(int setting);

    void enqueue(StepPlan plan);
    // Without keep-going the first failed step drops the steps still queued.
    void setKeepGoing(bool keepGoing);
    // Blocks until every queued step has ended; the result covers the steps since the last
    // wait: BuildNothing when none ran, then BuildSomething, BuildFailed or BuildCancelled.
    BuildResult wait();

public slots:
    void setShowCommandLines(bool show);
    // Drops the steps not yet started.
    void clear();
    // Ends the running steps (their process groups are killed) and drops the queued ones;
    // the build counts as cancelled until wait() returns.
    void kill();

signals:
    // After each step, on the worker's thread: the exit status (128 + signal for a killed
    // tool, 127 when it could not be started).
    void jobDone(int exitStatus);
    // The queue has run dry, on the thread of the last worker.
    void allJobsDone();

private:
    void work(Builder *sink);
    // The step with its commands before and after, each only when all before it succeeded.
    int runWithCommands(const StepPlan &plan, Builder *sink);
    int run(const StepPlan &plan, Builder *sink);
    bool isCancelled();

    ProducedFiles *m_produced;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<StepPlan> m_queue;
    QList<Builder *> m_sinks;
    std::vector<std::thread> m_workers;
    int m_active = 0;
    int m_ran = 0;
    bool m_failed = false;
    bool m_cancelled = false;
    bool m_keepGoing = false;
    bool m_showCommandLines = false;
    bool m_stopping = false;
    // Readable while the running steps are to be cancelled; every worker polls it.
    int m_cancelPipe[2] = {-1, -1};
};
