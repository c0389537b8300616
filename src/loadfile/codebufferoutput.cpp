#include "loadfile/codebufferoutput.h"

#include "core/hexception.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

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

CodeBufferOutput::CodeBufferOutput(const std::string &path) : m_path(path) {
    // The standard streams are written in place: a stream redirected to a file must go on
    // where the shell left it.
    if (int stream = streamDescriptor(path); stream >= 0) {
        m_fd = ::fcntl(stream, F_DUPFD_CLOEXEC, 0);
    } else {
        m_replacement.emplace(path);
        m_fd = m_replacement->openOutput(0666);
        if (m_fd >= 0)
            m_replacement->releaseDescriptor();
        else
            m_replacement.reset();
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
