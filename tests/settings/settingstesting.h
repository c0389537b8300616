#pragma once

#include <QString>

#include <string>

// A value that exercises every character the file must escape or carry through as it is:
// markup, quotes, the middle dot, a non-ASCII letter, a line break and a carriage return.
inline QString awkwardValue(const QString &prefix) {
    return prefix + QStringLiteral(" & < > \" ' \u00b7 \u00e9\nsecond line\r end");
}
