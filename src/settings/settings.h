#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>

struct stat;

namespace QTx {
class LockFile;
}

// One settings file shared between running instances: name/value pairs that any instance
// may change at any time. Every read and write happens under the lock file F.lck; a write
// goes to F.new, keeps the previous file as F.bak and then replaces F, so F is always a
// complete file. `synchronize` folds what other instances wrote into the local changes.
//
// The file is XML of the document type "Palindor_Settings_File" with one
// <setting name="...">value</setting> line per entry, in name order.
class Settings {
public:
    Settings();

    void setPath(const QString &path);
    const QString &path() const { return m_path; }

    // The value, or an empty string when the name is absent or removed.
    QString value(const QString &name) const;
    // Whether the name holds a value (possibly empty) that is not removed: readers tell a
    // setting the user emptied from one never set, which takes its default.
    bool contains(const QString &name) const;
    // Stores the value as a local change, unless the entry already holds it.
    void setValue(const QString &name, const QString &value);
    // Marks the name removed; the next write leaves it out of the file and out of the file
    // it merges with.
    void remove(const QString &name);
    // The names that are not removed and that match the whole wildcard pattern, in name
    // order: "*" matches any text (also across "/"), "?" any one character, "[...]" one of
    // a set ("[!...]" or "[^...]" one not in it, "a-z" ranges); case-sensitive.
    QStringList keys(const QString &pattern = QStringLiteral("*")) const;

    // Replaces the entries with the file's. False (entries unchanged) when the file is
    // missing, cannot be locked or does not parse.
    bool load();
    // Writes the entries as they are. On success every entry is as written and removed
    // entries are forgotten; on failure nothing changes, so a later write retries.
    bool save();
    // Reloads a file that another instance changed; with local changes, merges them into
    // the file's current contents and writes the result, all under one lock. Returns
    // whether local changes were pending; hasLocalChanges() afterwards tells whether they
    // were written.
    bool synchronize();
    // Forgets every entry and moves the file aside to F.bak.
    void clear();

    bool hasLocalChanges() const { return m_localChanges; }
    // What went wrong in the last operation that failed; empty when the last file operation
    // succeeded.
    const QString &errorString() const { return m_error; }

private:
    enum State : std::uint8_t { Unchanged = 0, Set = 1, Removed = 2 };
    struct Entry {
        QString value;
        State state = Unchanged;
    };
    using Map = std::map<QString, Entry>;

    // What tells one version of the file from another without reading it: a replaced file
    // has a new inode, and the time keeps nanoseconds.
    struct Stamp {
        bool exists = false;
        std::int64_t seconds = 0;
        std::int64_t nanoseconds = 0;
        std::int64_t size = 0;
        std::uint64_t inode = 0;
        std::uint64_t device = 0;
        bool operator==(const Stamp &) const = default;
    };

    static Stamp stampOf(const struct stat &info);

    enum class ReadResult { Read, Missing, Failed };
    ReadResult readLocked(Map &entries, Stamp &stamp);
    bool writeLocked(const Map &entries, Stamp &stamp);
    bool lock(QTx::LockFile &lock);
    bool makeDirectory();
    bool fail(const QString &text);

    QString m_path;
    Map m_entries;
    Stamp m_stamp;
    bool m_localChanges = false;
    QString m_error;
};
