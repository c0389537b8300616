#include "build/filetime.h"

#include <QDateTime>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

FileTime FileTime::of(const QString &path) {
    return of(AT_FDCWD, systemName(path).constData());
}

QByteArray FileTime::systemName(const QString &path) {
    for (QChar c : path)
        if (c.unicode() >= 0x80)
            return QFile::encodeName(path);
    return path.toLatin1();
}

FileTime FileTime::of(int directory, const char *path) {
    struct stat info;
    if (::fstatat(directory, path, &info, 0) != 0)
        return {};
    return {true, qint64(info.st_mtim.tv_sec), qint32(info.st_mtim.tv_nsec)};
}

FileTime FileTime::now() {
    timespec time;
    ::clock_gettime(CLOCK_REALTIME, &time);
    return {true, qint64(time.tv_sec), qint32(time.tv_nsec)};
}

QString FileTime::text() const {
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}
