#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

// The input of the DWARF reader fuzzers: a byte of options (bit 0: big-endian; bits 1-2: the
// address size 2, 4, 8 or 4), eight bytes of an address to look up, then the section bytes,
// one section after another, separated by "DWSEC". Missing sections are empty.
struct DwarfFuzzInput {
    bool little = true;
    unsigned addressSize = 4;
    std::uint64_t address = 0;
    std::vector<std::span<const std::uint8_t>> sections;
};

inline DwarfFuzzInput splitDwarfInput(const std::uint8_t *data, std::size_t size,
                                      std::size_t sectionCount) {
    static constexpr std::uint8_t kSeparator[] = {'D', 'W', 'S', 'E', 'C'};
    static constexpr unsigned kAddressSizes[] = {2, 4, 8, 4};
    DwarfFuzzInput input;
    if (size > 0) {
        input.little = !(data[0] & 1);
        input.addressSize = kAddressSizes[data[0] >> 1 & 3];
    }
    for (std::size_t i = 1; i < 9 && i < size; ++i)
        input.address = input.address << 8 | data[i];
    const std::uint8_t *at = data + std::min<std::size_t>(size, 9);
    const std::uint8_t *end = data + size;
    while (input.sections.size() < sectionCount) {
        const std::uint8_t *next =
            std::search(at, end, std::begin(kSeparator), std::end(kSeparator));
        input.sections.emplace_back(at, std::size_t(next - at));
        at = next == end ? end : next + sizeof kSeparator;
    }
    return input;
}
