#pragma once

#include "memorymap/linkerscriptsettings.h"

#include <string>

// Writes the configuration of the Vantrel linker: regions, blocks and their order. That linker
// does the address arithmetic itself, so there are no expressions, checks or fill here.
class VantrelLinkerScriptWriter {
public:
    explicit VantrelLinkerScriptWriter(const LinkerScriptInput &input);

    std::string text() const;
    // Opens the file, then writes the configuration to it. Throws HException.
    void write(const std::string &fileName) const;

private:
    const LinkerScriptInput &m_input;
};
