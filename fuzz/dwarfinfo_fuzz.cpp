// The debugging information entries of .debug_info (with .debug_abbrev, .debug_str,
// .debug_line_str and .debug_loc): every unit walked entry by entry and by offset, and the
// locals of the function at an address. Damaged information throws HException.

#include "core/hexception.h"
#include "debug/dwarflocals.h"
#include "debug/dwarfreader.h"
#include "debug/dwarfunitreader.h"
#include "dwarfsections.h"

namespace {

void walkUnits(const DwarfFuzzInput &input) {
    DwarfReader info(input.sections[0], input.little, "bad DWARF debugging information");
    DwarfUnitReader unit(info, input.sections[1], input.sections[2], input.sections[3],
                         input.little);
    while (info.left() > 0) {
        if (!unit.begin())
            continue;
        const std::uint64_t start = info.position();
        while (info.position() < unit.end())
            unit.next();
        // A header longer than the unit leaves no entries to look up.
        if (start < unit.end())
            unit.entryAt(start + input.address % (unit.end() - start));
        info.seek(unit.end());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const DwarfFuzzInput input = splitDwarfInput(data, size, 5);
    try {
        walkUnits(input);
    } catch (const HException &) {
    }
    try {
        DwarfLocals::find(input.sections[0], input.sections[1], input.sections[2],
                          input.sections[3], input.sections[4], input.little, input.address);
    } catch (const HException &) {
    }
    return 0;
}
