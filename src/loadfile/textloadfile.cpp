#include "loadfile/textloadfile.h"

#include "core/hexception.h"

#include <array>

namespace {
// Value of each character as a hexadecimal digit, 0xff for the rest.
constexpr std::array<std::uint8_t, 256> kDigitValue = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(0xff);
    for (int c = '0'; c <= '9'; ++c)
        table[c] = std::uint8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = std::uint8_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = std::uint8_t(c - 'a' + 10);
    return table;
}();

constexpr std::uint64_t k4GiB = std::uint64_t(1) << 32;

inline std::uint8_t decode(const char *digits) {
    std::uint8_t high = kDigitValue[std::uint8_t(digits[0])];
    std::uint8_t low = kDigitValue[std::uint8_t(digits[1])];
    if ((high | low) & 0xf0)
        throw HException("invalid ASCII encoded byte");
    return std::uint8_t(high << 4 | low);
}
} // namespace

std::uint8_t hexDigitValue(char c) {
    return kDigitValue[std::uint8_t(c)];
}

std::uint8_t hexByteAt(std::string_view text, std::size_t position) {
    // The line end is no digit.
    if (position + 2 > text.size())
        throw HException("invalid ASCII encoded byte");
    return decode(text.data() + position);
}

std::uint8_t RecordReader::next() {
    if (m_position + 2 > m_text.size())
        throw HException("invalid record length");
    std::uint8_t value = decode(m_text.data() + m_position);
    m_position += 2;
    return value;
}

std::uint32_t RecordReader::bigEndian(unsigned count) {
    std::uint32_t value = 0;
    for (unsigned i = 0; i < count; ++i)
        value = value << 8 | byte();
    return value;
}

void RecordReader::bytes(std::uint8_t *out, std::size_t count) {
    std::size_t available = (m_text.size() - m_position) / 2;
    std::size_t n = count < available ? count : available;
    const char *digits = m_text.data() + m_position;
    std::uint8_t sum = m_sum;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t value = decode(digits + 2 * i);
        out[i] = value;
        sum += value;
    }
    m_sum = sum;
    m_position += 2 * n;
    if (n < count)
        throw HException("invalid record length");
}

void TextLoadFile::load(const std::string &path, std::size_t maxLineLength) {
    LoadFileInput input(path);
    LoadFileLine line;
    for (int number = 1;; ++number) {
        try {
            if (!input.nextLine(line, maxLineLength)) {
                // A format that needs an end record names the line it is missing from.
                endOfFile();
                return;
            }
            if (!parseLine(line))
                return;
        } catch (const HException &error) {
            throw HException(error.message() + " : line " + std::to_string(number));
        }
    }
}

void TextLoadFile::appendBytes(std::uint32_t address, const std::uint8_t *bytes,
                               std::size_t count) {
    // A record without bytes would only leave an empty section that widens merged images.
    if (count == 0)
        return;
    // Sections never straddle 4 GiB, so a record crossing it is split there.
    std::uint64_t room = k4GiB - address;
    if (count > room) {
        appendBytes(address, bytes, std::size_t(room));
        appendBytes(0, bytes + room, count - std::size_t(room));
        return;
    }
    if (!m_current || m_current->end() != address) {
        auto section = std::make_unique<ExpandingLoadFileSection>(std::string(), address);
        m_current = section.get();
        m_sections.sections().append(std::move(section));
    }
    m_current->append(bytes, count);
}
