#include "loadfile/tihexloadfile.h"

#include "core/hexception.h"

namespace {
constexpr std::size_t kMaxLineLength = 63;

// The address of an "@" line: the digits up to the first blank or control character.
std::uint32_t parseAddress(std::string_view text) {
    std::uint32_t address = 0;
    unsigned digits = 0;
    for (std::size_t i = 1; i < text.size() && std::uint8_t(text[i]) > 32; ++i) {
        std::uint8_t value = hexDigitValue(text[i]);
        if (value > 0xf)
            throw HException("invalid address");
        // More than eight digits would silently drop the leading ones.
        if (++digits > 8)
            throw HException("invalid address");
        address = address << 4 | value;
    }
    return address;
}
} // namespace

TIHexLoadFile::TIHexLoadFile(const std::string &path) {
    load(path, kMaxLineLength);
}

bool TIHexLoadFile::parseLine(const LoadFileLine &line) {
    if (!line.text.empty() && line.text[0] == '@') {
        m_address = parseAddress(line.text);
        return true;
    }
    if (!line.text.empty() && line.text[0] == 'q')
        return false;
    std::uint8_t data[kMaxLineLength / 3 + 1];
    std::size_t count = (line.length + 1) / 3;
    for (std::size_t i = 0; i < count; ++i)
        data[i] = hexByteAt(line.text, 3 * i);
    appendBytes(m_address, data, count);
    m_address += std::uint32_t(count);
    return true;
}

void TIHexLoadFile::endOfFile() {
    throw HException("unexpected end of file");
}
