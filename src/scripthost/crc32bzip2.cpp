#include "scripthost/crc32bzip2.h"

#include <array>

namespace {

// Sixteen tables: table k advances a byte through k further zero bytes, so the main loop
// folds sixteen bytes with independent lookups.
struct Tables {
    std::array<std::array<std::uint32_t, 256>, 16> t;
    Tables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t crc = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            t[0][i] = crc;
        }
        for (std::uint32_t i = 0; i < 256; ++i)
            for (std::size_t k = 1; k < t.size(); ++k)
                t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    }
};

const Tables &tables() {
    static const Tables instance;
    return instance;
}

std::uint32_t bigEndianWord(const std::uint8_t *p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

} // namespace

std::uint32_t crc32Bzip2(const std::uint8_t *bytes, std::size_t size, std::uint32_t previous) {
    const auto &t = tables().t;
    std::uint32_t crc = ~previous;
    while (size >= 16) {
        std::uint32_t a = bigEndianWord(bytes) ^ crc;
        std::uint32_t b = bigEndianWord(bytes + 4);
        std::uint32_t c = bigEndianWord(bytes + 8);
        std::uint32_t d = bigEndianWord(bytes + 12);
        crc = t[15][a >> 24] ^ t[14][(a >> 16) & 0xff] ^ t[13][(a >> 8) & 0xff] ^ t[12][a & 0xff] ^
              t[11][b >> 24] ^ t[10][(b >> 16) & 0xff] ^ t[9][(b >> 8) & 0xff] ^ t[8][b & 0xff] ^
              t[7][c >> 24] ^ t[6][(c >> 16) & 0xff] ^ t[5][(c >> 8) & 0xff] ^ t[4][c & 0xff] ^
              t[3][d >> 24] ^ t[2][(d >> 16) & 0xff] ^ t[1][(d >> 8) & 0xff] ^ t[0][d & 0xff];
        bytes += 16;
        size -= 16;
    }
    while (size--)
        crc = (crc << 8) ^ t[0][(crc >> 24) ^ *bytes++];
    return ~crc;
}
