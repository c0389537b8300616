#pragma once

#include "memorymap/linkerscriptsettings.h"

#include <memory>
#include <string>

class PlacedSection;
class SectionPlacement;

// The options of the GNU script that the Vantrel configuration does not have.
struct GnuScriptOptions {
    bool checkSegmentOverflow = false;
    bool checkSectionOverflow = false;
    bool checkUnplacedSections = true;
    bool stackSizesSection = false;
    std::string defaultFillPattern; // empty: no fill
};

// Writes a GNU linker script: the MEMORY block, segment symbols, the user's symbols and one
// output section per placed section with its start, end, size and load symbols and the
// requested checks. Addresses are expressions for the linker; only the segment constants are
// computed here.
class GnuLinkerScriptWriter {
public:
    GnuLinkerScriptWriter(const LinkerScriptInput &input, GnuScriptOptions options);
    ~GnuLinkerScriptWriter();

    // The whole script. Throws PlacementError.
    std::string text();
    // Opens the file, then writes the script to it. Throws HException or PlacementError.
    void write(const std::string &fileName);

private:
    void writeSegments();
    void writeSection(PlacedSection &section);
    std::string startExpression(const PlacedSection &section) const;
    std::string runAddress(const PlacedSection &section) const;
    std::string inputPattern(const PlacedSection &section) const;

    const LinkerScriptInput &m_input;
    GnuScriptOptions m_options;
    std::unique_ptr<SectionPlacement> m_placement;
    std::string m_out;
};
