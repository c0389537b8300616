#include "loadfile/tekhexbuffer.h"

namespace {
enum RecordType : unsigned { Data = 6, Termination = 8 };

// The sum of the values of a number's low `digits` hexadecimal digits.
unsigned digitSum(std::uint32_t value, unsigned digits) {
    unsigned sum = 0;
    for (unsigned i = 0; i < digits; ++i, value >>= 4)
        sum += value & 0xf;
    return sum;
}
} // namespace

TekHexBuffer::TekHexBuffer(const std::string &path) : RecordCodeBuffer(path) {}

void TekHexBuffer::writeLine(unsigned type, std::uint32_t address, const std::uint8_t *bytes,
                             unsigned count) {
    char line[1 + 6 + 8 + 2 * kRecordSize + 1];
    unsigned addressDigits = significantHexDigits(address);
    unsigned length = 6 + addressDigits + 2 * count;
    // The checksum adds the values of every digit but its own two.
    unsigned sum = digitSum(length, 2) + type + addressDigits + digitSum(address, addressDigits);
    for (unsigned i = 0; i < count; ++i)
        sum += digitSum(bytes[i], 2);
    char *out = line;
    *out++ = '%';
    out = putHexByte(out, std::uint8_t(length));
    out = putHexDigits(out, type, 1);
    out = putHexByte(out, std::uint8_t(sum));
    out = putHexDigits(out, addressDigits, 1);
    out = putHexDigits(out, address, addressDigits);
    for (unsigned i = 0; i < count; ++i)
        out = putHexByte(out, bytes[i]);
    *out++ = '\n';
    m_output.write(line, std::size_t(out - line));
}

void TekHexBuffer::writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) {
    writeLine(Data, address, bytes, count);
}

void TekHexBuffer::finish(std::uint32_t entryAddress) {
    flush();
    m_currentAddress = entryAddress;
    m_recordStart = entryAddress;
    writeLine(Termination, entryAddress, nullptr, 0);
    m_output.commit();
}
