#pragma once

#include <cstddef>
#include <cstdint>

// CRC-32/BZIP2: polynomial 0x04C11DB7, initial value 0xFFFFFFFF, bits taken most significant
// first, result inverted. Continue a running sum by passing the previous result.
std::uint32_t crc32Bzip2(const std::uint8_t *bytes, std::size_t size, std::uint32_t previous = 0);
