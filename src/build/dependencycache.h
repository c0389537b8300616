#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

// What the dependency files of a project's objects said, kept between builds in one file, so
// that a build with nothing to do need not open and parse a dependency file per object. An
// entry holds while its dependency file keeps the time and size it had when it was read;
// a compile that rewrites the file makes the entry stale.
class DependencyCache {
public:
    // The inputs the dependency file at `path` names, as indexes for name(), from the cache
    // while the file is unchanged, read again otherwise. Nothing when the file does not exist;
    // throws HException as DependencyFile::read does.
    // `systemName` is `path` as the system names it (FileTime::systemName()), the entry's key.
    // The file's time and size are looked at as `name` in the open `directory` (AT_FDCWD: the
    // working directory), the same file as `path`, which names it for the reading.
    std::optional<QList<quint32>> inputsOf(const QString &path, const QByteArray &systemName,
                                           int directory, const char *name);
    // An input by its index, which holds for the life of the cache: headers shared by many
    // objects are one name, looked up by number.
    const QString &name(quint32 index) const { return m_names.at(index); }
    quint32 size() const { return quint32(m_names.size()); } // the names known so far

    // Takes the entries of a cache file; a missing, foreign or damaged file leaves the cache
    // empty, as the dependency files themselves are still there to read.
    void load(const QString &cacheFile);
    // Writes the cache file when an entry changed since it was loaded (atomically: a build
    // stopped midway leaves the old file). False when it cannot be written.
    bool save(const QString &cacheFile);

private:
    struct Entry {
        qint64 seconds = 0;
        qint32 nanoseconds = 0;
        qint64 size = 0;
        QList<quint32> inputs; // indexes of m_names
    };
    quint32 indexOf(const QString &name);

    // By the dependency file's path as given, in the system's bytes: a cache file holds them
    // as they are, and loading one converts no text.
    QHash<QByteArray, Entry> m_entries;
    QStringList m_names;
    QHash<QString, quint32> m_indexes; // of m_names, made when a dependency file is read
    bool m_changed = false;
};
