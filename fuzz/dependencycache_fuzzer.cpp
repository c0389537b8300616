// Reads arbitrary bytes as a dependency cache file, then has it read a dependency file and
// saved. Whatever the bytes were, the saved cache must load again and give the same inputs.
#include "build/dependencycache.h"
#include "build/filetime.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <fcntl.h>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void write(const QString &path, const char *data, qint64 size) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(file.write(data, size) == size);
}

QStringList inputs(DependencyCache &cache, const QString &path) {
    const QByteArray name = FileTime::systemName(path);
    const std::optional<QList<quint32>> found = cache.inputsOf(path, name, AT_FDCWD, name);
    check(found.has_value());
    QStringList result;
    for (quint32 index : *found)
        result << cache.name(index);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QTemporaryDir directory;
    static const QString dependencies = [] {
        const QString path = directory.filePath(QStringLiteral("x.o.d"));
        const char text[] = "x.o: x.c a.h \\\n b.h\n";
        write(path, text, qint64(sizeof text - 1));
        return path;
    }();
    const QString cacheFile = directory.filePath(QStringLiteral("deps.cache"));
    write(cacheFile, reinterpret_cast<const char *>(data), qint64(size));

    DependencyCache cache;
    cache.load(cacheFile);
    for (quint32 i = 0; i < cache.size(); ++i)
        (void)cache.name(i).size();
    const QStringList read = inputs(cache, dependencies);
    check(cache.save(cacheFile));
    DependencyCache again;
    again.load(cacheFile);
    check(inputs(again, dependencies) == read);
    return 0;
}
