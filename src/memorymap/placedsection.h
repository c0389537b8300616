#pragma once

#include "memorymap/memorymapelement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One output section on its way into a script: a ProgramSection of the memory map or of the
// placement, the memory-map segment it goes into, and the state of its layout. Sections of one
// segment form a chain through `previous`.
class PlacedSection {
public:
    using Attribute = MemoryMapElement::Attribute;

    // Chains the new section after `previous`, which stops being the last of its segment.
    PlacedSection(PlacedSection *previous, const MemoryMapElement *section,
                  const MemoryMapElement *segment);

    PlacedSection *previous = nullptr;
    const MemoryMapElement *section = nullptr;
    const MemoryMapElement *segment = nullptr;
    std::string name; // blanks replaced by "_"
    bool laidOut = false;
    bool inProgress = false;
    bool discarded = false;
    bool lastInSegment = true;
    bool placedFromEnd = false;
    std::uint32_t offsetFromEnd = 0;
    // The section whose space a section with runin runs in, once layout has found it.
    PlacedSection *runSection = nullptr;

    // The name without its leading ".", as symbol names use it.
    std::string stem() const;
    // The segment's name with blanks replaced by "_".
    std::string segmentName() const { return segment->symbolName(); }
    // The nearest earlier section of the chain that is not discarded.
    PlacedSection *previousKept() const;

    bool has(Attribute attribute) const { return section->has(attribute); }
    // The attribute's text; empty when absent.
    std::string_view text(Attribute attribute) const { return section->attribute(attribute); }
    // Present and not empty.
    bool hasText(Attribute attribute) const { return !text(attribute).empty(); }
    bool isYes(Attribute attribute) const { return section->isYes(attribute); }

    bool hasRunIn() const { return has(Attribute::Runin); }
    bool hasRunOffset() const { return has(Attribute::Runoffset); }
    bool loadedElsewhere() const { return hasRunIn() || hasRunOffset(); }
    // The alignment in bytes; 0 when absent or not a number.
    std::uint32_t alignment() const;
};

// A size or alignment: a number in C notation (see readPlainNumber) that fits in 32 bits.
std::optional<std::uint32_t> read32BitNumber(std::string_view text);
