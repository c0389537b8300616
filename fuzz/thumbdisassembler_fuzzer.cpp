// Arbitrary bytes decoded in order: each instruction takes two or four of the bytes left,
// has a text, and a heap copy of exactly the input shows any read past it.

#include "debug/thumbdisassembler.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    ThumbDisassembler disassembler;
    std::size_t at = 0;
    while (at + 2 <= bytes.size()) {
        const ThumbInstruction decoded =
            disassembler.decode(0x08000000 + at, bytes.data() + at, bytes.size() - at);
        if ((decoded.size != 2 && decoded.size != 4) || decoded.size > bytes.size() - at ||
            decoded.text.empty())
            std::abort();
        at += decoded.size;
    }
    if (disassembler.decode(0, bytes.data() + at, bytes.size() - at).size != 0)
        std::abort();
    return 0;
}
