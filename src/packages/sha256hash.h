#pragma once

#include <QByteArray>
#include <QCryptographicHash>

#include <cstddef>
#include <cstdint>

// SHA-256 over a stream of data. Package files are hashed while they download, and the
// general-purpose implementation costs three times the transfer itself: on processors with
// the SHA extensions the blocks go through those instead. Results are the same either way.
class Sha256Hash {
public:
    Sha256Hash();

    void reset();
    void addData(const char *data, std::size_t size);
    void addData(const QByteArray &data) { addData(data.constData(), std::size_t(data.size())); }
    // The 32-byte digest; the hash is spent afterwards.
    QByteArray result();

    // Whether this processor has the SHA extensions (then they are used).
    static bool accelerated();

private:
    bool m_accelerated;
    QCryptographicHash m_fallback{QCryptographicHash::Sha256};
    std::uint32_t m_state[8] = {};
    unsigned char m_block[64];
    std::size_t m_blockUsed = 0;
    std::uint64_t m_length = 0;
};
