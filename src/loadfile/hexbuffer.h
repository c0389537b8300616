#pragma once

#include "loadfile/codebuffer.h"

// Writes a plain hex listing: an eight-digit address and up to 16 blank-separated bytes.
class HexBuffer : public RecordCodeBuffer {
public:
    explicit HexBuffer(const std::string &path);
    void finish(std::uint32_t entryAddress) override;

private:
    void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) override;
};
