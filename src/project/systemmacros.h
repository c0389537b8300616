#pragma once

#include <string>
#include <string_view>

class MacroExpander;

// Registers the program's system macros, each with its one-line description: directories,
// product names and versions, host and target names, and the date and time (computed at each
// expansion). `argv0` is the first command-line argument, used when the executable's own path
// cannot be read.
void registerSystemMacros(MacroExpander &expander, std::string_view argv0 = {});

// The installation directory of a program at `executable`: the directory above its "bin"
// directory, or its own directory when that is not named "bin"; empty for a bare file name.
std::string installDirectoryOf(std::string_view executable);
