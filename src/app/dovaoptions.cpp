#include "app/dovaoptions.h"

#include "core/hexception.h"
#include "core/namevaluelist.h"
#include "core/version.h"

#include <cstddef>
#include <cstdio>

namespace {

using Apply = void (*)(DovaOptions &, const std::string &value);

struct OptionSpec {
    const char *name;
    // The failure when the value is missing; null for an option without a value.
    const char *missingValue;
    Apply apply;
};

void appendList(std::string &list, const std::string &items) {
    if (!list.empty())
        list += ';';
    list += items;
}

void setTarget(DovaOptions &options, const std::string &name) {
    if (name == "arm")
        options.target = TargetProcessor::Arm;
    else if (name == "riscv")
        options.target = TargetProcessor::RiscV;
    else
        throw HException("unknown target name");
}

// Matched in this order; the misspelt alias of -section-placement-macros is accepted because
// existing build files use it.
constexpr OptionSpec kOptions[] = {
    {"-check-segment-overflow", nullptr,
     [](DovaOptions &o, const std::string &) { o.checkSegmentOverflow = true; }},
    {"-check-section-overflow", nullptr,
     [](DovaOptions &o, const std::string &) { o.checkSectionOverflow = true; }},
    {"-no-check-unplaced-sections", nullptr,
     [](DovaOptions &o, const std::string &) { o.checkUnplacedSections = false; }},
    {"-default-fill-pattern", "pattern required for -default-fill-pattern",
     [](DovaOptions &o, const std::string &v) { o.defaultFillPattern = v; }},
    {"-disable-missing-runin-error", nullptr,
     [](DovaOptions &o, const std::string &) { o.missingRunInIsError = false; }},
    {"-memory-map-file", "file required for -memory-map-file",
     [](DovaOptions &o, const std::string &v) { o.memoryMapFile = v; }},
    {"-memory-map-macros", "macro definition required for -memory-map-macros",
     [](DovaOptions &o, const std::string &v) { appendList(o.memoryMapMacros, v); }},
    {"-memory-map-segments", "segment list for -memory-map-segments",
     [](DovaOptions &o, const std::string &v) { o.memoryMapSegments = v; }},
    {"-section-placement-file", "file required for -section-placement-file",
     [](DovaOptions &o, const std::string &v) { o.sectionPlacementFile = v; }},
    {"-section-placement-macros", "macro definition required for -section-placement-macros",
     [](DovaOptions &o, const std::string &v) { appendList(o.sectionPlacementMacros, v); }},
    {"-section-placment-macros", "macro definition required for -section-placement-macros",
     [](DovaOptions &o, const std::string &v) { appendList(o.sectionPlacementMacros, v); }},
    {"-symbols", "symbol definition required for -symbol",
     [](DovaOptions &o, const std::string &v) { addSymbolDefinitions(o.symbols, v); }},
    {"-verbose", nullptr, [](DovaOptions &o, const std::string &) { o.verbose = true; }},
    {"-vantrel", nullptr, [](DovaOptions &o, const std::string &) { o.vantrel = true; }},
    {"-stack-sizes", nullptr, [](DovaOptions &o, const std::string &) { o.stackSizes = true; }},
    {"-target", "target name required for -target", setTarget},
    {"--help", nullptr, [](DovaOptions &o, const std::string &) { o.help = true; }},
};

struct UsageLine {
    const char *option;
    const char *description;
};

// The usage text's own order: -symbols stands first as well as in its sorted place.
constexpr UsageLine kUsageLines[] = {
    {"-symbols <symbol-definitions>", "Add symbol definitions to ld script"},
    {"<ld-script>", "ld script output file"},
    {"<memory-map>", "Memory map file"},
    {"-check-section-overflow", "Add checks for section overflow"},
    {"-check-segment-overflow", "Add checks for segment overflow"},
    {"-no-check-unplaced-sections", "Remove checks for unplaced sections"},
    {"-disable-missing-runin-error", "Discard any sections with a missing run in section"},
    {"-default-fill-pattern <pattern>",
     "Specifies the default fill pattern for unspecified regions of memory"},
    {"-memory-map-file <file>", "Generate ld script from memory map file"},
    {"-memory-map-macros <macros>", "Define memory map file macros"},
    {"-memory-map-segments <segments>", "Define memory map segments"},
    {"-section-placement-file <file>", "Use section placement file"},
    {"-section-placement-macros <macros>", "Define section placement file macros"},
    {"-vantrel", "Generate script for Vantrel linker"},
    {"-stack-sizes", "Generate stack sizes section"},
    {"-symbols <symbol-definitions>", "Add symbol definitions to ld script"},
    {"-target arm", "Specifies target is an Arm processor"},
    {"-target riscv", "Specifies target is a RISC-V processor"},
    {"-verbose", "Enable verbose output"},
};

constexpr char kNotice[] = "Copyright (c) the Palindor developers. All rights reserved.\n"
                           "Turns memory maps and section placements into linker scripts.\n";

constexpr std::size_t kOptionColumn = 36;

} // namespace

bool DovaOptions::complete() const {
    return (!memoryMapFile.empty() || !memoryMapSegments.empty()) && positional.size() == 1;
}

void addSymbolDefinitions(SymbolDefinitions &symbols, const std::string &definitions) {
    for (const std::string &item : splitEscapedList(definitions)) {
        NameValue definition = splitNameValue(item);
        // A name alone would give the linker "name = ;", which it rejects far from the cause.
        if (!definition.value)
            throw HException("symbol definition " + item + " has no value");
        symbols[definition.name] = *definition.value;
    }
}

DovaOptions parseDovaOptions(const std::vector<std::string> &arguments) {
    DovaOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        const OptionSpec *option = nullptr;
        for (const OptionSpec &candidate : kOptions) {
            if (argument == candidate.name) {
                option = &candidate;
                break;
            }
        }
        if (!option) {
            if (!argument.empty() && argument[0] == '-')
                throw HException("unknown option option " + argument);
            options.positional.push_back(argument);
            continue;
        }
        std::string value;
        if (option->missingValue) {
            if (i + 1 == arguments.size())
                throw HException(option->missingValue);
            value = arguments[++i];
        }
        option->apply(options, value);
    }
    return options;
}

std::string dovaUsage() {
    std::string text = std::string(kProductName) + " dova - Release " + kReleaseString + "\n";
    text += kNotice;
    text += "\nUsage:\n\n  dova -memory-map-file <memory-map> [options] <ld-script>\n\n";
    for (const UsageLine &line : kUsageLines) {
        std::string option = line.option;
        if (option.size() < kOptionColumn)
            option.resize(kOptionColumn, ' ');
        text += "  " + option + line.description + "\n";
    }
    return text;
}
