#include "packages/sha256hash.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define PACKAGES_SHA256_X86 1
#endif

namespace {

#ifdef PACKAGES_SHA256_X86

alignas(16) const std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// Compresses `blocks` 64-byte blocks into `state` (a, b, ... h).
__attribute__((target("sha,sse4.1,ssse3"))) void
compress(std::uint32_t state[8], const unsigned char *data, std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    // The instructions want the state as ABEF and CDGH.
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state)),
                                    0xB1); // CDAB
    __m128i state1 =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4)),
                          0x1B);                      // EFGH
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8); // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);      // CDGH

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i savedAbef = state0;
        const __m128i savedCdgh = state1;
        __m128i w[4];
        for (int group = 0; group < 16; ++group) {
            __m128i &words = w[group % 4];
            if (group < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + 16 * group)),
                    byteSwap);
            } else {
                // W[i] from W[i-4] (this slot), W[i-3], W[i-2] and W[i-1].
                const __m128i &w3 = w[(group + 1) % 4];
                const __m128i &w2 = w[(group + 2) % 4];
                const __m128i &w1 = w[(group + 3) % 4];
                words = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(words, w3), _mm_alignr_epi8(w1, w2, 4)), w1);
            }
            __m128i message = _mm_add_epi32(
                words, _mm_load_si128(reinterpret_cast<const __m128i *>(kRound + 4 * group)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, message);
        }
        state0 = _mm_add_epi32(state0, savedAbef);
        state1 = _mm_add_epi32(state1, savedCdgh);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);       // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);    // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0); // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);    // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), state1);
}

bool cpuHasSha() {
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || !(b & (1u << 29)))
        return false;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & (1u << 19)) && (c & (1u << 9)); // SSE4.1, SSSE3
}

#else

void compress(std::uint32_t *, const unsigned char *, std::size_t) {}
bool cpuHasSha() {
    return false;
}

#endif

} // namespace

bool Sha256Hash::accelerated() {
    static const bool has = cpuHasSha();
    return has;
}

Sha256Hash::Sha256Hash() : m_accelerated(accelerated()) {
    reset();
}

void Sha256Hash::reset() {
    static const std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(m_state, initial, sizeof m_state);
    m_blockUsed = 0;
    m_length = 0;
    m_fallback.reset();
}

void Sha256Hash::addData(const char *data, std::size_t size) {
    if (!m_accelerated) {
        m_fallback.addData(QByteArrayView(data, qsizetype(size)));
        return;
    }
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    m_length += size;
    if (m_blockUsed > 0) {
        const std::size_t take = std::min(size, sizeof m_block - m_blockUsed);
        std::memcpy(m_block + m_blockUsed, bytes, take);
        m_blockUsed += take;
        bytes += take;
        size -= take;
        if (m_blockUsed < sizeof m_block)
            return;
        compress(m_state, m_block, 1);
        m_blockUsed = 0;
    }
    compress(m_state, bytes, size / 64);
    bytes += size / 64 * 64;
    m_blockUsed = size % 64;
    std::memcpy(m_block, bytes, m_blockUsed);
}

QByteArray Sha256Hash::result() {
    if (!m_accelerated)
        return m_fallback.result();
    const std::uint64_t bits = m_length * 8;
    unsigned char tail[128] = {0x80};
    const std::size_t padding = (m_blockUsed < 56 ? 56 : 120) - m_blockUsed;
    for (int i = 0; i < 8; ++i)
        tail[padding + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    addData(reinterpret_cast<const char *>(tail), padding + 8);
    QByteArray digest(32, '\0');
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = char(m_state[i] >> (24 - 8 * j));
    return digest;
}
