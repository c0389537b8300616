// Resolving and expanding the per-file properties a compile needs.
//   bench_resolve --generate FILES SOLUTION MAKEFILE
//       writes a solution with that many files and the make file that gives each file the
//       same preprocessor definitions (target-specific "+=" inherited solution -> project ->
//       file) and object file name
//   bench_resolve --resolve SOLUTION CONFIGURATION
//       loads the solution and prints, for each file, its expanded c_preprocessor_definitions
//       (items separated by spaces) and build_object_file_name, as `make -n` prints them
// Without those arguments, the Google Benchmark case runs.
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodemacros.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

constexpr int kFilesPerProject = 100;
constexpr int kFilesPerFolder = 20;

struct Generated {
    std::string solution;
    std::string makefile;
};

// Projects of 100 files in folders of 20. Values at every level, in the solution's "Common"
// and "Debug" (which inherits the private "Trace"), the project's "Common" and each file's
// "Debug"; the intermediate directory is the project's.
Generated generate(int files, const std::string &directory) {
    Generated out;
    std::string &xml = out.solution;
    std::string &make = out.makefile;
    xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Palindor_Project_File>\n"
          "<solution Name=\"Generated\" target=\"8\">\n"
          "  <configuration Name=\"Common\" c_preprocessor_definitions=\"NDEBUG_OFF;BOARD=1\"/>\n"
          "  <configuration Name=\"Debug\" inherited_configurations=\"Trace\" "
          "c_preprocessor_definitions=\"DEBUG=1\"/>\n"
          "  <configuration Name=\"Trace\" hidden=\"Yes\" c_preprocessor_definitions=\"TRACE\"/>\n";
    make = ".PHONY: all solution\nall: solution\n"
           "solution: DEFS += NDEBUG_OFF BOARD=1\n"
           "solution: DEFS += TRACE\n"
           "solution: DEFS += DEBUG=1\n"
           "solution:";
    const int projects = (files + kFilesPerProject - 1) / kFilesPerProject;
    for (int p = 0; p < projects; ++p)
        make += " p" + std::to_string(p);
    make += "\n";
    for (int file = 0; file < files; ++file) {
        const std::string n = std::to_string(file);
        const std::string project = "p" + std::to_string(file / kFilesPerProject);
        if (file % kFilesPerProject == 0) {
            if (file)
                xml += "    </folder>\n  </project>\n";
            xml += "  <project Name=\"" + project +
                   "\">\n    <configuration Name=\"Common\" project_type=\"Library\" "
                   "c_preprocessor_definitions=\"LIBRARY_" +
                   project +
                   "\" build_intermediate_directory=\"obj/$(Configuration)/$(ProjectName)\"/>\n"
                   "    <folder Name=\"Source Files\">\n";
            make += project + ": DEFS += LIBRARY_" + project + "\n" + project +
                    ": INTDIR := " + directory + "/obj/Debug/" + project + "\n" + project + ":";
            for (int f = file; f < std::min(files, file + kFilesPerProject); ++f)
                make += " f" + std::to_string(f);
            make += "\n";
        } else if (file % kFilesPerFolder == 0) {
            xml += "    </folder>\n    <folder Name=\"Group " + n + "\">\n";
        }
        xml += "      <file file_name=\"source/module_" + n +
               ".c\">\n"
               "        <configuration Name=\"Debug\" c_preprocessor_definitions=\"MODULE_" +
               n + "=1;TRACE_LEVEL=3;BUFFER_SIZE=4096;USE_DMA\"/>\n      </file>\n";
        make += "f" + n + ": DEFS += MODULE_" + n + "=1 TRACE_LEVEL=3 BUFFER_SIZE=4096 USE_DMA\n" +
                "f" + n + ": SRC := " + directory + "/source/module_" + n + ".c\n" + "f" + n +
                ":\n\t@echo $(DEFS) $(INTDIR)/$(basename $(notdir $(SRC)))$(OBJ)\n";
    }
    if (files)
        xml += "    </folder>\n  </project>\n";
    xml += "</solution>\n";
    return out;
}

// Loads and resolves; the text of every file, one line each, goes to `out`.
bool resolveAll(const std::string &path, const std::string &configuration, std::string &out) {
    MacroExpander expander;
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    StandardProjectSystem system(expander);
    ProjectElement *root;
    try {
        root = system.loadSolution(path);
    } catch (const SolutionLoadError &error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return false;
    }
    const NodeMacros nodeMacros(registry, expander, &system);
    const PropertyClass &defines = *registry.find("c_preprocessor_definitions");
    const PropertyClass &object = *registry.find("build_object_file_name");
    for (XMLNode *node = root; node; node = node->nextInTree(root)) {
        const ProjectElement *file = ProjectElement::from(node);
        if (!file || file->kind() != PropertyNode::Kind::File)
            continue;
        // One resolver and one macro map serve both values of the file, as for a compile.
        const PropertyResolver resolver(*file, configuration);
        const MacroMap macros = nodeMacros.build(resolver);
        std::string definitions = nodeMacros.expand(macros, resolver.resolve(defines));
        std::replace(definitions.begin(), definitions.end(), ';', ' ');
        out += definitions;
        out += ' ';
        out += nodeMacros.expand(macros, resolver.resolve(object));
        out += '\n';
    }
    return true;
}

void BM_Resolve(benchmark::State &state) {
    char pattern[] = "/tmp/bench-resolve-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no scratch directory");
        return;
    }
    const std::string dir = pattern;
    {
        std::ofstream out(dir + "/in.qzProject", std::ios::binary);
        out << generate(int(state.range(0)), dir).solution;
    }
    for (auto _ : state) {
        std::string out;
        if (!resolveAll(dir + "/in.qzProject", "Debug", out))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(out);
    }
    std::remove((dir + "/in.qzProject").c_str());
    ::rmdir(dir.c_str());
}
BENCHMARK(BM_Resolve)->Arg(2000)->Unit(benchmark::kMillisecond);

bool writeFile(const char *path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        std::fprintf(stderr, "error: couldn't write %s\n", path);
    return bool(out);
}

std::string directoryOf(const std::string &path) {
    char *real = ::realpath(path.c_str(), nullptr);
    std::string resolved = real ? real : path;
    std::free(real);
    const std::size_t slash = resolved.rfind('/');
    return slash == std::string::npos ? "." : resolved.substr(0, slash);
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 5 && std::strcmp(argv[1], "--generate") == 0) {
        if (!writeFile(argv[3], {}))
            return 1;
        const Generated generated = generate(std::atoi(argv[2]), directoryOf(argv[3]));
        return writeFile(argv[3], generated.solution) && writeFile(argv[4], generated.makefile) ? 0
                                                                                                : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--resolve") == 0) {
        std::string out;
        if (!resolveAll(argv[2], argv[3], out))
            return 1;
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
