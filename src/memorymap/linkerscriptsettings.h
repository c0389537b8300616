#pragma once

#include <iosfwd>
#include <map>
#include <string>

// Symbol definitions given on the command line, by name: the order in which scripts define
// them.
using SymbolDefinitions = std::map<std::string, std::string>;

// The processor a script is for; the codes are the ones the rest of the system uses.
enum class TargetProcessor { Arm = 8, RiscV = 20 };

// What placement and the script writers take from the command line besides the documents.
struct LinkerScriptSettings {
    TargetProcessor target = TargetProcessor::Arm;
    bool verbose = false;
    // When off, a section whose run-in section is missing is dropped instead of failing.
    bool missingRunInIsError = true;
    // Where verbose lines and warnings go; standard output and standard error when null.
    std::ostream *log = nullptr;
    std::ostream *warnings = nullptr;

    std::ostream &logStream() const;
    std::ostream &warningStream() const;
};

class MemoryMap;

// Everything a script writer reads.
struct LinkerScriptInput {
    const MemoryMap &memoryMap;
    const MemoryMap *placement; // null without a section-placement file
    const SymbolDefinitions &symbols;
    LinkerScriptSettings settings;
};
