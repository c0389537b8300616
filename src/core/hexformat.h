#pragma once

#include <cstdint>
#include <string>

// Lower-case hexadecimal of a 32-bit value, zero-padded to eight digits, without "0x":
// the form of every address in a generated linker script.
std::string hex8(std::uint32_t value);

// Lower-case hexadecimal without padding or prefix.
std::string hex(std::uint64_t value);
