#pragma once

#include "loadfile/codebuffer.h"

// Writes Extended Tektronix hex: type 6 data records and a type 8 termination record that
// carries the entry address.
class TekHexBuffer : public RecordCodeBuffer {
public:
    explicit TekHexBuffer(const std::string &path);
    void finish(std::uint32_t entryAddress) override;

private:
    void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) override;
    void writeLine(unsigned type, std::uint32_t address, const std::uint8_t *bytes, unsigned count);
};
