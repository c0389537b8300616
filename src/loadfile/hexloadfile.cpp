#include "loadfile/hexloadfile.h"

#include "core/hexception.h"

namespace {
constexpr std::size_t kMaxLineLength = 63;
constexpr std::size_t kAddressDigits = 8;
} // namespace

HexLoadFile::HexLoadFile(const std::string &path) {
    load(path, kMaxLineLength);
}

bool HexLoadFile::parseLine(const LoadFileLine &line) {
    if (line.text.size() < kAddressDigits)
        throw HException("invalid address");
    std::uint32_t address = 0;
    for (std::size_t i = 0; i < kAddressDigits; i += 2)
        address = address << 8 | hexByteAt(line.text, i);
    std::uint8_t data[kMaxLineLength / 3];
    std::size_t count = (line.length - kAddressDigits) / 3;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t position = kAddressDigits + 3 * i;
        if (line.text[position] != ' ')
            throw HException("invalid separator");
        data[i] = hexByteAt(line.text, position + 1);
    }
    appendBytes(address, data, count);
    return true;
}
