#include "memorymap/sectionplacement.h"

#include "memorymap/memorymap.h"
#include "memorymap/memorymapelement.h"

#include "core/hexformat.h"

#include <ostream>
#include <string_view>
#include <unordered_map>

namespace {

using Attribute = MemoryMapElement::Attribute;

std::vector<std::string> splitCandidates(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start)
            pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

const std::vector<PlacedSection *> kNoSections;

// What placement needs of the memory map, gathered in one walk over its tree (a device's map
// holds hundreds of thousands of registers and bit fields): the outermost segments, as
// MemoryMap::segments() finds them, each with its sections as MemoryMap::sections() gives
// them; and the first segment of each name in depth-first order, as MemoryMap::findSegment
// finds it, so that a placement naming many segments does not search the map for each.
struct MapOutline {
    struct Segment {
        const MemoryMapElement *element;
        std::vector<const MemoryMapElement *> sections;
    };
    std::vector<Segment> segments; // in document order
    std::unordered_map<std::string_view, const MemoryMapElement *> byName;
};

MapOutline outline(const MemoryMap &memoryMap) {
    using Kind = MemoryMapElement::Kind;
    MapOutline found;
    const XMLNode *top = memoryMap.rootElement();
    // Where the walk leaves the open segment and the open section within it.
    bool inSegment = false, inSection = false;
    const XMLNode *segmentEnd = nullptr, *sectionEnd = nullptr;
    for (const XMLNode *node = top; node; node = node->nextInTree(top)) {
        inSection = inSection && node != sectionEnd;
        inSegment = inSegment && node != segmentEnd;
        if (!node->isElement())
            continue;
        const auto *element = static_cast<const MemoryMapElement *>(node);
        if (element->kind() == Kind::MemorySegment) {
            if (element->hasName())
                found.byName.try_emplace(element->nameAttribute(), element);
            if (!inSegment) {
                found.segments.push_back({element, {}});
                inSegment = true;
                segmentEnd = node->nextInTree(top, false);
            }
        } else if (element->kind() == Kind::ProgramSection && inSegment && !inSection) {
            found.segments.back().sections.push_back(element);
            inSection = true;
            sectionEnd = node->nextInTree(top, false);
        }
    }
    return found;
}

} // namespace

SectionPlacement::SectionPlacement(const MemoryMap &memoryMap, const MemoryMap *placement,
                                   const LinkerScriptSettings &settings)
    : m_settings(settings) {
    bool ownSegments = false;
    if (placement) {
        for (const MemoryMapElement *segment : placement->segments()) {
            if (!segment->startAttribute().empty() && !segment->sizeAttribute().empty()) {
                m_segments.push_back(segment);
                ownSegments = true;
            }
        }
    }
    const MapOutline map = outline(memoryMap);
    if (!ownSegments) {
        // Last in the document first, as MemoryMap::segments() gives them.
        for (auto outer = map.segments.rbegin(); outer != map.segments.rend(); ++outer) {
            const MemoryMapElement *segment = outer->element;
            m_segments.push_back(segment);
            PlacedSection *previous = nullptr;
            for (const MemoryMapElement *section : outer->sections) {
                previous = add(previous, section, segment);
                if (std::ostream *out = log())
                    *out << "Adding section from memory map file " << previous->name << "\n";
            }
        }
    }
    // A segment without a name would make a script the linker rejects.
    for (const MemoryMapElement *segment : m_segments) {
        if (segment->nameAttribute().empty())
            throw PlacementError("memory segment on line " + std::to_string(segment->line() + 1) +
                                 " has no name");
    }
    if (!placement)
        return;

    // Placement sections continue the chain of the segment they name, after the memory map's
    // own sections and after an earlier placement element for the same segment.
    std::unordered_map<std::string, PlacedSection *> lastInSegment;
    for (const auto &placed : m_sections)
        lastInSegment[std::string(placed->segment->nameAttribute())] = placed.get();
    const auto &byName = map.byName;
    for (const MemoryMapElement *element : placement->segments()) {
        const MemoryMapElement *segment = nullptr;
        for (const std::string &candidate : splitCandidates(element->nameAttribute())) {
            if (auto found = byName.find(candidate); found != byName.end()) {
                segment = found->second;
                break;
            }
        }
        if (!segment) {
            if (std::ostream *out = log())
                *out << "Placement segment " << element->nameAttribute()
                     << " is not in the memory map\n";
            continue;
        }
        PlacedSection *&previous = lastInSegment[std::string(segment->nameAttribute())];
        for (const MemoryMapElement *section : MemoryMap::sections(*element)) {
            previous = add(previous, section, segment);
            if (std::ostream *out = log())
                *out << "Adding section from placement file " << previous->name << "\n";
        }
    }
}

SectionPlacement::~SectionPlacement() = default;

std::ostream *SectionPlacement::log() const {
    return m_settings.verbose ? &m_settings.logStream() : nullptr;
}

PlacedSection *SectionPlacement::add(PlacedSection *previous, const MemoryMapElement *section,
                                     const MemoryMapElement *segment) {
    m_sections.push_back(std::make_unique<PlacedSection>(previous, section, segment));
    PlacedSection *placed = m_sections.back().get();
    m_firstByName.try_emplace(placed->name, placed);
    if (placed->hasRunIn())
        m_runners[std::string(placed->text(Attribute::Runin))].push_back(placed);
    return placed;
}

void SectionPlacement::placeFromSegmentEnd(const SymbolDefinitions &symbols) {
    auto fixedSize = [&](const PlacedSection &section) -> std::optional<std::uint32_t> {
        if (!section.has(Attribute::Size))
            return std::nullopt;
        std::string_view size = section.text(Attribute::Size);
        auto symbol = symbols.find(std::string(size));
        return read32BitNumber(symbol != symbols.end() ? symbol->second : size);
    };
    for (const auto &last : m_sections) {
        if (!last->lastInSegment)
            continue;
        std::uint32_t sum = 0;
        PlacedSection *remembered = nullptr;
        std::uint32_t rememberedSum = 0;
        PlacedSection *section = last.get();
        for (; section; section = section->previous) {
            std::optional<std::uint32_t> size = fixedSize(*section);
            if (!size)
                break;
            sum += *size;
            if (section->isYes(Attribute::PlaceFromSegmentEnd)) {
                remembered = section;
                rememberedSum = sum;
            }
        }
        if (remembered) {
            remembered->placedFromEnd = true;
            remembered->offsetFromEnd = alignedOffsetFromEnd(*remembered, rememberedSum);
            continue;
        }
        // `section` has no fixed size, so no section before it can be placed from the end.
        for (PlacedSection *wanted = section ? section->previous : nullptr; wanted;
             wanted = wanted->previous) {
            if (wanted->isYes(Attribute::PlaceFromSegmentEnd)) {
                m_settings.warningStream() << "warning: cannot place section " << wanted->name
                                           << " at end of segment because section " << section->name
                                           << " does not have a fixed size\n";
                break;
            }
        }
    }
}

// A size that is not a multiple of the section's alignment would leave its start unaligned,
// and the linker's rounding up would carry its end past the segment: the start is rounded
// down instead.
std::uint32_t SectionPlacement::alignedOffsetFromEnd(const PlacedSection &section,
                                                     std::uint32_t offset) const {
    const std::uint64_t alignment = section.alignment();
    const std::uint64_t end = std::uint64_t(section.segment->start()) + section.segment->size();
    if (alignment <= 1 || offset > end)
        return offset;
    const std::uint64_t start = end - offset;
    const std::uint64_t aligned = start - start % alignment;
    if (aligned == start || end - aligned > 0xffffffffu)
        return offset;
    if (std::ostream *out = log())
        *out << "Section " << section.name << " placed at the end of segment "
             << section.segment->nameAttribute() << ": start rounded down to 0x"
             << hex8(std::uint32_t(aligned)) << " for alignment " << alignment << "\n";
    return std::uint32_t(end - aligned);
}

PlacedSection *SectionPlacement::findRunSection(const PlacedSection &section) const {
    for (const std::string &candidate : splitCandidates(section.text(Attribute::Runin))) {
        auto found = m_firstByName.find(candidate);
        if (found != m_firstByName.end())
            return found->second;
    }
    return nullptr;
}

const std::vector<PlacedSection *> &
SectionPlacement::sectionsRunningIn(const PlacedSection &section) const {
    auto found = m_runners.find(section.name);
    return found != m_runners.end() ? found->second : kNoSections;
}

bool SectionPlacement::enter(PlacedSection &section) {
    if (section.laidOut) {
        if (std::ostream *out = log())
            *out << "Section " << section.name << " already laid out\n";
        return false;
    }
    if (section.inProgress)
        throw PlacementError("cyclic memory section dependency with section " + section.name);
    section.inProgress = true;
    if (std::ostream *out = log())
        *out << "Laying out section " << section.name << "\n";
    return true;
}

void SectionPlacement::discardOrFail(PlacedSection &section) {
    std::string_view runIn = section.text(Attribute::Runin);
    if (m_settings.missingRunInIsError)
        throw PlacementError("cannot find run section " + std::string(runIn) + " referenced in " +
                             section.stem());
    if (std::ostream *out = log())
        *out << "Discarding " << section.name << " because run in section " << runIn
             << " not found\n";
    section.discarded = true;
}

void SectionPlacement::layOut(const std::function<void(PlacedSection &)> &emit) {
    for (const auto &section : m_sections)
        layOutFrom(*section, emit);
}

// Depth-first over the dependencies with a stack of our own: a run section may pull in a
// chain of any length, which must not reach the call stack.
void SectionPlacement::layOutFrom(PlacedSection &root,
                                  const std::function<void(PlacedSection &)> &emit) {
    enum Step { Previous, RunIn, Runners, Emit };
    struct Frame {
        PlacedSection *section;
        Step step;
        std::size_t runner;
    };
    if (!enter(root))
        return;
    std::vector<Frame> stack{{&root, Previous, 0}};
    while (!stack.empty()) {
        Frame &frame = stack.back();
        PlacedSection &section = *frame.section;
        PlacedSection *dependency = nullptr;
        switch (frame.step) {
        case Previous:
            frame.step = RunIn;
            if (section.previous && !section.previous->laidOut)
                dependency = section.previous;
            break;
        case RunIn:
            frame.step = Runners;
            if (section.hasRunIn()) {
                section.runSection = findRunSection(section);
                if (!section.runSection) {
                    discardOrFail(section);
                    section.laidOut = true;
                    section.inProgress = false;
                    stack.pop_back();
                    continue;
                }
                // The run address follows the section before the run section.
                PlacedSection *before = section.runSection->previous;
                if (before && !before->laidOut)
                    dependency = before;
            }
            break;
        case Runners: {
            const std::vector<PlacedSection *> &runners = sectionsRunningIn(section);
            if (frame.runner < runners.size()) {
                dependency = runners[frame.runner++];
            } else {
                frame.step = Emit;
            }
            break;
        }
        case Emit: {
            // Checked only now, so that sections running in each other are reported as
            // the cycle they are.
            if (section.hasRunIn() && !sectionsRunningIn(section).empty())
                throw PlacementError("run section " + section.name +
                                     " cannot have run in sections");
            if (section.runSection && section.runSection->hasRunIn())
                throw PlacementError("run section " + section.runSection->name +
                                     " cannot have run in sections");
            emit(section);
            section.laidOut = true;
            section.inProgress = false;
            stack.pop_back();
            continue;
        }
        }
        if (dependency && enter(*dependency))
            stack.push_back({dependency, Previous, 0});
    }
}
