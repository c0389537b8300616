#include "core/hexformat.h"

#include <array>
#include <charconv>

std::string hex8(std::uint32_t value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i) {
        text[i] = digits[value & 0xf];
        value >>= 4;
    }
    return text;
}

std::string hex(std::uint64_t value) {
    std::array<char, 16> buffer;
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, 16);
    return std::string(buffer.data(), end);
}
