#include "target/codebufferoutput.h"

#include "core/hexception.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file a path names once symbolic links are followed, so that committing replaces the
// file a link points to rather than the link.
std::string resolvedTarget(const std::string &path) {
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
}
// The descriptor a path such as /dev/stdout or /dev/fd/3 stands for, or -1.
int streamDescriptor(const std::string &path) {
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char *prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        std::string_view rest(path);
        if (!rest.starts_with(prefix))
            continue;
        rest.remove_prefix(std::strlen(prefix));
        int fd = 0;
        auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), fd);
        if (error == std::errc() && end == rest.data() + rest.size() && !rest.empty())
            return fd;
    }
    return -1;
}
} // namespace

CodeBufferOutput::CodeBufferOutput(const std::string &path)
    : m_path(path), m_target(resolvedTarget(path)) {
    struct stat existing;
    bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw HException("cannot open " + path);
    // Devices, pipes and the standard streams are written in place: there is nothing to
    // replace, and a stream redirected to a file must go on where the shell left it.
    if (int stream = streamDescriptor(path); stream >= 0) {
        m_fd = ::fcntl(stream, F_DUPFD_CLOEXEC, 0);
    } else if (exists && !S_ISREG(existing.st_mode)) {
        m_fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC);
    } else if (!exists || ::access(m_target.c_str(), W_OK) == 0) {
        // A read-only file stays as it is, as it would with a plain open for writing.
        m_replacement.emplace(m_target);
        m_fd = m_replacement->create(0666);
        if (m_fd >= 0) {
            m_replacement->releaseDescriptor();
            if (exists)
                ::fchmod(m_fd, existing.st_mode & 07777);
        } else {
            m_replacement.reset();
        }
    }
    if (m_fd < 0)
        throw HException("cannot open " + path);
    m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

CodeBufferOutput::~CodeBufferOutput() {
    discard();
}

void CodeBufferOutput::discard() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_replacement.reset(); // removes the temporary unless it was committed
}

void CodeBufferOutput::writeThrough(const char *bytes, std::size_t size) {
    if (size > 0 && m_fd < 0)
        throw HException("cannot write " + m_path);
    while (size > 0) {
        ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            // The file is incomplete: drop it now so nothing half-written remains.
            discard();
            throw HException("cannot write " + m_path);
        }
        bytes += written;
        size -= std::size_t(written);
    }
}

void CodeBufferOutput::makeRoom(std::size_t) {
    writeThrough(m_buffer.get(), m_used);
    m_used = 0;
}

void CodeBufferOutput::commit() {
    if (m_committed)
        return;
    if (m_fd < 0)
        throw HException("cannot write " + m_path);
    makeRoom(0);
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || (m_replacement && !m_replacement->commit(true))) {
        discard();
        throw HException("cannot write " + m_path);
    }
    m_replacement.reset();
    m_committed = true;
}
