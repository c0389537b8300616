// Preprocesses arbitrary documents as a memory map would be: the first byte chooses whether
// attribute values are expanded, the rest is the document, taken to sit in the preprocessor
// fixtures so that it can include them. Whatever comes out must write, read back and evaluate,
// and every warning must be one of the preprocessor's. The limits are smaller than a load's, so
// that inputs that reach them stay within libFuzzer's time limit under the sanitizers.
#include "memorymap/memorymap.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "xml/xmlpp.h"
#include "xml/xmlwriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

[[noreturn]] void fault(const char *what, const std::string &text) {
    std::fprintf(stderr, "%s:\n%s\n", what, text.c_str());
    std::abort();
}

XmlPP::Limits fuzzLimits() {
    XmlPP::Limits limits;
    limits.generatedElements = 20000;
    limits.generatedBytes = std::size_t(4) << 20;
    limits.includes = 256;
    limits.macroValue = std::size_t(64) << 10;
    limits.definedBytes = std::size_t(4) << 20;
    limits.expandedValue = std::size_t(1) << 20;
    limits.expandedBytes = std::size_t(16) << 20;
    return limits;
}

const MacroExpander &macroSet() {
    static const MacroExpander expander = [] {
        MacroExpander macros;
        macros.setGlobalMacro("G", "global");
        macros.addSystemMacro("HostOS", "linux");
        return macros;
    }();
    return expander;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool expand = data[0] & 1;
    std::string_view input(reinterpret_cast<const char *>(data) + 1, size - 1);

    MemoryMap document(macroSet());
    std::vector<std::string> warnings;
    document.setWarningHandler([&](const std::string &message) { warnings.push_back(message); });
    if (!document.parse(input) || !document.rootElement())
        return 0;
    XmlPP::processConditionals(
        document, document.rootElement(), PALINDOR_XMLPP_INCLUDES "/fuzz.xml",
        MacroMap::fromList("FAMILY=F4;A=1;N=3;Board=Fuzz"), expand, fuzzLimits());
    for (const std::string &warning : warnings) {
        if (!warning.starts_with("XmlPP::processConditionals(): "))
            fault("foreign warning", warning);
    }
    document.evaluateAddresses();
    for (MemoryMapElement *segment : document.segments()) {
        if (segment->hasName() && document.findSegment(segment->nameAttribute()) == nullptr)
            fault("segment not found by its name", std::string(segment->nameAttribute()));
        MemoryMap::sections(*segment);
    }

    std::ostringstream out;
    document.write(out, 2, 75);
    MemoryMap again(macroSet());
    if (!again.parse(out.str()))
        fault(("processed tree does not read back: " + again.errorText()).c_str(), out.str());
    return 0;
}
