#include "build/dependencycache.h"

#include "build/dependencyfile.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr quint32 kMagic = 0x50444331; // "PDC1"
// Beyond this a damaged file is more likely than a real project.
constexpr quint32 kMaxEntries = 1u << 22;

// A list of numbers as QDataStream writes one (a count, then the numbers, big-endian), in one
// read: number by number, the reads cost more than the rest of a load together.
bool readNumbers(QDataStream &in, QByteArray &buffer, QList<quint32> &numbers) {
    quint32 count = 0;
    in >> count;
    const qint64 size = qint64(count) * qint64(sizeof(quint32));
    if (in.status() != QDataStream::Ok || size > in.device()->bytesAvailable()) {
        in.setStatus(QDataStream::ReadCorruptData);
        return false;
    }
    buffer.resize(size);
    if (in.readRawData(buffer.data(), int(size)) != size) {
        in.setStatus(QDataStream::ReadPastEnd);
        return false;
    }
    numbers.resize(count);
    qFromBigEndian<quint32>(buffer.constData(), count, numbers.data());
    return true;
}

} // namespace

std::optional<QList<quint32>> DependencyCache::inputsOf(const QString &path, int directory,
                                                        const char *name) {
    struct stat info;
    if (::fstatat(directory, name, &info, 0) != 0)
        return std::nullopt;
    const Entry key{
        qint64(info.st_mtim.tv_sec), qint32(info.st_mtim.tv_nsec), qint64(info.st_size), {}};
    auto found = m_entries.constFind(path);
    if (found != m_entries.cend() && found->seconds == key.seconds &&
        found->nanoseconds == key.nanoseconds && found->size == key.size)
        return found->inputs;
    Entry entry = key;
    const QStringList inputs = DependencyFile::read(path);
    entry.inputs.reserve(inputs.size());
    for (const QString &input : inputs)
        entry.inputs << indexOf(input);
    m_changed = true;
    return m_entries.insert(path, std::move(entry))->inputs;
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
    // Read from memory: the stream asks how much is left once per entry, which a file
    // answers with a system call.
    const QByteArray content = file.readAll();
    QDataStream in(content);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint32 count = 0;
    in >> magic >> count;
    if (magic != kMagic || count > kMaxEntries)
        return;
    // Headers are shared by many objects: the file names each once.
    QStringList names;
    in >> names;
    QHash<QString, Entry> entries;
    QByteArray buffer;
    for (quint32 n = 0; n < count && in.status() == QDataStream::Ok; ++n) {
        QString path;
        Entry entry;
        in >> path >> entry.seconds >> entry.nanoseconds >> entry.size;
        if (!readNumbers(in, buffer, entry.inputs))
            break;
        if (std::any_of(entry.inputs.cbegin(), entry.inputs.cend(),
                        [&](quint32 index) { return index >= quint32(names.size()); })) {
            in.setStatus(QDataStream::ReadCorruptData);
            break;
        }
        entries.insert(path, std::move(entry));
    }
    if (in.status() == QDataStream::Ok && in.atEnd()) {
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
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile file(cacheFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << quint32(m_entries.size()) << names;
    for (auto at = m_entries.cbegin(); at != m_entries.cend(); ++at) {
        QList<quint32> indexes;
        indexes.reserve(at->inputs.size());
        for (quint32 input : at->inputs)
            indexes << quint32(renumbered[input]);
        out << at.key() << at->seconds << at->nanoseconds << at->size << indexes;
    }
    if (out.status() != QDataStream::Ok || !file.commit())
        return false;
    m_changed = false;
    return true;
}
