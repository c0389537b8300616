#include "settings/settings.h"

#include "core/qtxlockfile.h"
#include "settings/settingsformat.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray nativePath(const QString &path) {
    return QFile::encodeName(path);
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes all bytes, resuming after interruptions and short writes.
bool writeAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

bool readAll(int fd, std::string &out) {
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (count == 0)
            return true;
        out.append(buffer, std::size_t(count));
    }
}

// Copies `from` to `to` for file systems without hard links.
bool copyFile(const QByteArray &from, const QByteArray &to) {
    int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    std::string bytes;
    bool ok = readAll(in, bytes);
    ::close(in);
    int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (!ok || out < 0) {
        if (out >= 0)
            ::close(out);
        return false;
    }
    ok = writeAll(out, bytes.data(), bytes.size()) && ::fsync(out) == 0;
    return ::close(out) == 0 && ok;
}

} // namespace

Settings::Settings() = default;

Settings::Stamp Settings::stampOf(const struct stat &info) {
    return Stamp{true,         info.st_mtim.tv_sec,        info.st_mtim.tv_nsec,
                 info.st_size, std::uint64_t(info.st_ino), std::uint64_t(info.st_dev)};
}

void Settings::setPath(const QString &path) {
    m_path = path;
}

QString Settings::value(const QString &name) const {
    auto found = m_entries.find(name);
    if (found == m_entries.end() || found->second.state == Removed)
        return QString();
    return found->second.value;
}

bool Settings::contains(const QString &name) const {
    auto found = m_entries.find(name);
    return found != m_entries.end() && found->second.state != Removed;
}

void Settings::setValue(const QString &name, const QString &value) {
    auto found = m_entries.find(name);
    if (found != m_entries.end() && found->second.state != Removed && found->second.value == value)
        return;
    m_entries[name] = Entry{value, Set};
    m_localChanges = true;
}

void Settings::remove(const QString &name) {
    // Kept as a removed entry even when unknown here: the merge then removes the name from
    // a file that another instance gave it.
    m_entries[name].state = Removed;
    m_localChanges = true;
}

namespace {

// One "[...]" set at `p` (just after the "["); advances `p` past the "]". An unterminated
// set makes the "[" an ordinary character, reported by returning false.
bool matchSet(const QChar *&p, const QChar *end, QChar c, bool &matched) {
    const QChar *q = p;
    bool negate = q < end && (*q == u'!' || *q == u'^');
    q += negate;
    bool found = false;
    bool first = true;
    while (q < end && (*q != u']' || first)) {
        first = false;
        QChar low = *q++;
        QChar high = low;
        if (q + 1 < end && *q == u'-' && q[1] != u']') {
            high = q[1];
            q += 2;
        }
        found = found || (low <= c && c <= high);
    }
    if (q == end)
        return false;
    p = q + 1;
    matched = found != negate;
    return true;
}

// Whole-text wildcard match; backtracks only to the last "*", which keeps it linear in
// practice and quadratic at worst.
bool wildcardMatch(const QString &pattern, const QString &text) {
    const QChar *p = pattern.constData(), *pend = p + pattern.size();
    const QChar *t = text.constData(), *tend = t + text.size();
    const QChar *starP = nullptr, *starT = nullptr;
    while (t < tend) {
        if (p < pend && *p == u'*') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pend) {
            const QChar *next = p;
            bool matched = false;
            if (*p == u'?') {
                matched = true;
                next = p + 1;
            } else if (*p == u'[') {
                next = p + 1;
                if (!matchSet(next, pend, *t, matched)) {
                    matched = *t == u'[';
                    next = p + 1;
                }
            } else {
                matched = *p == *t;
                next = p + 1;
            }
            if (matched) {
                p = next;
                ++t;
                continue;
            }
        }
        if (!starP)
            return false;
        p = starP;
        t = ++starT;
    }
    while (p < pend && *p == u'*')
        ++p;
    return p == pend;
}

} // namespace

QStringList Settings::keys(const QString &pattern) const {
    QStringList names;
    for (const auto &[name, entry] : m_entries) {
        if (entry.state != Removed && wildcardMatch(pattern, name))
            names.append(name);
    }
    return names;
}

bool Settings::fail(const QString &text) {
    m_error = text;
    return false;
}

bool Settings::lock(QTx::LockFile &lock) {
    if (lock.lock())
        return true;
    return fail(lock.errorString());
}

bool Settings::makeDirectory() {
    QString directory = QFileInfo(m_path).absolutePath();
    if (QDir().mkpath(directory))
        return true;
    return fail(QStringLiteral("couldn't create directory %1").arg(directory));
}

Settings::ReadResult Settings::readLocked(Map &entries, Stamp &stamp) {
    const QByteArray path = nativePath(m_path);
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        fail(QStringLiteral("couldn't read %1: %2").arg(m_path, systemError(errno)));
        return ReadResult::Failed;
    }
    struct stat info {};
    std::string bytes;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readAll(fd, bytes);
    int error = errno;
    ::close(fd);
    if (!ok) {
        fail(QStringLiteral("couldn't read %1: %2")
                 .arg(m_path, S_ISDIR(info.st_mode) ? systemError(EISDIR) : systemError(error)));
        return ReadResult::Failed;
    }
    std::map<QString, QString> values;
    QString why;
    if (!parseSettingsText(bytes, values, why)) {
        fail(QStringLiteral("couldn't read %1: %2").arg(m_path, why));
        return ReadResult::Failed;
    }
    entries.clear();
    for (auto &[name, value] : values)
        entries.emplace_hint(entries.end(), name, Entry{std::move(value), Unchanged});
    stamp = stampOf(info);
    return ReadResult::Read;
}

bool Settings::writeLocked(const Map &entries, Stamp &stamp) {
    std::string text(kSettingsHeader);
    for (const auto &[name, entry] : entries) {
        if (entry.state != Removed)
            appendSettingLine(text, name, entry.value);
    }
    text += kSettingsFooter;

    const QByteArray path = nativePath(m_path);
    const QByteArray newPath = path + ".new";
    const QByteArray backupPath = path + ".bak";
    auto writeFailed = [&](const QByteArray &what, int error) {
        ::unlink(newPath.constData());
        return fail(QStringLiteral("couldn't write %1: %2")
                        .arg(QFile::decodeName(what), systemError(error)));
    };

    // A leftover F.new of a writer that died is simply overwritten: we hold the lock.
    struct stat existing;
    const bool haveFile = ::stat(path.constData(), &existing) == 0;
    int fd = ::open(newPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                    haveFile ? (existing.st_mode & 0777) : 0666);
    if (fd < 0)
        return fail(QStringLiteral("couldn't write %1: %2")
                        .arg(QFile::decodeName(newPath), systemError(errno)));
    // Every byte on the disk before the rename, or a crash could install an empty file.
    if (!writeAll(fd, text.data(), text.size()) || ::fsync(fd) != 0) {
        int error = errno;
        ::close(fd);
        return writeFailed(newPath, error);
    }
    if (::close(fd) != 0)
        return writeFailed(newPath, errno);

    // F.bak as a second name of F, so that F itself stays in place until the rename below
    // replaces it in one step.
    if (haveFile) {
        if (::unlink(backupPath.constData()) != 0 && errno != ENOENT)
            return writeFailed(backupPath, errno);
        if (::link(path.constData(), backupPath.constData()) != 0 && !copyFile(path, backupPath))
            return writeFailed(backupPath, errno);
    }
    if (::rename(newPath.constData(), path.constData()) != 0)
        return writeFailed(path, errno);

    struct stat info;
    if (::stat(path.constData(), &info) == 0)
        stamp = stampOf(info);
    else
        stamp = Stamp{};
    return true;
}

bool Settings::load() {
    m_error.clear();
    if (!QFileInfo::exists(m_path))
        return fail(QStringLiteral("couldn't read %1: %2").arg(m_path, systemError(ENOENT)));
    QTx::LockFile guard(m_path + QStringLiteral(".lck"));
    if (!lock(guard))
        return false;
    Map entries;
    Stamp stamp;
    switch (readLocked(entries, stamp)) {
    case ReadResult::Missing:
        return fail(QStringLiteral("couldn't read %1: %2").arg(m_path, systemError(ENOENT)));
    case ReadResult::Failed:
        return false;
    case ReadResult::Read:
        break;
    }
    m_entries = std::move(entries);
    m_stamp = stamp;
    m_localChanges = false;
    return true;
}

bool Settings::save() {
    m_error.clear();
    // The lock file lives in F's directory, so the directory comes first.
    if (!makeDirectory())
        return false;
    QTx::LockFile guard(m_path + QStringLiteral(".lck"));
    if (!lock(guard))
        return false;
    Stamp stamp;
    if (!writeLocked(m_entries, stamp))
        return false;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.state == Removed) {
            it = m_entries.erase(it);
        } else {
            it->second.state = Unchanged;
            ++it;
        }
    }
    m_stamp = stamp;
    m_localChanges = false;
    return true;
}

bool Settings::synchronize() {
    m_error.clear();
    const bool pending = m_localChanges;
    if (!pending) {
        // Nothing to write: only take in what others wrote.
        if (!QFileInfo::exists(m_path))
            return false;
        QTx::LockFile guard(m_path + QStringLiteral(".lck"));
        if (!lock(guard))
            return false;
        struct stat info;
        if (::stat(nativePath(m_path).constData(), &info) != 0)
            return false;
        const Stamp now = stampOf(info);
        if (now == m_stamp)
            return false;
        Map entries;
        Stamp stamp;
        if (readLocked(entries, stamp) == ReadResult::Read) {
            m_entries = std::move(entries);
            m_stamp = stamp;
        }
        return false;
    }

    if (!makeDirectory())
        return pending;
    QTx::LockFile guard(m_path + QStringLiteral(".lck"));
    if (!lock(guard))
        return pending;
    // Check, read, merge and write under the one lock: a writer that slipped in between
    // would otherwise be overwritten. The file is read even when its stamp looks unchanged,
    // since a stamp can miss a writer that another cannot.
    Map merged;
    Stamp stamp;
    switch (readLocked(merged, stamp)) {
    case ReadResult::Failed:
        return pending;
    case ReadResult::Missing:
        for (const auto &[name, entry] : m_entries) {
            if (entry.state != Removed)
                merged.emplace_hint(merged.end(), name, Entry{entry.value, Unchanged});
        }
        break;
    case ReadResult::Read:
        for (const auto &[name, entry] : m_entries) {
            if (entry.state == Set)
                merged[name] = Entry{entry.value, Unchanged};
            else if (entry.state == Removed)
                merged.erase(name);
        }
        break;
    }
    // The merged entries replace ours only once they are on the disk; until then the local
    // changes stay pending for the next attempt.
    if (!writeLocked(merged, stamp))
        return pending;
    m_entries = std::move(merged);
    m_stamp = stamp;
    m_localChanges = false;
    return pending;
}

void Settings::clear() {
    m_error.clear();
    m_entries.clear();
    m_stamp = Stamp{};
    m_localChanges = false;
    if (!QFileInfo::exists(m_path))
        return;
    QTx::LockFile guard(m_path + QStringLiteral(".lck"));
    if (!lock(guard))
        return;
    // One rename replaces F.bak with F.
    const QByteArray path = nativePath(m_path);
    if (::rename(path.constData(), (path + ".bak").constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("couldn't rename %1: %2").arg(m_path, systemError(errno)));
}
