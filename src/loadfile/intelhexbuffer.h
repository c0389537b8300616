#pragma once

#include "loadfile/codebuffer.h"

// Writes Intel HEX: data records with extended linear address records where the upper
// address half changes, a start address record for a non-zero entry, and the end record.
class IntelHexBuffer : public RecordCodeBuffer {
public:
    explicit IntelHexBuffer(const std::string &path);
    void finish(std::uint32_t entryAddress) override;

private:
    void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) override;
    void writeLine(std::uint8_t type, std::uint16_t offset, const std::uint8_t *bytes,
                   unsigned count);

    std::uint32_t m_upperAddress = 0; // of the last extended linear address record
};
