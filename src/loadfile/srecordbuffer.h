#pragma once

#include "loadfile/codebuffer.h"

// Writes Motorola S-records: an S0 header naming the file, S1/S2/S3 data records chosen by
// address, and a start record.
class SRecordBuffer : public RecordCodeBuffer {
public:
    explicit SRecordBuffer(const std::string &path);
    void finish(std::uint32_t entryAddress) override;

private:
    void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) override;
    // One record; `addressLength` address bytes (0 for the header), then the bytes.
    void writeLine(char type, std::uint32_t address, unsigned addressLength,
                   const std::uint8_t *bytes, unsigned count);
};
