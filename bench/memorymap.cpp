// Loading a large memory map through MemoryMap with preprocessing on (parse, preprocessing,
// imports, address evaluation), against the plain XML parse of the same file.
//
//   bench_memorymap [benchmark options] [--file=PATH]   the timed comparison
//   bench_memorymap --compare ROUNDS PATH                best CPU time of each, and the ratio
//   bench_memorymap --load PATH                          load once and exit (whole-process timing)
#include "memorymap/memorymap.h"
#include "project/macroexpander.h"
#include "xml/xmldocument.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

std::string g_path = PALINDOR_BENCH_MEMORYMAP_PP;
// The macros the wrapped file's <if> holds for.
constexpr char kMacros[] = "FAMILY=BENCH";

double cpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

const MacroExpander &macroSet() {
    static const MacroExpander macros;
    return macros;
}

// The documents of a round, kept apart so that freeing them is not timed.
struct Loaded {
    std::unique_ptr<XMLDocument> plain;
    std::unique_ptr<MemoryMap> map;
};

bool parsePlain(const std::string &path, Loaded &into) {
    into.plain = std::make_unique<XMLDocument>();
    return into.plain->parseFile(path);
}

bool loadMap(const std::string &path, Loaded &into) {
    into.map = std::make_unique<MemoryMap>(macroSet());
    return into.map->load(path, kMacros, true) && !into.map->segments().empty();
}

template <bool kPreprocess> void load(benchmark::State &state) {
    for (auto _ : state) {
        Loaded loaded;
        if (!(kPreprocess ? loadMap(g_path, loaded) : parsePlain(g_path, loaded)))
            state.SkipWithError("load failed");
        state.PauseTiming();
        loaded = {};
        state.ResumeTiming();
    }
}

// Alternates the two and keeps each one's fastest round, which filters out the noise of a
// shared machine better than averages do.
int compare(int rounds, const std::string &path) {
    double best[2] = {1e30, 1e30};
    for (int round = 0; round < rounds; ++round) {
        for (int preprocess = 0; preprocess < 2; ++preprocess) {
            Loaded loaded;
            double start = cpuMilliseconds();
            if (!(preprocess ? loadMap(path, loaded) : parsePlain(path, loaded))) {
                std::fprintf(stderr, "bench_memorymap: cannot load %s\n", path.c_str());
                return 1;
            }
            best[preprocess] = std::min(best[preprocess], cpuMilliseconds() - start);
        }
    }
    std::printf("load, best of %d (CPU): plain parse %.1f ms, memory map with preprocessing "
                "%.1f ms, ratio %.2f (preprocessing and addresses %.2f of the parse)\n",
                rounds, best[0], best[1], best[1] / best[0], (best[1] - best[0]) / best[0]);
    return 0;
}

int loadOnce(const char *path) {
    MemoryMap map(macroSet());
    if (!map.load(path, kMacros, true)) {
        std::fprintf(stderr, "bench_memorymap: %s\n", map.errorText().c_str());
        return 1;
    }
    std::printf("%zu segments\n", map.segments().size());
    return 0;
}

} // namespace

BENCHMARK(load<false>)->Name("parsePlain")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(load<true>)->Name("loadPreprocessed")->Unit(benchmark::kMillisecond)->MinTime(2);

int main(int argc, char **argv) {
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::printf("usage: bench_memorymap [benchmark options] [--file=PATH]\n"
                    "       bench_memorymap --compare ROUNDS PATH\n"
                    "       bench_memorymap --load PATH\n");
        return 0;
    }
    if (argc == 4 && !std::strcmp(argv[1], "--compare"))
        return compare(std::max(1, std::atoi(argv[2])), argv[3]);
    if (argc == 3 && !std::strcmp(argv[1], "--load"))
        return loadOnce(argv[2]);
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--file=", 7))
            g_path = argv[i] + 7;
    }
    std::printf("file: %s\n", g_path.c_str());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
