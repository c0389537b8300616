#pragma once

#include <QObject>

// The environment's script runner as the rest of the environment sees it: whether a script
// runs, and the request to stop it.
class ScriptSystem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isRunning() const = 0;
    virtual void requestStop() = 0;
    virtual bool stopRequested() const = 0;

Q_SIGNALS:
    // A run started or ended: the stop-script action is enabled and the run action disabled
    // while one runs.
    void runningChanged(bool running);
};
