#include "app/toolrun.h"

#include "app/dovaoptions.h"
#include "core/hexception.h"
#include "memorymap/gnulinkerscriptwriter.h"
#include "memorymap/memorymap.h"
#include "memorymap/vantrellinkerscriptwriter.h"
#include "project/macroexpander.h"
#include "project/systemmacros.h"
#include "xml/xmlwriter.h"

#include <filesystem>
#include <iostream>
#include <set>
#include <vector>

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separators,
                                    bool keepEmpty) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos)
            end = text.size();
        if (keepEmpty || end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

const char *accessAttribute(std::string_view code) {
    if (code == "RW" || code == "RWX")
        return "access=\"ReadWrite\"";
    if (code == "R" || code == "RX")
        return "access=\"ReadOnly\"";
    return "";
}

} // namespace

std::string memoryMapFromSegmentList(std::string_view list) {
    std::string text = "<!DOCTYPE Board_Memory_Definition_File><Root name=\"none\">";
    std::set<std::string_view> taken;
    std::vector<std::string_view> items = split(list, ";", true);
    // Later items win, so they are taken first.
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        std::vector<std::string_view> fields = split(*item, " \t", false);
        if (fields.size() != 4 || !taken.insert(fields[0]).second)
            continue;
        // Markup characters in a field must stay text.
        text += "<MemorySegment name=\"";
        XMLWriter::appendEscaped(text, fields[0]);
        text += "\" start=\"";
        XMLWriter::appendEscaped(text, fields[1]);
        text += "\" size=\"";
        XMLWriter::appendEscaped(text, fields[2]);
        text += '"';
        text += accessAttribute(fields[3]);
        text += "/>";
    }
    text += "</Root>";
    return text;
}

void runDova(const DovaOptions &options, std::string_view argv0) {
    LinkerScriptSettings settings;
    settings.target = options.target;
    settings.verbose = options.verbose;
    settings.missingRunInIsError = options.missingRunInIsError;

    MacroExpander systemMacros;
    registerSystemMacros(systemMacros, argv0);
    MemoryMap memoryMap(systemMacros);
    MemoryMap placement(systemMacros);

    if (options.verbose)
        std::cout << "Using memory map file " << options.memoryMapFile << "\n";
    if (options.memoryMapFile.empty()) {
        if (!memoryMap.loadFromText(memoryMapFromSegmentList(options.memoryMapSegments)))
            throw HException("cannot load memory map file");
    } else if (!memoryMap.load(options.memoryMapFile, options.memoryMapMacros, true)) {
        throw HException("cannot load memory map file");
    }

    const MemoryMap *placementDocument = nullptr;
    if (!options.sectionPlacementFile.empty()) {
        if (options.verbose)
            std::cout << "Using section placement file " << options.sectionPlacementFile << "\n";
        if (!placement.load(options.sectionPlacementFile, options.sectionPlacementMacros, true))
            throw HException("cannot load section placement file");
        placementDocument = &placement;
    }

    LinkerScriptInput input{memoryMap, placementDocument, options.symbols, settings};
    if (options.vantrel) {
        VantrelLinkerScriptWriter(input).write(options.outputFile());
    } else {
        GnuScriptOptions gnu;
        gnu.checkSegmentOverflow = options.checkSegmentOverflow;
        gnu.checkSectionOverflow = options.checkSectionOverflow;
        gnu.checkUnplacedSections = options.checkUnplacedSections;
        gnu.stackSizesSection = options.stackSizes;
        gnu.defaultFillPattern = options.defaultFillPattern;
        GnuLinkerScriptWriter(input, gnu).write(options.outputFile());
    }
}

void removeFailedOutput(const std::string &path) {
    std::error_code error;
    std::filesystem::path given = std::filesystem::absolute(path, error).lexically_normal();
    if (error)
        return;
    auto isSystem = [](const std::filesystem::path &name) {
        const std::string text = name.string();
        return text.starts_with("/dev/") || text.starts_with("/proc/");
    };
    if (isSystem(given))
        return;
    std::filesystem::path target = std::filesystem::canonical(given, error);
    if (!error && !isSystem(target) && std::filesystem::is_regular_file(target, error))
        std::filesystem::remove(target, error);
}

bool isSameFile(const std::string &a, const std::string &b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error) && !error;
}
