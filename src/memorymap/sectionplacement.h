#pragma once

#include "core/hexception.h"
#include "memorymap/linkerscriptsettings.h"
#include "memorymap/placedsection.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class MemoryMap;
class MemoryMapElement;

// A placement that cannot be laid out: a missing or invalid run section, or a cycle.
class PlacementError : public HException {
public:
    using HException::HException;
};

// Turns a memory map and an optional section placement into the segments a script describes
// and the ordered list of placed sections both script writers walk.
class SectionPlacement {
public:
    SectionPlacement(const MemoryMap &memoryMap, const MemoryMap *placement,
                     const LinkerScriptSettings &settings);
    ~SectionPlacement();

    // The memory map's segments, or the placement's own ones when it gives start and size.
    const std::vector<const MemoryMapElement *> &segments() const { return m_segments; }
    const std::vector<std::unique_ptr<PlacedSection>> &sections() const { return m_sections; }

    // Marks the section to be placed at the end of its segment, where every section after it
    // has a fixed size (a number, or the name of a symbol whose value is one).
    void placeFromSegmentEnd(const SymbolDefinitions &symbols);

    // The first section, in list order, named by the first of the ";"-separated candidates of
    // `section`'s runin for which there is one; null when there is none.
    PlacedSection *findRunSection(const PlacedSection &section) const;
    // The sections whose whole runin text is `section`'s name, in list order.
    const std::vector<PlacedSection *> &sectionsRunningIn(const PlacedSection &section) const;

    // Lays out every section in list order, each after the sections its addresses depend on,
    // and hands each one that is not discarded to `emit`. Throws PlacementError.
    void layOut(const std::function<void(PlacedSection &)> &emit);

private:
    PlacedSection *add(PlacedSection *previous, const MemoryMapElement *section,
                       const MemoryMapElement *segment);
    bool enter(PlacedSection &section);
    void discardOrFail(PlacedSection &section);
    std::uint32_t alignedOffsetFromEnd(const PlacedSection &section, std::uint32_t offset) const;
    void layOutFrom(PlacedSection &root, const std::function<void(PlacedSection &)> &emit);
    std::ostream *log() const;

    const LinkerScriptSettings &m_settings;
    std::vector<const MemoryMapElement *> m_segments;
    std::vector<std::unique_ptr<PlacedSection>> m_sections;
    std::unordered_map<std::string, PlacedSection *> m_firstByName;
    std::unordered_map<std::string, std::vector<PlacedSection *>> m_runners;
};
