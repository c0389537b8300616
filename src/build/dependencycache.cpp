#include "build/dependencycache.h"

#include "build/dependencyfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr quint32 kMagic = 0x50444332; // "PDC2"
// The fewest bytes an entry takes: its path's and its inputs' counts, the time and the size.
constexpr quint64 kEntryBytes = 4 + 8 + 4 + 8 + 4;

// The file is big-endian numbers and texts led by their byte count, read straight from
// memory: a stream's checks per value cost more than the rest of a load together.
class Reader {
public:
    explicit Reader(const QByteArray &data)
        : m_at(data.constData()), m_end(data.constData() + data.size()) {}

    bool ok() const { return m_ok; }
    bool atEnd() const { return m_at == m_end; }

    template <typename T> T number() {
        if (!take(sizeof(T)))
            return 0;
        return qFromBigEndian<T>(m_at - sizeof(T));
    }
    QByteArray bytes() {
        const quint32 size = number<quint32>();
        return take(size) ? QByteArray(m_at - size, qsizetype(size)) : QByteArray();
    }
    // A count, then that many numbers.
    bool numbers(QList<quint32> &out) {
        const quint32 count = number<quint32>();
        if (!m_ok || quint64(count) * sizeof(quint32) > quint64(m_end - m_at))
            return m_ok = false;
        out.resize(count);
        qFromBigEndian<quint32>(m_at, count, out.data());
        m_at += count * sizeof(quint32);
        return true;
    }

private:
    bool take(quint64 size) {
        if (!m_ok || size > quint64(m_end - m_at))
            return m_ok = false;
        m_at += size;
        return true;
    }

    const char *m_at;
    const char *m_end;
    bool m_ok = true;
};

template <typename T> void put(QByteArray &out, T value) {
    char bytes[sizeof(T)];
    qToBigEndian<T>(value, bytes);
    out.append(bytes, sizeof(T));
}

void putBytes(QByteArray &out, const QByteArray &bytes) {
    put<quint32>(out, quint32(bytes.size()));
    out.append(bytes);
}

} // namespace

std::optional<QList<quint32>> DependencyCache::inputsOf(const QString &path,
                                                        const QByteArray &systemName, int directory,
                                                        const char *name) {
    struct stat info;
    if (::fstatat(directory, name, &info, 0) != 0)
        return std::nullopt;
    const Entry key{
        qint64(info.st_mtim.tv_sec), qint32(info.st_mtim.tv_nsec), qint64(info.st_size), {}};
    auto found = m_entries.constFind(systemName);
    if (found != m_entries.cend() && found->seconds == key.seconds &&
        found->nanoseconds == key.nanoseconds && found->size == key.size)
        return found->inputs;
    Entry entry = key;
    const QStringList inputs = DependencyFile::read(path);
    entry.inputs.reserve(inputs.size());
    for (const QString &input : inputs)
        entry.inputs << indexOf(input);
    m_changed = true;
    return m_entries.insert(systemName, std::move(entry))->inputs;
}

quint32 DependencyCache::indexOf(const QString &name) {
    if (m_indexes.isEmpty())
        for (qsizetype i = 0; i < m_names.size(); ++i)
            m_indexes.insert(m_names.at(i), quint32(i));
    auto found = m_indexes.constFind(name);
    if (found != m_indexes.cend())
        return *found;
    m_names << name;
    return *m_indexes.insert(name, quint32(m_names.size() - 1));
}

void DependencyCache::load(const QString &cacheFile) {
    m_entries.clear();
    m_names.clear();
    m_indexes.clear();
    m_changed = false;
    QFile file(cacheFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    Reader in(content);
    const quint32 magic = in.number<quint32>();
    const quint32 count = in.number<quint32>();
    // Headers are shared by many objects: the file names each once.
    const quint32 nameCount = in.number<quint32>();
    // Counts a damaged file could not hold are not reserved for.
    if (!in.ok() || magic != kMagic || quint64(count) * kEntryBytes > quint64(content.size()) ||
        quint64(nameCount) * sizeof(quint32) > quint64(content.size()))
        return;
    QStringList names;
    names.reserve(nameCount);
    for (quint32 n = 0; n < nameCount && in.ok(); ++n)
        names << QString::fromUtf8(in.bytes());
    QHash<QByteArray, Entry> entries;
    entries.reserve(count);
    for (quint32 n = 0; n < count && in.ok(); ++n) {
        QByteArray path = in.bytes();
        Entry entry;
        entry.seconds = in.number<qint64>();
        entry.nanoseconds = in.number<qint32>();
        entry.size = in.number<qint64>();
        if (!in.numbers(entry.inputs) ||
            std::any_of(entry.inputs.cbegin(), entry.inputs.cend(),
                        [&](quint32 index) { return index >= quint32(names.size()); }))
            return;
        entries.insert(std::move(path), std::move(entry));
    }
    if (in.ok() && in.atEnd()) {
        m_entries = std::move(entries);
        m_names = std::move(names);
    }
}

bool DependencyCache::save(const QString &cacheFile) {
    if (!m_changed)
        return true;
    // Only the names an entry still uses, numbered afresh.
    std::vector<qint64> renumbered(std::size_t(m_names.size()), -1);
    QStringList names;
    for (const Entry &entry : std::as_const(m_entries))
        for (quint32 input : entry.inputs)
            if (renumbered[input] < 0) {
                renumbered[input] = names.size();
                names << m_names.at(input);
            }
    QByteArray out;
    put<quint32>(out, kMagic);
    put<quint32>(out, quint32(m_entries.size()));
    put<quint32>(out, quint32(names.size()));
    for (const QString &name : std::as_const(names))
        putBytes(out, name.toUtf8());
    for (auto at = m_entries.cbegin(); at != m_entries.cend(); ++at) {
        putBytes(out, at.key());
        put<qint64>(out, at->seconds);
        put<qint32>(out, at->nanoseconds);
        put<qint64>(out, at->size);
        put<quint32>(out, quint32(at->inputs.size()));
        for (quint32 input : at->inputs)
            put<quint32>(out, quint32(renumbered[input]));
    }
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile file(cacheFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit())
        return false;
    m_changed = false;
    return true;
}
