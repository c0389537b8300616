// The C parser over 100,000 lines of the system's C headers, as the editor parses them (one
// shared markup buffer, the state carried): bytes of UTF-16 text per second (the aim is
// 200 MB/s), and the heap allocations per line, which must be none.
#include "allocationcounter.h"
#include "editor/codeeditcparser.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::u16string> &headerLines() {
    static const std::vector<std::u16string> lines = [] {
        std::vector<std::u16string> result;
        QDir include("/usr/include");
        for (const QString &name : include.entryList({"*.h"}, QDir::Files, QDir::Name)) {
            QFile file(include.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            for (const QString &line : QString::fromUtf8(file.readAll()).split('\n')) {
                result.emplace_back(reinterpret_cast<const char16_t *>(line.utf16()),
                                    std::size_t(line.size()));
                if (result.size() == 100000)
                    return result;
            }
        }
        // fewer headers than that: repeat them
        for (std::size_t i = 0; !result.empty() && result.size() < 100000; ++i)
            result.push_back(result[i]);
        return result;
    }();
    return lines;
}

void CParserOverHeaders(benchmark::State &state) {
    const auto &lines = headerLines();
    if (lines.empty()) {
        state.SkipWithError("no headers in /usr/include");
        return;
    }
    CodeEditCParser parser;
    std::vector<char16_t> markup(2048 / sizeof(char16_t));
    std::int64_t units = 0;
    long allocations = 0;
    for (auto _ : state) {
        std::uint32_t lineState = 0;
        for (const std::u16string &line : lines) {
            // the editor grows its shared buffer before a call when the line needs more
            if (std::size_t(markupCapacity(long(line.size()))) > markup.size())
                markup.resize(std::size_t(markupCapacity(long(line.size()))));
            long before = allocationCount();
            parser.setLineState(lineState);
            int braces = 0;
            benchmark::DoNotOptimize(parser.parse(line.c_str(), markup.data(), braces));
            allocations += allocationCount() - before;
            lineState = parser.lineState();
            units += std::int64_t(line.size());
        }
    }
    state.SetBytesProcessed(units * 2);
    state.counters["lines"] = double(lines.size());
    state.counters["allocations_per_line"] =
        double(allocations) / double(lines.size() * state.iterations());
}

BENCHMARK(CParserOverHeaders)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
