// The line-number programs of .debug_line (with .debug_line_str and .debug_str): a damaged
// table throws HException; one that reads answers address and line look-ups from its own ranges.

#include "core/hexception.h"
#include "debug/dwarflinetable.h"
#include "dwarfsections.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const DwarfFuzzInput input = splitDwarfInput(data, size, 3);
    try {
        const DwarfLineTable table(input.sections[0], input.sections[1], input.sections[2],
                                   input.little, {{0, "/base"}});
        table.find(input.address);
        // Rows of no length name lines without covering code; the others are found again.
        std::size_t checked = 0;
        for (const DwarfLineTable::Range &range : table.ranges()) {
            if (range.file >= table.files().size() || range.start > range.end)
                std::abort();
            if (range.start < range.end && !table.find(range.start))
                std::abort();
            if (++checked <= 64) {
                int line = range.line;
                table.addresses(table.files()[range.file], line);
            }
        }
    } catch (const HException &) {
    }
    return 0;
}
