// bench_propertydefinitions: reading and registering XML property definitions.
//   bench_propertydefinitions                    Google Benchmark runs on 5,000 definitions
//   bench_propertydefinitions --generate N FILE  writes N definitions to FILE
//   bench_propertydefinitions --register FILE    registers FILE once (for whole-command timing)
#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/propertydefinitionreader.h"
#include "project/propertyregistry.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// Definitions of every kind a toolchain package ships: enumerations with their lists, ranges,
// file properties with filters, help texts with markup.
std::string generateDefinitions(int count) {
    static const char *const kTypes[] = {"Boolean",  "String",      "StringList",
                                         "FileName", "Enumeration", "IntegerRange"};
    std::string text = "<!DOCTYPE Palindor_Property_Definitions>\n<properties>\n";
    for (int i = 0; i < count; ++i) {
        const char *type = kTypes[i % 6];
        const std::string n = std::to_string(i);
        text += "  <property name=\"toolchain_option_" + n + "\" type=\"" + type + "\" page=\"" +
                (i % 2 ? "C/C++" : "Linker") + "\" group=\"Group " + std::to_string(i % 40) +
                "\" short=\"Option " + n + "\"\n            long=\"Sets option " + n +
                " of the toolchain. &lt;b&gt;Note:&lt;/b&gt; see the manual.\" order=\"" +
                std::to_string(-(i % 500)) + "\"";
        if (std::strcmp(type, "Enumeration") == 0)
            text += " enumeration=\"Off;Low;Medium;High;Maximum\" default=\"Low\"";
        else if (std::strcmp(type, "IntegerRange") == 0)
            text += " minimum=\"0\" maximum=\"4096\" singlestep=\"16\" default=\"64\"";
        else if (std::strcmp(type, "FileName") == 0)
            text += " filter=\"Object (*.o)\" default=\"$(IntDir)/$(InputName).o" + n + "\"";
        else if (std::strcmp(type, "Boolean") == 0)
            text += " default=\"Yes\"";
        text += "/>\n";
    }
    text += "</properties>\n";
    return text;
}

void quiet(const std::string &) {}

void BM_RegisterDefinitions(benchmark::State &state) {
    const std::string text = generateDefinitions(int(state.range(0)));
    const PropertyDefinitionReader reader(quiet);
    for (auto _ : state) {
        PropertyRegistry registry;
        for (auto &definition : reader.readText(text))
            registry.add(std::move(definition));
        benchmark::DoNotOptimize(registry.definitions().data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}
BENCHMARK(BM_RegisterDefinitions)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_RegisterBuiltins(benchmark::State &state) {
    for (auto _ : state) {
        PropertyRegistry registry;
        registerBuiltinProperties(registry, nullptr);
        benchmark::DoNotOptimize(registry.definitions().data());
    }
}
BENCHMARK(BM_RegisterBuiltins)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--generate") == 0) {
        std::ofstream out(argv[3], std::ios::binary);
        out << generateDefinitions(std::atoi(argv[2]));
        out.close();
        if (!out) {
            std::fprintf(stderr, "error: couldn't write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--register") == 0) {
        try {
            PropertyRegistry registry;
            registerBuiltinProperties(registry, nullptr);
            const std::size_t count =
                PropertyDefinitionReader(quiet).registerFile(registry, argv[2]);
            std::printf("%zu definitions registered\n", count);
            return 0;
        } catch (const HException &error) {
            std::fprintf(stderr, "error: %s\n", error.what());
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
