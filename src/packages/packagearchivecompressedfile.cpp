#include "packages/packagearchivecompressedfile.h"

#include "core/hexception.h"

#include <algorithm>

PackageArchiveCompressedInputFile::PackageArchiveCompressedInputFile(PackageArchiveIOFile &file)
    : m_file(file), m_start(file.position()) {}

std::size_t PackageArchiveCompressedInputFile::read(void *buffer, std::size_t count) {
    failIfDamaged(m_position, count);
    if (m_broken && !restart(m_position))
        return 0;
    char *out = static_cast<char *>(buffer);
    std::size_t done = 0;
    try {
        while (done < count) {
            std::size_t moved = moveChunk(out + done, count - done);
            if (moved == 0) {
                m_end = m_position + done;
                break;
            }
            done += moved;
        }
    } catch (const HException &error) {
        if (m_failure.empty() || m_position + done < m_failedAt) {
            m_failure = error.message();
            m_failedAt = m_position + done;
        }
        m_broken = true;
        throw;
    }
    m_position += done;
    return done;
}

void PackageArchiveCompressedInputFile::failIfDamaged(std::uint64_t position,
                                                      std::uint64_t count) const {
    // Damaged data stays damaged: a read that reaches it fails at once instead of
    // decompressing everything before it again.
    if (!m_failure.empty() && position + count > m_failedAt)
        throw HException(m_failure);
}

std::size_t PackageArchiveCompressedInputFile::write(const void *, std::size_t) {
    return 0;
}

bool PackageArchiveCompressedInputFile::seek(std::uint64_t position) {
    if (position > m_end)
        return false;
    if (position < m_position || m_broken)
        return restart(position);
    return skipTo(position);
}

bool PackageArchiveCompressedInputFile::restart(std::uint64_t position) {
    closeCodec();
    m_broken = true;
    if (!m_file.seek(m_start))
        return false;
    m_position = 0;
    openCodec();
    m_broken = false;
    return skipTo(position);
}

bool PackageArchiveCompressedInputFile::skipTo(std::uint64_t position) {
    char discard[16384];
    while (m_position < position) {
        std::size_t want =
            std::size_t(std::min<std::uint64_t>(sizeof discard, position - m_position));
        if (read(discard, want) != want)
            return false;
    }
    return true;
}

std::size_t PackageArchiveCompressedInputFile::readCompressed(void *buffer, std::size_t count) {
    std::size_t got = m_file.read(buffer, count);
    if (got == 0 && m_file.hasError())
        throw HException("error reading from compressed stream");
    return got;
}

void PackageArchiveCompressedOutputFile::writeCompressed(const void *data, std::size_t count) {
    if (count && m_file.write(data, count) != count)
        throw HException("error writing to compressed stream");
}

PackageArchiveCompressedOutputFile::PackageArchiveCompressedOutputFile(PackageArchiveIOFile &file)
    : m_file(file) {}

std::size_t PackageArchiveCompressedOutputFile::read(void *, std::size_t) {
    return 0;
}

std::size_t PackageArchiveCompressedOutputFile::write(const void *buffer, std::size_t count) {
    if (m_finished)
        return 0;
    const char *data = static_cast<const char *>(buffer);
    for (std::size_t done = 0; done < count;) {
        std::size_t chunk = std::min(count - done, kMaxChunk);
        moveChunk(data + done, chunk);
        done += chunk;
    }
    m_position += count;
    return count;
}

bool PackageArchiveCompressedOutputFile::seek(std::uint64_t position) {
    return position == m_position;
}

void PackageArchiveCompressedOutputFile::finish() {
    if (m_finished)
        return;
    m_finished = true;
    closeCodec(true);
}
