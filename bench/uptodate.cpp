// The up-to-date check of a no-op build.
//   bench_uptodate --check DIR COUNT   checks obj/N.o against src/N.c and obj/N.o.d for
//                                      N < COUNT, as a no-op build does; exit 1 if any is
//                                      out of date; the dependency files are read through
//                                      the cache file obj/dependencies.cache
// The sources, headers, objects and dependency files are written by bench/uptodate.sh.
#include "build/dependencycache.h"
#include "build/producedfiles.h"
#include "build/uptodatecheck.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int outOfDate(const QString &directory, int count) {
    // As a build does: what the dependency files said last time comes from one cache file.
    const QString cacheFile = directory + QStringLiteral("/obj/dependencies.cache");
    DependencyCache dependencies;
    dependencies.load(cacheFile);
    ProducedFiles produced;
    UpToDateCheck check(nullptr, &produced);
    check.setBaseDirectory(directory);
    check.setDependencyCache(&dependencies);
    int stale = 0;
    for (int n = 0; n < count; ++n) {
        QString object = QStringLiteral("obj/%1.o").arg(n);
        if (!check.isObjectUpToDate(object, QStringLiteral("src/%1.c").arg(n), object + ".d"))
            ++stale;
    }
    dependencies.save(cacheFile);
    return stale;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--check") == 0) {
        int stale = outOfDate(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
        if (stale)
            std::printf("%d out of date\n", stale);
        return stale ? 1 : 0;
    }
    std::fprintf(stderr, "usage: bench_uptodate --check DIR COUNT\n");
    return 1;
}
