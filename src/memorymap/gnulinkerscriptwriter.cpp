#include "memorymap/gnulinkerscriptwriter.h"

#include "core/hexformat.h"
#include "memorymap/linkerscriptfile.h"
#include "memorymap/memorymapelement.h"
#include "memorymap/sectionplacement.h"

#include <optional>

namespace {

using Attribute = MemoryMapElement::Attribute;

struct DefaultInput {
    const char *section;
    const char *pattern;
};

// Input sections of the well-known output sections; .text differs by target.
constexpr DefaultInput kDefaultInputs[] = {
    {".dtors", "KEEP (*(SORT(.dtors.*))) KEEP (*(.dtors)) KEEP (*(.fini_array)) "
               "KEEP (*(SORT(.fini_array.*)))"},
    {".ctors", "KEEP (*(SORT(.ctors.*))) KEEP (*(.ctors)) KEEP (*(.init_array)) "
               "KEEP (*(SORT(.init_array.*)))"},
    {".data", "*(.data .data.* .gnu.linkonce.d.*)"},
    {".rodata", "*(.rodata .rodata.* .gnu.linkonce.r.*)"},
    {".bss", "*(.bss .bss.* .gnu.linkonce.b.*) *(COMMON)"},
};

constexpr char kTextInput[] = "*(.text .text.* .gnu.linkonce.t.*";
constexpr char kArmTextInput[] =
    " .glue_7t .glue_7 .gcc_except_table .ARM.extab* .gnu.linkonce.armextab.*";
constexpr char kSegmentSizeRemaining[] = "$(SEGMENT_SIZE_REMAINING)";

std::string replaceAll(std::string_view original, std::string_view from, std::string_view to) {
    std::string text(original);
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string alignExpression(const std::string &expression, std::uint32_t alignment) {
    return "ALIGN(" + expression + " , " + std::to_string(alignment) + ")";
}

// The section's size expression, with the space left in its segment spelt out.
std::optional<std::string> sizeExpression(const PlacedSection &section) {
    if (!section.has(Attribute::Size))
        return std::nullopt;
    const std::string g = section.segmentName();
    const PlacedSection *previous = section.previousKept();
    std::string remaining = previous ? "(__" + g + "_segment_end__ - (__" + previous->stem() +
                                           "_load_start__ + SIZEOF(" + previous->name + ")))"
                                     : "__" + g + "_segment_size__";
    return replaceAll(section.text(Attribute::Size), kSegmentSizeRemaining, remaining);
}

} // namespace

GnuLinkerScriptWriter::GnuLinkerScriptWriter(const LinkerScriptInput &input,
                                             GnuScriptOptions options)
    : m_input(input), m_options(std::move(options)) {}

GnuLinkerScriptWriter::~GnuLinkerScriptWriter() = default;

void GnuLinkerScriptWriter::write(const std::string &fileName) {
    LinkerScriptFile file(fileName);
    file.writeAndClose(text());
}

std::string GnuLinkerScriptWriter::text() {
    m_out.clear();
    m_placement =
        std::make_unique<SectionPlacement>(m_input.memoryMap, m_input.placement, m_input.settings);
    writeSegments();
    m_placement->placeFromSegmentEnd(m_input.symbols);
    m_placement->layOut([this](PlacedSection &section) { writeSection(section); });
    if (m_options.stackSizesSection)
        m_out += "  .stack_sizes(INFO) : { KEEP(*(.stack_sizes)); }\n";
    m_out += "}\n\n";
    return std::move(m_out);
}

void GnuLinkerScriptWriter::writeSegments() {
    const auto &segments = m_placement->segments();
    m_out += "MEMORY\n{\n";
    if (m_options.checkUnplacedSections)
        m_out += "  UNPLACED_SECTIONS (wx) : ORIGIN = 0x100000000, LENGTH = 0\n";
    for (const MemoryMapElement *segment : segments) {
        m_out += "  " + segment->symbolName() + (segment->isReadOnly() ? " (rx)" : " (wx)") +
                 " : ORIGIN = 0x" + hex8(segment->start()) + ", LENGTH = 0x" +
                 hex8(segment->size()) + "\n";
    }
    m_out += "}\n\nSECTIONS\n{\n";
    for (const MemoryMapElement *segment : segments) {
        const std::string g = segment->symbolName();
        std::uint32_t start = segment->start();
        std::uint32_t size = segment->size();
        auto symbols = [&](const char *suffix, Attribute extra, std::uint32_t value) {
            m_out += "  __" + g + suffix + " = 0x" + hex8(value) + ";\n";
            if (segment->has(extra))
                m_out +=
                    "  " + std::string(segment->attribute(extra)) + " = 0x" + hex8(value) + ";\n";
        };
        symbols("_segment_start__", Attribute::AddressSymbol, start);
        symbols("_segment_end__", Attribute::EndSymbol, std::uint32_t(start + size));
        symbols("_segment_size__", Attribute::SizeSymbol, size);
    }
    m_out += "\n";
    for (const auto &[name, value] : m_input.symbols)
        m_out += "  " + name + " = " + value + ";\n";
    m_out += "\n";
}

std::string GnuLinkerScriptWriter::startExpression(const PlacedSection &section) const {
    if (section.hasText(Attribute::Start))
        return std::string(section.text(Attribute::Start));
    const std::string g = section.segmentName();
    if (section.placedFromEnd)
        return "__" + g + "_segment_start__ + (__" + g + "_segment_size__ - " +
               std::to_string(section.offsetFromEnd) + ")";
    std::string start;
    const PlacedSection *previous = section.previousKept();
    if (!previous)
        start = "__" + g + "_segment_start__";
    else if (previous->loadedElsewhere())
        start = "__" + previous->stem() + "_load_start__ + SIZEOF(" + previous->name + ")";
    else
        start = "__" + previous->stem() + "_end__";
    if (section.alignment() > 1)
        start = alignExpression(start, section.alignment());
    return start;
}

std::string GnuLinkerScriptWriter::runAddress(const PlacedSection &section) const {
    const PlacedSection &run = *section.runSection;
    if (run.hasText(Attribute::Start))
        return "0x" + hex8(run.section->start());
    const PlacedSection *before = run.previousKept();
    std::string address =
        before ? "__" + before->stem() + "_end__" : "__" + run.segmentName() + "_segment_start__";
    if (run.has(Attribute::Alignment))
        address = alignExpression(address, run.alignment());
    return address;
}

std::string GnuLinkerScriptWriter::inputPattern(const PlacedSection &section) const {
    std::string pattern;
    if (section.has(Attribute::Inputsections)) {
        pattern = section.text(Attribute::Inputsections);
    } else if (section.name == ".text") {
        pattern = kTextInput;
        if (m_input.settings.target == TargetProcessor::Arm)
            pattern += kArmTextInput;
        pattern += ")";
    } else {
        pattern = "*(" + section.name + " " + section.name + ".*)";
        for (const DefaultInput &input : kDefaultInputs) {
            if (section.name == input.section)
                pattern = input.pattern;
        }
    }
    return section.isYes(Attribute::Keep) ? "KEEP(" + pattern + ")" : pattern;
}

void GnuLinkerScriptWriter::writeSection(PlacedSection &section) {
    const std::string &S = section.name;
    const std::string s = section.stem();
    const std::string g = section.segmentName();
    const PlacedSection *previous = section.previousKept();
    const std::vector<PlacedSection *> &runners = m_placement->sectionsRunningIn(section);
    const bool runSection = !runners.empty();
    const std::string start = startExpression(section);
    const std::string noLoad = section.isYes(Attribute::Load) ? "" : " (NOLOAD)";
    const std::optional<std::string> size = sizeExpression(section);
    const std::uint32_t alignment = section.alignment();
    const std::string alignmentText = std::to_string(alignment);
    const bool aligned = section.has(Attribute::Alignment);
    std::string addressSymbol;
    if (section.has(Attribute::AddressSymbol))
        addressSymbol = "    " + std::string(section.text(Attribute::AddressSymbol)) + " =   __" +
                        s + "_start__;\n";

    std::string end; // the end expression of a run section
    if (runSection) {
        m_out += "  " + S + " " + start + noLoad + " :\n  {\n    __" + s + "_start__ = .;\n";
        m_out += addressSymbol;
        // MAX(MAX(first, second), third)...: the opening brackets are written at once, so that
        // many sections running in one do not make the text quadratic to build.
        std::string first;
        if (size)
            first = aligned ? "ALIGN(__" + s + "_start__ + " + *size + ", " + alignmentText + ")"
                            : "__" + s + "_start__ + " + *size;
        std::string rest;
        std::size_t nesting = 0;
        for (const PlacedSection *runner : runners) {
            std::string term = "__" + s + "_start__ + SIZEOF(" + runner->name + ")";
            if (first.empty()) {
                first = std::move(term);
            } else {
                rest += ", " + term + ")";
                ++nesting;
            }
        }
        for (std::size_t i = 0; i < nesting; ++i)
            end += "MAX(";
        end += first + rest;
    } else {
        m_out += "  __" + s + "_load_start__ = " + start + ";\n";
        std::string address = start;
        if (section.hasRunIn())
            address = runAddress(section);
        else if (section.hasRunOffset())
            address =
                "__" + s + "_load_start__ + " + std::string(section.text(Attribute::Runoffset));
        m_out += "  " + S + " " + address + noLoad + " : AT(" + start + ")\n";
        m_out += "  {\n    __" + s + "_start__ = .;\n";
        m_out += addressSymbol;
        m_out += "    " + inputPattern(section) + "\n";
        if (size) {
            std::string grown = "MAX(__" + s + "_start__ + " + *size + " , .)";
            m_out += aligned ? "    . = ALIGN(" + grown + ", " + alignmentText + ");\n"
                             : "    . = " + grown + ";\n";
        }
    }

    if (section.has(Attribute::Fill))
        m_out += "  } =" + std::string(section.text(Attribute::Fill)) + "\n";
    else if (!m_options.defaultFillPattern.empty())
        m_out += "  } =" + m_options.defaultFillPattern + "\n";
    else
        m_out += "  }\n";
    if (!end.empty())
        m_out += "  __" + s + "_end__ = " + end + ";\n";
    else
        m_out += "  __" + s + "_end__ = __" + s + "_start__ + SIZEOF(" + S + ");\n";
    if (runSection)
        m_out += "  __" + s + "_size__ = __" + s + "_end__ - __" + s + "_start__;\n";
    else
        m_out += "  __" + s + "_size__ = SIZEOF(" + S + ");\n";
    if (section.has(Attribute::EndSymbol))
        m_out +=
            "  " + std::string(section.text(Attribute::EndSymbol)) + " =   __" + s + "_end__;\n";
    if (section.has(Attribute::SizeSymbol))
        m_out += std::string(section.text(Attribute::SizeSymbol)) + " =   __" + s + "_size__;\n";
    const bool elsewhere = section.loadedElsewhere();
    if (elsewhere)
        m_out += "  __" + s + "_load_end__ = __" + s + "_load_start__ + SIZEOF(" + S + ");\n\n";
    else
        m_out += "  __" + s + "_load_end__ = __" + s + "_end__;\n\n";

    if (section.lastInSegment)
        m_out += "  __" + g + "_segment_used_end__ = " + start + " + SIZEOF(" + S + ");\n  __" + g +
                 "_segment_used_size__ = __" + g + "_segment_used_end__ - __" + g +
                 "_segment_start__;\n\n";

    if (m_options.checkSegmentOverflow) {
        const std::string first = elsewhere ? "_load_start__" : "_start__";
        const std::string last = elsewhere ? "_load_end__" : "_end__";
        m_out += "  . = ASSERT(__" + s + first + " == __" + s + last + " || (__" + s + last +
                 " - __" + g + "_segment_start__) <=" + (elsewhere ? "  " : " ") + "__" + g +
                 "_segment_size__ , \"error: " + S + " is too large to fit in " + g +
                 " memory segment\");\n";
        if (previous && (section.hasText(Attribute::Start) || section.placedFromEnd)) {
            std::string p = previous->stem() + (previous->loadedElsewhere() ? "_load" : "");
            std::string own = s + (elsewhere ? "_load" : "");
            m_out += "  . = ASSERT(__" + p + "_end__ <= __" + own + "_start__ , \"error: section " +
                     previous->name + " overlaps absolute placed section " + S + "\");\n";
        }
        m_out += "\n";
    }
    if (m_options.checkSectionOverflow && size)
        m_out += "  . = ASSERT(__" + s + "_size__ <= " + *size + " , \"error: " + S +
                 " is larger than specified size\");\n\n";
}
