#include "memorymap/placedsection.h"

PlacedSection::PlacedSection(PlacedSection *previous, const MemoryMapElement *section,
                             const MemoryMapElement *segment)
    : previous(previous), section(section), segment(segment), name(section->symbolName()) {
    if (previous)
        previous->lastInSegment = false;
}

std::string PlacedSection::stem() const {
    return !name.empty() && name[0] == '.' ? name.substr(1) : name;
}

PlacedSection *PlacedSection::previousKept() const {
    PlacedSection *candidate = previous;
    while (candidate && candidate->discarded)
        candidate = candidate->previous;
    return candidate;
}

std::uint32_t PlacedSection::alignment() const {
    return read32BitNumber(text(Attribute::Alignment)).value_or(0);
}

std::optional<std::uint32_t> read32BitNumber(std::string_view text) {
    std::optional<std::uint64_t> value = readPlainNumber(text);
    if (!value || *value > 0xffffffffu)
        return std::nullopt;
    return std::uint32_t(*value);
}
