#pragma once

#include "build/filetime.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <utility>
#include <vector>

class Builder;
class DependencyCache;
class ProducedFiles;

// Decides whether one output is current with respect to its inputs, and says why not in the
// log. An absent output is always out of date, even one without inputs; an input that is
// missing, later than the output, or written earlier in the same build makes it out of date.
// Input times are read once per check object, as the headers many objects share would
// otherwise be looked at for each of them; outputs are looked at every time. Use one object
// per project build: what steps write meanwhile is known through `produced`.
class UpToDateCheck {
public:
    // Reasons go to `log`; a null log makes the check quiet. `produced` may be null.
    explicit UpToDateCheck(Builder *log = nullptr, const ProducedFiles *produced = nullptr);
    ~UpToDateCheck();
    UpToDateCheck(UpToDateCheck &&other) noexcept;
    UpToDateCheck &operator=(UpToDateCheck &&other) = delete;

    // Relative inputs are taken from this directory (the step's working directory).
    void setBaseDirectory(const QString &directory);
    // The node asks to be rebuilt every time.
    void setAlwaysRebuild(bool always) { m_alwaysRebuild = always; }
    // Dependency files are read through this cache when it is given (it outlives the check).
    void setDependencyCache(DependencyCache *cache);

    bool isUpToDate(const QString &target, const QStringList &inputs) const;
    // An object file: its source and the files its dependency file names. A missing or
    // unreadable dependency file makes it out of date; an empty name means there is none.
    bool isObjectUpToDate(const QString &target, const QString &source,
                          const QString &dependencyFile) const;

    // What the step reports when its output is current.
    static QString upToDateText(const QString &target);

private:
    // Whether `target` is current with respect to `inputs` and the headers of the dependency
    // cache numbered `headers`.
    bool isCurrent(const QString &target, const FileTime &targetTime, const QStringList &inputs,
                   std::span<const quint32> headers = {}) const;
    QString resolve(const QString &path) const;
    // Where the system is to look up a resolved path: in the open base directory, the name
    // below it, when the path lies in it (the kernel then walks those names only, not the
    // whole path from the root); else AT_FDCWD and the whole name, which `name` keeps.
    std::pair<int, const char *> placeOf(const QByteArray &name) const;
    FileTime timeOf(const QString &path) const;
    void closeBaseDirectory();
    FileTime inputTime(const QString &input) const;
    // Inline for the time read already: a build with nothing to do asks for every header of
    // every object.
    FileTime headerTime(quint32 index) const {
        if (index < m_headerTimes.size() && m_headerTimes[index])
            return *m_headerTimes[index];
        return readHeaderTime(index);
    }
    FileTime readHeaderTime(quint32 index) const;
    void say(const QString &text) const;

    Builder *m_log;
    const ProducedFiles *m_produced;
    DependencyCache *m_dependencies = nullptr;
    QString m_baseDirectory;
    QByteArray m_basePrefix; // the base directory as the system names it, with a final '/'
    static constexpr int kNotOpened = -2;
    mutable int m_baseFd = kNotOpened; // -1 when the base directory could not be opened
    bool m_alwaysRebuild = false;
    mutable QHash<QString, FileTime> m_inputTimes; // by the name the input was given
    // By the dependency cache's number: a build with nothing to do asks for every header of
    // every object, and a name would be hashed each time.
    mutable std::vector<std::optional<FileTime>> m_headerTimes;
};
