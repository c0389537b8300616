// Loading and saving solution files.
//   bench_solution --generate FILES PATH   writes a solution with that many files
//   bench_solution --load-save IN OUT       loads IN, saves it to OUT and prints the peak
//                                           resident size in KiB
// Without those arguments, the Google Benchmark cases run.
#include "project/macroexpander.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <sys/resource.h>
#include <unistd.h>

namespace {

// Projects of 100 files in folders of 20; every file carries a configuration of its own, as
// files with per-file options do.
std::string generateSolution(int files) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE Palindor_Project_File>\n<solution Name=\"Generated\" target=\"8\">\n"
        "  <configuration Name=\"Common\"/>\n  <configuration Name=\"Debug\" "
        "inherited_configurations=\"Common\"/>\n";
    for (int file = 0; file < files; ++file) {
        const std::string n = std::to_string(file);
        if (file % 100 == 0) {
            if (file)
                text += "    </folder>\n  </project>\n";
            text +=
                "  <project Name=\"p" + n +
                "\">\n    <configuration Name=\"Common\" "
                "project_type=\"Library\" c_user_include_directories=\"$(ProjectDir)/include\"/>\n"
                "    <folder Name=\"Source Files\" file_extensions=\"c;cpp;s\">\n";
        } else if (file % 20 == 0) {
            text +=
                "    </folder>\n    <folder Name=\"Group " + n + "\" file_extensions=\"c;h\">\n";
        }
        text += "      <file file_name=\"$(ProjectDir)/source/module_" + n +
                ".c\">\n"
                "        <configuration Name=\"Debug\" build_exclude_from_build=\"No\" "
                "c_preprocessor_definitions=\"MODULE_" +
                n +
                "=1;TRACE_LEVEL=3;"
                "BUFFER_SIZE=4096;USE_DMA\" c_additional_options=\"-fstack-usage -Wextra -Wshadow "
                "-Wconversion -Wdouble-promotion\" gcc_optimization_level=\"Level 2 for size\" "
                "linker_keep_symbols=\"module_" +
                n + "_init;module_" + n +
                "_exit\"/>\n"
                "      </file>\n";
    }
    if (files)
        text += "    </folder>\n  </project>\n";
    text += "</solution>\n";
    return text;
}

bool loadSave(const std::string &in, const std::string &out) {
    MacroExpander macros;
    StandardProjectSystem system(macros);
    try {
        ProjectElement *root = system.loadSolution(in);
        if (!system.saveSolution(*root, out, false)) {
            std::fprintf(stderr, "error: %s\n", system.lastError().c_str());
            return false;
        }
    } catch (const SolutionLoadError &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return false;
    }
    return true;
}

void BM_LoadSave(benchmark::State &state) {
    char pattern[] = "/tmp/bench-solution-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no scratch directory");
        return;
    }
    const std::string dir = pattern;
    {
        std::ofstream out(dir + "/in.qzProject", std::ios::binary);
        out << generateSolution(int(state.range(0)));
    }
    for (auto _ : state)
        if (!loadSave(dir + "/in.qzProject", dir + "/out.qzProject"))
            state.SkipWithError("load or save failed");
    std::remove((dir + "/in.qzProject").c_str());
    std::remove((dir + "/out.qzProject").c_str());
    ::rmdir(dir.c_str());
}
BENCHMARK(BM_LoadSave)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
        std::ofstream out(argv[3], std::ios::binary);
        out << generateSolution(std::atoi(argv[2]));
        out.close();
        if (!out) {
            std::fprintf(stderr, "error: couldn't write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--load-save") == 0) {
        if (!loadSave(argv[2], argv[3]))
            return 1;
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld\n", usage.ru_maxrss);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
