#include "core/replacementfile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

ReplacementFile::ReplacementFile(std::string destination) : m_destination(std::move(destination)) {}

ReplacementFile::~ReplacementFile() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    if (!m_temporary.empty() && !m_committed)
        ::unlink(m_temporary.c_str());
}

int ReplacementFile::create(mode_t permissions) {
    std::string::size_type slash = m_destination.rfind('/');
    std::string directory =
        slash == std::string::npos ? std::string() : m_destination.substr(0, slash + 1);
    // Shortened, so that a destination name near the length limit still leaves room.
    std::string base =
        (slash == std::string::npos ? m_destination : m_destination.substr(slash + 1))
            .substr(0, 120);
    // A hidden name: a temporary file left by a killed process should not look like output.
    static std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%012llx",
                      static_cast<unsigned long long>(random() & 0xffffffffffffull));
        std::string candidate = directory + "." + base + suffix;
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (fd >= 0) {
            m_temporary = candidate;
            m_descriptor = fd;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

int ReplacementFile::openOutput(mode_t permissions) {
    struct stat existing;
    if (::lstat(m_destination.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(m_destination.c_str(), resolved))
            m_destination = resolved;
    }
    if (::stat(m_destination.c_str(), &existing) != 0)
        return create(permissions);
    if (S_ISDIR(existing.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (!S_ISREG(existing.st_mode)) {
        // Renaming over a device would put a regular file in its place.
        m_inPlace = true;
        m_descriptor = ::open(m_destination.c_str(), O_WRONLY | O_CLOEXEC);
        return m_descriptor;
    }
    // A file that may not be written stays as it is, as it would with a plain open.
    if (::access(m_destination.c_str(), W_OK) != 0) {
        errno = EACCES;
        return -1;
    }
    int fd = create(permissions);
    if (fd >= 0)
        ::fchmod(fd, existing.st_mode & 07777);
    return fd;
}

int ReplacementFile::releaseDescriptor() {
    int fd = m_descriptor;
    m_descriptor = -1;
    return fd;
}

bool ReplacementFile::commit(bool overwrite) {
    if (m_temporary.empty() && !m_inPlace)
        return false;
    if (m_descriptor >= 0) {
        if (::close(m_descriptor) != 0) {
            m_descriptor = -1;
            return false;
        }
        m_descriptor = -1;
    }
    if (m_inPlace) {
        m_committed = true;
        return true;
    }
    int status;
    if (overwrite) {
        status = ::rename(m_temporary.c_str(), m_destination.c_str());
    } else {
        // A hard link fails when the destination exists, so a file that appeared meanwhile
        // is never replaced.
        status = ::link(m_temporary.c_str(), m_destination.c_str());
        if (status == 0) {
            ::unlink(m_temporary.c_str());
        } else if (errno != EEXIST) {
            // Some file systems have no hard links: check, then rename.
            struct stat info;
            if (::lstat(m_destination.c_str(), &info) == 0) {
                errno = EEXIST;
                return false;
            }
            status = ::rename(m_temporary.c_str(), m_destination.c_str());
        }
    }
    if (status != 0)
        return false;
    m_committed = true;
    return true;
}
