#include "build/producedfiles.h"

#include <QDir>

void ProducedFiles::add(const QString &path) {
    std::lock_guard lock(m_mutex);
    m_paths.insert(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

bool ProducedFiles::contains(const QString &path) const {
    QString key = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    std::lock_guard lock(m_mutex);
    return m_paths.contains(key);
}

bool ProducedFiles::isEmpty() const {
    std::lock_guard lock(m_mutex);
    return m_paths.isEmpty();
}

void ProducedFiles::clear() {
    std::lock_guard lock(m_mutex);
    m_paths.clear();
}
