// Parse time of our reader and of pugixml on the same memory map (both from a buffer in
// memory, tree destruction not timed), and the writer's throughput.
//
//   bench_xml [benchmark options] [--file=PATH]     the timed comparison
//   bench_xml --parse-only [ours|pugixml|none] PATH  parse once and exit, for /usr/bin/time
//   bench_xml --compare ROUNDS PATH                  best parse time of each, and the ratio
//   bench_xml --write ROUNDS PATH                    best write throughput
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"
#include "xml/xmlwriter.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <streambuf>

#include <sys/resource.h>

namespace {

std::string g_path = PALINDOR_BENCH_MEMORYMAP;
std::string g_text;

std::string readAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "bench_xml: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return out.str();
}

// Counts what the writer produces, so that the figure is the writer's and not a disk's.
class CountingBuffer : public std::streambuf {
public:
    std::size_t count = 0;

protected:
    std::streamsize xsputn(const char *, std::streamsize n) override {
        count += std::size_t(n);
        return n;
    }
    int overflow(int c) override {
        ++count;
        return c;
    }
};

enum class Reader { Ours, Pugixml };

// The documents of a parse, kept apart so that freeing them is not timed.
struct Parsed {
    std::unique_ptr<XMLDocument> ours;
    std::unique_ptr<pugi::xml_document> pugixml;
};

bool parseText(Reader reader, const std::string &text, Parsed &into) {
    if (reader == Reader::Ours) {
        into.ours = std::make_unique<XMLDocument>();
        return into.ours->parse(std::string_view(text));
    }
    into.pugixml = std::make_unique<pugi::xml_document>();
    return bool(into.pugixml->load_buffer(text.data(), text.size()));
}

template <Reader kReader> void parse(benchmark::State &state) {
    for (auto _ : state) {
        Parsed parsed;
        if (!parseText(kReader, g_text, parsed))
            state.SkipWithError("parse failed");
        state.PauseTiming();
        parsed = {};
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * g_text.size()));
}

void writeOurs(benchmark::State &state) {
    XMLDocument document;
    if (!document.parse(g_text)) {
        state.SkipWithError(document.errorText().c_str());
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        document.write(out, 2, 75);
        bytes += buffer.count;
    }
    state.SetBytesProcessed(std::int64_t(bytes));
}

double cpuMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Loads the file as a tool would (straight from the file) and reports the CPU time and the
// peak resident size; a fresh process starts with a clean heap, as a tool that loads one
// document does. "none" shows the program's own baseline.
int parseOnce(const char *which, const char *path) {
    double start = cpuMilliseconds();
    if (!std::strcmp(which, "ours")) {
        XMLDocument document;
        if (!document.parseFile(path)) {
            std::fprintf(stderr, "%s\n", document.errorText().c_str());
            return 1;
        }
    } else if (!std::strcmp(which, "pugixml")) {
        pugi::xml_document document;
        if (!document.load_file(path))
            return 1;
    } else if (std::strcmp(which, "none")) {
        std::fprintf(stderr, "bench_xml: unknown reader %s\n", which);
        return 2;
    }
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%s: loaded and freed in %.1f ms CPU, peak resident %ld KiB\n", which,
                cpuMilliseconds() - start, usage.ru_maxrss);
    return 0;
}

// Alternates the two readers and keeps each one's fastest parse, which filters out the
// noise of a shared machine better than averages do.
int compare(int rounds, const char *path) {
    std::string text = readAll(path);
    double best[2] = {1e30, 1e30};
    for (int round = 0; round < rounds; ++round) {
        for (Reader reader : {Reader::Ours, Reader::Pugixml}) {
            Parsed parsed;
            double start = cpuMilliseconds();
            if (!parseText(reader, text, parsed))
                return 1;
            double &slot = best[reader == Reader::Ours ? 0 : 1];
            slot = std::min(slot, cpuMilliseconds() - start);
        }
    }
    std::printf("parse, best of %d (CPU): ours %.1f ms, pugixml %.1f ms, ratio %.2f\n", rounds,
                best[0], best[1], best[0] / best[1]);
    return 0;
}

// The writer's best throughput over the rounds, in MB/s of output (CPU time).
int writeRate(int rounds, const char *path) {
    XMLDocument document;
    if (!document.parseFile(path)) {
        std::fprintf(stderr, "%s\n", document.errorText().c_str());
        return 1;
    }
    double best = 1e30;
    std::size_t bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        double start = cpuMilliseconds();
        document.write(out, 2, 75);
        best = std::min(best, cpuMilliseconds() - start);
        bytes = buffer.count;
    }
    std::printf("write, best of %d (CPU): %zu bytes in %.1f ms, %.0f MB/s\n", rounds, bytes, best,
                double(bytes) / 1e3 / best);
    return 0;
}

} // namespace

// CPU time: the figures are meant for shared machines, where wall time mostly measures the
// neighbours. The first parse of a process pays for fresh pages, hence the longer minimum.
BENCHMARK(parse<Reader::Ours>)->Name("parseOurs")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(parse<Reader::Pugixml>)->Name("parsePugixml")->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(writeOurs)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    if (argc == 4 && !std::strcmp(argv[1], "--parse-only"))
        return parseOnce(argv[2], argv[3]);
    if (argc == 4 && !std::strcmp(argv[1], "--compare"))
        return compare(std::atoi(argv[2]), argv[3]);
    if (argc == 4 && !std::strcmp(argv[1], "--write"))
        return writeRate(std::atoi(argv[2]), argv[3]);
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--file=", 7))
            g_path = argv[i] + 7;
    }
    g_text = readAll(g_path);
    std::printf("file: %s (%zu bytes)\n", g_path.c_str(), g_text.size());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
