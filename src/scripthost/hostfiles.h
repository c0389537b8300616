#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// File access shared by the host objects. Reading takes only regular files up to the
// project's size cap; writing replaces a file only once its new content is complete.
std::optional<QByteArray> readHostFile(const QString &path);
bool writeHostFile(const QString &path, const QByteArray &bytes);
bool appendHostFile(const QString &path, const QByteArray &bytes);
