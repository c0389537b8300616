// Expansions per second for a 1 KB text holding 20 references, and the allocations each
// expansion makes; a text without "$" must make none.
#include "allocationcounter.h"
#include "project/macroexpander.h"
#include "project/systemmacros.h"

#include <benchmark/benchmark.h>

namespace {

struct Setup {
    MacroExpander expander;
    MacroMap local;
    std::string references; // 1 KB, 20 references
    std::string plain;      // 1 KB, no "$"

    Setup() {
        registerSystemMacros(expander);
        expander.setGlobalMacrosFromList("BoardName=NucleoBoard;Toolchain=/opt/gcc-arm");
        local = MacroMap::fromList("ProjectName=blinky;Configuration=Debug;OutDir=out/Debug;"
                                   "InputName=main;InputExt=c;IntDir=obj/Debug");
        const char *names[] = {"ProjectName", "Configuration", "OutDir",    "InputName",
                               "InputExt",    "IntDir",        "BoardName", "Toolchain",
                               "TovanDir",    "HostOS",        "Undefined", "Z:default"};
        for (int i = 0; references.size() < 1024; ++i) {
            if (i < 20) {
                references += "$(";
                references += names[i % std::size(names)];
                references += ")";
            }
            references += " -option-text";
        }
        references.resize(1024);
        plain.assign(1024, 'x');
    }
};

const Setup &setup() {
    static const Setup s;
    return s;
}

void reportAllocations(benchmark::State &state, long allocations) {
    state.counters["allocs_per_expansion"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void BM_TwentyReferences(benchmark::State &state) {
    const Setup &s = setup();
    long before = allocationCount();
    for (auto _ : state) {
        std::string text = s.expander.expand(s.references, s.local);
        benchmark::DoNotOptimize(text.data());
    }
    reportAllocations(state, allocationCount() - before);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(s.references.size()));
}
BENCHMARK(BM_TwentyReferences);

void BM_PlainTextInPlace(benchmark::State &state) {
    const Setup &s = setup();
    std::string text = s.plain;
    long before = allocationCount();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.expander.expandInPlace(text, s.local));
    long allocations = allocationCount() - before;
    reportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
    if (allocations != 0)
        state.SkipWithError("a text without \"$\" allocated");
}
BENCHMARK(BM_PlainTextInPlace);

void BM_PlainTextByValue(benchmark::State &state) {
    const Setup &s = setup();
    std::string text = s.plain;
    long before = allocationCount();
    for (auto _ : state) {
        text = s.expander.expand(std::move(text), s.local);
        benchmark::DoNotOptimize(text.data());
    }
    long allocations = allocationCount() - before;
    reportAllocations(state, allocations);
    state.SetItemsProcessed(state.iterations());
    if (allocations != 0 || text != s.plain)
        state.SkipWithError("a text without \"$\" allocated or changed");
}
BENCHMARK(BM_PlainTextByValue);

} // namespace

BENCHMARK_MAIN();
