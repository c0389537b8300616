// The call frame information of .debug_frame: a damaged section throws HException; one that
// reads unwinds a chain of frames over made-up registers and memory without failing.

#include "core/hexception.h"
#include "debug/dwarfframetable.h"
#include "dwarfsections.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const DwarfFuzzInput input = splitDwarfInput(data, size, 1);
    try {
        const DwarfFrameTable table(input.sections[0], input.little, input.addressSize);
        auto readRegister = [&](std::uint64_t number) -> std::optional<std::uint64_t> {
            if (number % 5 == 4)
                return std::nullopt;
            return input.address + number * 0x100;
        };
        auto readMemory = [](std::uint64_t address) -> std::optional<std::uint64_t> {
            if (address % 7 == 3)
                return std::nullopt;
            return address * 0x9e3779b97f4a7c15u >> 16;
        };
        std::uint64_t pc = input.address;
        // As the debugger walks a call chain: each caller looked up at its return address.
        for (int frame = 0; frame < 16; ++frame) {
            table.rowAt(pc);
            const std::optional<DwarfFrameTable::Caller> caller =
                table.unwind(pc, 13, readRegister, readMemory);
            if (!caller || !caller->returnAddress)
                break;
            pc = *caller->returnAddress - 1;
        }
    } catch (const HException &) {
    }
    return 0;
}
