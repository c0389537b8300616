#include "loadfile/hexbuffer.h"

HexBuffer::HexBuffer(const std::string &path) : RecordCodeBuffer(path) {}

void HexBuffer::writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) {
    char line[8 + 3 * kRecordSize + 1];
    char *out = putHexDigits(line, address, 8);
    for (unsigned i = 0; i < count; ++i) {
        *out++ = ' ';
        out = putHexByte(out, bytes[i]);
    }
    *out++ = '\n';
    m_output.write(line, std::size_t(out - line));
}

void HexBuffer::finish(std::uint32_t) {
    flush();
    m_output.commit();
}
