#pragma once

#include "settingstesting.h"

#include <QString>

// What the workers of the multi-process test write: worker ID sets key ROUND in every round
// and removes, in the round after next, every key whose round is 1 modulo 4.
inline QString workerKey(int id, int round) {
    return QStringLiteral("worker%1/key%2").arg(id).arg(round, 3, 10, QLatin1Char('0'));
}
inline QString workerValue(int id, int round) {
    return awkwardValue(QStringLiteral("value %1.%2").arg(id).arg(round));
}
inline bool removedLater(int round) {
    return round % 4 == 1;
}
