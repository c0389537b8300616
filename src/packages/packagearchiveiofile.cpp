#include "packages/packagearchiveiofile.h"

#include <limits>
#include <sys/types.h>

PackageArchiveIOFileInterface::~PackageArchiveIOFileInterface() = default;

PackageArchiveIOFile::PackageArchiveIOFile(std::FILE *file) : m_file(file) {
    // Archives are read and written in large runs; a bigger buffer saves system calls.
    if (m_file)
        std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
}

PackageArchiveIOFile::~PackageArchiveIOFile() {
    close();
}

std::size_t PackageArchiveIOFile::read(void *buffer, std::size_t count) {
    return m_file ? std::fread(buffer, 1, count, m_file) : 0;
}

std::size_t PackageArchiveIOFile::write(const void *buffer, std::size_t count) {
    return m_file ? std::fwrite(buffer, 1, count, m_file) : 0;
}

bool PackageArchiveIOFile::seek(std::uint64_t position) {
    std::uint64_t absolute = m_origin + position;
    if (!m_file || absolute < m_origin ||
        absolute > std::uint64_t(std::numeric_limits<off_t>::max()))
        return false;
    return fseeko(m_file, off_t(absolute), SEEK_SET) == 0;
}

std::uint64_t PackageArchiveIOFile::position() const {
    if (!m_file)
        return 0;
    off_t at = ftello(m_file);
    return at < 0 ? 0 : std::uint64_t(at) - m_origin;
}

bool PackageArchiveIOFile::hasError() const {
    return !m_file || std::ferror(m_file);
}

bool PackageArchiveIOFile::close() {
    if (!m_file)
        return true;
    bool ok = !std::ferror(m_file);
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
}
