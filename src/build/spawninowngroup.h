#pragma once

#include <QStringList>

#include <sys/types.h>

// Starts COMMAND (its first word searched on PATH) in a process group of its own, so that an
// interrupt meant for the caller does not reach it and cancelling ends it with everything it
// started. The signals build tools handle themselves start at their defaults, none blocked.
// The environment is ours with the NAME=VALUE items of ENVIRONMENT set over it; standard input
// is INPUT, or /dev/null when INPUT is -1. Returns 0 with the process id, or an errno value.
int spawnInOwnGroup(const QStringList &command, const QString &workingDirectory,
                    const QStringList &environment, int input, int output, int error, pid_t &pid);
