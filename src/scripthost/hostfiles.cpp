#include "scripthost/hostfiles.h"

#include "core/regularfile.h"

#include <QFile>
#include <QSaveFile>

std::optional<QByteArray> readHostFile(const QString &path) {
    std::string contents;
    if (path.isEmpty() || readRegularFile(path.toStdString(), contents) != RegularFileStatus::Ok)
        return std::nullopt;
    return QByteArray(contents.data(), qsizetype(contents.size()));
}

bool writeHostFile(const QString &path, const QByteArray &bytes) {
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool appendHostFile(const QString &path, const QByteArray &bytes) {
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}
