#include "memorymap/linkerscriptsettings.h"

#include <iostream>

std::ostream &LinkerScriptSettings::logStream() const {
    return log ? *log : std::cout;
}

std::ostream &LinkerScriptSettings::warningStream() const {
    return warnings ? *warnings : std::cerr;
}
