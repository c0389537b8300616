#include "loadfile/srecordbuffer.h"

#include <algorithm>
#include <vector>

namespace {
// The count byte covers the address, the bytes and the checksum.
constexpr unsigned kMaxHeaderBytes = 254;

// S1/S9 for 16-bit addresses, S2/S8 for 24-bit ones, S3/S7 from 0xFFFFFF on.
unsigned addressLengthFor(std::uint32_t address) {
    if (address < 0x10000)
        return 2;
    return address >= 0xffffff ? 4 : 3;
}
} // namespace

SRecordBuffer::SRecordBuffer(const std::string &path) : RecordCodeBuffer(path) {
    // A longer path would overflow the count byte; its beginning names the file well enough.
    std::size_t length = std::min<std::size_t>(path.size(), kMaxHeaderBytes);
    writeLine('0', 0, 0, reinterpret_cast<const std::uint8_t *>(path.data()), unsigned(length));
}

void SRecordBuffer::writeLine(char type, std::uint32_t address, unsigned addressLength,
                              const std::uint8_t *bytes, unsigned count) {
    constexpr std::size_t kLongestLine = 2 + 2 * (1 + 4 + kMaxHeaderBytes + 1) + 1;
    static_assert(kLongestLine <= CodeBufferOutput::kLineRoom);
    char *out = m_output.reserve(kLongestLine);
    *out++ = 'S';
    *out++ = type;
    std::uint8_t recordCount = std::uint8_t(count + addressLength + 1);
    std::uint8_t sum = recordCount;
    out = putHexByte(out, recordCount);
    for (unsigned i = addressLength; i-- > 0;) {
        std::uint8_t byte = std::uint8_t(address >> (8 * i));
        out = putHexByte(out, byte);
        sum += byte;
    }
    out = putHexBytes(out, bytes, count, sum);
    out = putHexByte(out, std::uint8_t(~sum));
    *out++ = '\n';
    m_output.advance(out);
}

void SRecordBuffer::writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) {
    unsigned addressLength = addressLengthFor(address);
    writeLine(char('0' + addressLength - 1), address, addressLength, bytes, count);
}

void SRecordBuffer::finish(std::uint32_t entryAddress) {
    flush();
    // An S9 holds only 16 bits: wider entry points take S8 or S7 so they are not cut short.
    unsigned addressLength = addressLengthFor(entryAddress);
    writeLine(char('9' - (addressLength - 2)), entryAddress, addressLength, nullptr, 0);
    m_output.commit();
}
