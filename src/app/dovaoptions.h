#pragma once

#include "memorymap/linkerscriptsettings.h"

#include <string>
#include <vector>

// The command line of dova, as read by parseDovaOptions.
struct DovaOptions {
    std::vector<std::string> positional;
    std::string memoryMapFile;
    std::string memoryMapMacros; // items joined by ";"
    std::string memoryMapSegments;
    std::string sectionPlacementFile;
    std::string sectionPlacementMacros; // items joined by ";"
    std::string defaultFillPattern;
    SymbolDefinitions symbols;
    bool checkSegmentOverflow = false;
    bool checkSectionOverflow = false;
    bool checkUnplacedSections = true;
    bool stackSizes = false;
    bool vantrel = false;
    bool verbose = false;
    bool missingRunInIsError = true;
    TargetProcessor target = TargetProcessor::Arm;
    bool help = false; // --help: the usage text on standard output

    // A memory map (file or segment list) and exactly one output file.
    bool complete() const;
    const std::string &outputFile() const { return positional.front(); }
};

// Reads the arguments after the program name. Options match exactly and in table order; a
// value option takes the next argument whatever it looks like. Throws HException on an
// unknown option or target, a missing value or a symbol definition without a value.
DovaOptions parseDovaOptions(const std::vector<std::string> &arguments);

// Adds the definitions of one -symbols value: "name=value" items separated by ";", with
// backslash escapes; a later definition of a name replaces an earlier one.
void addSymbolDefinitions(SymbolDefinitions &symbols, const std::string &definitions);

// The usage text: banner, notice, synopsis and one line per option.
std::string dovaUsage();
