#include "app/toolrun.h"

#include "app/dovaoptions.h"
#include "core/hexception.h"
#include "memorymap/gnulinkerscriptwriter.h"
#include "memorymap/memorymap.h"
#include "memorymap/vantrellinkerscriptwriter.h"
#include "project/macroexpander.h"
#include "project/systemmacros.h"
#include "xml/xmlppexpression.h"
#include "xml/xmlwriter.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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

std::string memoryMapFromSegmentList(std::string_view list,
                                     const std::function<void(const std::string &)> &warn) {
    std::string text = "<!DOCTYPE Board_Memory_Definition_File><Root name=\"none\">";
    std::set<std::string_view> taken;
    std::vector<std::string_view> items = split(list, ";", true);
    // Later items win, so they are taken first.
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        std::vector<std::string_view> fields = split(*item, " \t", false);
        if (fields.size() != 4) {
            if (!fields.empty() && warn)
                warn("ignoring -memory-map-segments item \"" + std::string(*item) +
                     "\": it needs a name, start, size and access");
            continue;
        }
        if (!taken.insert(fields[0]).second)
            continue;
        // The script's addresses are 32 bits wide: a larger value would wrap silently.
        for (auto [what, field] : {std::pair{"start", fields[1]}, std::pair{"size", fields[2]}}) {
            std::optional<std::uint64_t> value = evaluateDocumentUnsigned(field);
            if (value && *value > 0xffffffffu)
                throw HException("segment " + std::string(fields[0]) + ": " + what + " " +
                                 std::string(field) + " does not fit in 32 bits");
        }
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

namespace {

// Why the document did not load: the reader's message with the file and the line (counted
// from 1), or its own text when the file could not be read at all.
std::string loadFailure(const MemoryMap &document, const std::string &path) {
    if (document.errorText().starts_with("couldn't read "))
        return document.errorText();
    return path + ":" + std::to_string(document.errorLine() + 1) + ": " + document.errorText();
}

// Loads a file with preprocessing. A document that does not load or holds no root (an empty
// file, a download cut off before its root) fails with `failure`, after a line saying why.
void loadDocument(MemoryMap &document, const std::string &path, const std::string &macros,
                  const char *failure) {
    std::string reason;
    if (!document.load(path, macros, true))
        reason = loadFailure(document, path);
    else if (!document.root())
        reason = path + ": no root element";
    if (reason.empty())
        return;
    std::cout.flush();
    std::cerr << reason << "\n";
    throw HException(failure);
}

// The macros and documents of one run.
struct Documents {
    MacroExpander systemMacros;
    MemoryMap memoryMap{systemMacros};
    MemoryMap placement{systemMacros};
};

// The documents of the last successful run. The process ends right after it, and taking
// the tree of a large memory map apart node by node would add a tenth to the run for memory
// the system takes back at once.
Documents *g_finishedRun = nullptr;

} // namespace

void runDova(const DovaOptions &options, std::string_view argv0) {
    LinkerScriptSettings settings;
    settings.target = options.target;
    settings.verbose = options.verbose;
    settings.missingRunInIsError = options.missingRunInIsError;

    auto documents = std::make_unique<Documents>();
    MacroExpander &systemMacros = documents->systemMacros;
    registerSystemMacros(systemMacros, argv0);
    MemoryMap &memoryMap = documents->memoryMap;
    MemoryMap &placement = documents->placement;

    if (options.verbose)
        std::cout << "Using memory map file " << options.memoryMapFile << "\n";
    if (options.memoryMapFile.empty()) {
        auto warn = [](const std::string &message) {
            std::cout.flush();
            std::cerr << "warning: " << message << "\n";
        };
        if (!memoryMap.loadFromText(memoryMapFromSegmentList(options.memoryMapSegments, warn)))
            throw HException("cannot load memory map file");
    } else {
        loadDocument(memoryMap, options.memoryMapFile, options.memoryMapMacros,
                     "cannot load memory map file");
    }

    const MemoryMap *placementDocument = nullptr;
    if (!options.sectionPlacementFile.empty()) {
        if (options.verbose)
            std::cout << "Using section placement file " << options.sectionPlacementFile << "\n";
        loadDocument(placement, options.sectionPlacementFile, options.sectionPlacementMacros,
                     "cannot load section placement file");
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
    delete g_finishedRun;
    g_finishedRun = documents.release();
}

void removeFailedOutput(const std::string &path) {
    std::error_code error;
    std::filesystem::path given = std::filesystem::absolute(path, error).lexically_normal();
    if (error)
        return;
    const std::string name = given.string();
    if (name.starts_with("/dev/") || name.starts_with("/proc/"))
        return;
    // Never through a link: its target may be any file of the user's. The link goes, so
    // that nothing reads a stale script through it.
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0)
        return;
    if (S_ISLNK(status.st_mode) || (S_ISREG(status.st_mode) && ::access(path.c_str(), W_OK) == 0))
        ::unlink(path.c_str());
}

bool isSameFile(const std::string &a, const std::string &b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error) && !error;
}
