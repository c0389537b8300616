#include "loadfile/intelhexbuffer.h"

namespace {
enum RecordType : std::uint8_t {
    Data = 0,
    EndOfFile = 1,
    ExtendedLinearAddress = 4,
    StartLinearAddress = 5,
};
} // namespace

IntelHexBuffer::IntelHexBuffer(const std::string &path) : RecordCodeBuffer(path, true) {}

void IntelHexBuffer::writeLine(std::uint8_t type, std::uint16_t offset, const std::uint8_t *bytes,
                               unsigned count) {
    constexpr std::size_t kLongestLine = 1 + 2 * (4 + kRecordSize + 1) + 1;
    static_assert(kLongestLine <= CodeBufferOutput::kLineRoom);
    char *out = m_output.reserve(kLongestLine);
    *out++ = ':';
    std::uint8_t sum = std::uint8_t(count + (offset >> 8) + offset + type);
    out = putHexByte(out, std::uint8_t(count));
    out = putHexDigits(out, offset, 4);
    out = putHexByte(out, type);
    out = putHexBytes(out, bytes, count, sum);
    out = putHexByte(out, std::uint8_t(0 - sum));
    *out++ = '\n';
    m_output.advance(out);
}

void IntelHexBuffer::writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) {
    std::uint32_t upper = address >> 16;
    if (upper != m_upperAddress) {
        std::uint8_t value[2] = {std::uint8_t(upper >> 8), std::uint8_t(upper)};
        writeLine(ExtendedLinearAddress, 0, value, 2);
        m_upperAddress = upper;
    }
    writeLine(Data, std::uint16_t(address), bytes, count);
}

void IntelHexBuffer::finish(std::uint32_t entryAddress) {
    flush();
    // Without this record the entry point would be lost; zero means there is none to keep.
    if (entryAddress != 0) {
        std::uint8_t value[4] = {std::uint8_t(entryAddress >> 24), std::uint8_t(entryAddress >> 16),
                                 std::uint8_t(entryAddress >> 8), std::uint8_t(entryAddress)};
        writeLine(StartLinearAddress, 0, value, 4);
    }
    writeLine(EndOfFile, 0, nullptr, 0);
    m_output.commit();
}
