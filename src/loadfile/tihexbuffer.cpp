#include "loadfile/tihexbuffer.h"

#include <algorithm>

TIHexBuffer::TIHexBuffer(const std::string &path) : RecordCodeBuffer(path) {}

void TIHexBuffer::writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) {
    char line[1 + 8 + 1 + 3 * kRecordSize];
    char *out = line;
    // The first line always gets an address, even one that equals the initial end.
    if (address != m_lastEnd || !m_addressWritten) {
        // Four digits below 64 KiB, five below 1 MiB; addresses beyond take all their
        // digits rather than lose the upper ones.
        *out++ = '@';
        out = putHexDigits(out, address,
                           address < 0x10000 ? 4 : std::max(5u, significantHexDigits(address)));
        *out++ = '\n';
    }
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0)
            *out++ = ' ';
        out = putHexByte(out, bytes[i]);
    }
    *out++ = '\n';
    m_output.write(line, std::size_t(out - line));
    m_lastEnd = address + count;
    m_addressWritten = true;
}

void TIHexBuffer::finish(std::uint32_t) {
    flush();
    m_output.write("q\n", 2);
    m_output.commit();
}
