#include "packages/packagearchivecompressedfile.h"

#include "core/hexception.h"

#include <algorithm>

PackageArchiveCompressedInputFile::PackageArchiveCompressedInputFile(PackageArchiveIOFile &file)
    : m_file(file), m_start(file.position()) {}

std::size_t PackageArchiveCompressedInputFile::read(void *buffer, std::size_t count) {
    if (!m_failure.empty())
        throw HException(m_failure);
    char *out = static_cast<char *>(buffer);
    std::size_t done = 0;
    try {
        while (done < count) {
            std::size_t moved = moveChunk(out + done, count - done);
            if (moved == 0)
                break;
            done += moved;
        }
    } catch (const HException &error) {
        m_failure = error.message();
        throw;
    }
    m_position += done;
    return done;
}

std::size_t PackageArchiveCompressedInputFile::write(const void *, std::size_t) {
    return 0;
}

bool PackageArchiveCompressedInputFile::seek(std::uint64_t position) {
    if (position < m_position || !m_failure.empty()) {
        closeCodec();
        if (!m_file.seek(m_start))
            return false;
        m_position = 0;
        m_failure.clear();
        openCodec();
    }
    char discard[16384];
    while (m_position < position) {
        std::size_t want =
            std::size_t(std::min<std::uint64_t>(sizeof discard, position - m_position));
        if (read(discard, want) != want)
            return false;
    }
    return true;
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
