#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A file's modification time as the file system keeps it. Times are compared at full
// resolution only when both have a sub-second part: on a file system that stores whole
// seconds (or a file copied by a tool that drops them) an edit within the same second as the
// build would otherwise look older than its output.
struct FileTime {
    bool exists = false;
    qint64 seconds = 0;
    qint32 nanoseconds = 0;

    // The time of the file at `path` (symbolic links followed); absent when it cannot be read.
    static FileTime of(const QString &path);
    // The time of `path` taken from the open directory `directory` when relative (AT_FDCWD for
    // the working directory).
    static FileTime of(int directory, const char *path);
    static FileTime now();
    // `path` as the system names it (QFile::encodeName); an ASCII path, the usual case, is
    // its own bytes, which the general conversion takes several times as long to find.
    static QByteArray systemName(const QString &path);

    // Inline: a build with nothing to do compares every header of every object.
    bool isLaterThan(const FileTime &other) const {
        if (seconds != other.seconds || nanoseconds == 0 || other.nanoseconds == 0)
            return seconds > other.seconds;
        return nanoseconds > other.nanoseconds;
    }
    bool operator==(const FileTime &other) const = default;

    // "dd.MM.yyyy hh:mm:ss" in local time, as the build log shows it.
    QString text() const;
};
