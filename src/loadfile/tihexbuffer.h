#pragma once

#include "loadfile/codebuffer.h"

// Writes TI-TXT: an "@address" line wherever the bytes do not follow on, lines of up to 16
// bytes, and "q" at the end.
class TIHexBuffer : public RecordCodeBuffer {
public:
    explicit TIHexBuffer(const std::string &path);
    void finish(std::uint32_t entryAddress) override;

private:
    void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) override;

    std::uint32_t m_lastEnd = 0xffffffff; // the address after the last line written
    bool m_addressWritten = false;
};
