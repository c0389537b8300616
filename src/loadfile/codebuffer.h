#pragma once

#include "loadfile/codebufferoutput.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// The largest image made of one piece, gaps filled: a hostile file can place bytes up to
// 4 GiB apart, and no real image spans more than 2 GiB.
inline constexpr std::uint64_t kMaxContiguousImageSize = std::uint64_t(1) << 31;

// An image writer: a stream of addressed bytes in, a load file out. The output file is
// opened on construction and appears, complete, when finish succeeds; a writer destroyed
// before that leaves no file. Failures are thrown as HException.
class CodeBuffer {
public:
    virtual ~CodeBuffer() = default;

    // Where the next byte goes.
    virtual void setAddress(std::uint32_t address) = 0;
    virtual void putByte(std::uint8_t byte) = 0;
    // The same as putByte for each byte in turn, without a call per byte.
    virtual void putBytes(const std::uint8_t *bytes, std::size_t count);
    // Writes what is left and the entry address where the format has one.
    virtual void finish(std::uint32_t entryAddress) = 0;
};

// The text writers: bytes are collected into records of up to 16 bytes at consecutive
// addresses; a record is written when it is full or the address jumps.
class RecordCodeBuffer : public CodeBuffer {
public:
    void setAddress(std::uint32_t address) override;
    void putByte(std::uint8_t byte) override;
    void putBytes(const std::uint8_t *bytes, std::size_t count) override;

protected:
    static constexpr unsigned kRecordSize = 16;

    // `breakAt64K` also ends a record when the address reaches a multiple of 0x10000.
    explicit RecordCodeBuffer(const std::string &path, bool breakAt64K = false);
    // Writes the collected record, if any.
    void flush();
    // Formats one record of 1 to 16 bytes.
    virtual void writeRecord(std::uint32_t address, const std::uint8_t *bytes, unsigned count) = 0;

    CodeBufferOutput m_output;
    std::uint32_t m_currentAddress = 0;
    std::uint32_t m_recordStart = 0;

private:
    // Bytes the current record can still take.
    unsigned room() const;

    std::array<std::uint8_t, kRecordSize> m_record{};
    bool m_breakAt64K;
};

// The writer for a format name of the memory window: "hex" (Intel HEX), "lst", "srec",
// "bin" or "txt"; null for any other name.
std::unique_ptr<CodeBuffer> createWriter(std::string_view format, const std::string &path);

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// Upper-case hexadecimal digits of the low `digits` nibbles of a value, written at `out`;
// returns the position after them.
inline char *putHexDigits(char *out, std::uint32_t value, unsigned digits) {
    for (unsigned i = digits; i-- > 0;) {
        out[i] = kUpperHexDigits[value & 0xf];
        value >>= 4;
    }
    return out + digits;
}

// The two digits of every byte value, so that a byte is encoded with one two-byte copy.
inline constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        pairs[2 * byte] = kUpperHexDigits[byte >> 4];
        pairs[2 * byte + 1] = kUpperHexDigits[byte & 0xf];
    }
    return pairs;
}();

// The two digits of a byte.
inline char *putHexByte(char *out, std::uint8_t byte) {
    std::memcpy(out, &kHexPairs[2 * std::size_t(byte)], 2);
    return out + 2;
}

// The digits of `count` bytes, whose sum is added to `sum` (the records' checksums). Sixteen
// bytes at a time go through vector arithmetic (GCC/Clang vector extensions, SSE2 or NEON
// code): a full record line in a few dozen instructions.
inline char *putHexBytes(char *out, const std::uint8_t *bytes, std::size_t count,
                         std::uint8_t &sum) {
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    auto digits = [](Bytes nibbles) {
        // '0'-'9', then 'A'-'F' seven characters further on.
        return Bytes(nibbles + '0' + (Bytes(nibbles > 9) & 7));
    };
    for (; count >= 16; count -= 16, bytes += 16, out += 32) {
        Bytes value;
        std::memcpy(&value, bytes, 16);
        Bytes high = digits(value >> 4), low = digits(value & 0xf);
        Bytes first = __builtin_shufflevector(high, low, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21,
                                              6, 22, 7, 23);
        Bytes second = __builtin_shufflevector(high, low, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13,
                                               29, 14, 30, 15, 31);
        std::memcpy(out, &first, 16);
        std::memcpy(out + 16, &second, 16);
        // The sum in 16-bit lanes (at most 1020 each), then the lanes added by a multiply.
        constexpr std::uint64_t kEvenBytes = 0x00ff00ff00ff00ffu;
        std::uint64_t half[2];
        std::memcpy(half, bytes, 16);
        std::uint64_t lanes = (half[0] & kEvenBytes) + (half[0] >> 8 & kEvenBytes) +
                              (half[1] & kEvenBytes) + (half[1] >> 8 & kEvenBytes);
        sum += std::uint8_t((lanes * 0x0001000100010001u) >> 48);
    }
    for (std::size_t i = 0; i < count; ++i) {
        out = putHexByte(out, bytes[i]);
        sum += bytes[i];
    }
    return out;
}

// How many hexadecimal digits a value needs, at least one.
inline unsigned significantHexDigits(std::uint32_t value) {
    unsigned digits = 1;
    while (value >>= 4)
        ++digits;
    return digits;
}
