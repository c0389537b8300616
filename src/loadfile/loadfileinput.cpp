#include "loadfile/loadfileinput.h"

#include "core/hexception.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::size_t kChunkSize = 1 << 16;
constexpr std::uint64_t kMaxImageSize = std::numeric_limits<std::uint32_t>::max();

// read(2) that retries on interruption; -1 on error.
ssize_t readSome(int fd, void *buffer, std::size_t size) {
    ssize_t got;
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}
} // namespace

LoadFileInput::LoadFileInput(const std::string &path) : m_path(path) {
    // Without a writer, opening a named pipe would wait forever; once open it reads as usual.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd >= 0)
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    struct stat info;
    if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || S_ISDIR(info.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd < 0)
        throw HException("cannot open " + path);
}

LoadFileInput::~LoadFileInput() {
    ::close(m_fd);
}

std::vector<std::uint8_t> LoadFileInput::readAll() {
    struct stat info;
    bool regular = ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular && std::uint64_t(info.st_size) > kMaxImageSize)
        throw HException("file too large: " + m_path);
    // A regular file is read in one piece of its size; pipes and devices grow the buffer
    // as data comes.
    std::vector<std::uint8_t> bytes(regular ? std::size_t(info.st_size) : kChunkSize);
    std::size_t size = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (regular)
                break;
            if (size >= kMaxImageSize)
                throw HException("file too large: " + m_path);
            bytes.resize(std::min<std::uint64_t>(std::uint64_t(size) * 2, kMaxImageSize));
        }
        ssize_t got = readSome(m_fd, bytes.data() + size, bytes.size() - size);
        if (got < 0)
            throw HException("cannot read " + m_path);
        if (got == 0)
            break;
        size += std::size_t(got);
    }
    if (regular && size < bytes.size())
        throw HException("cannot read " + m_path);
    bytes.resize(size);
    return bytes;
}

bool LoadFileInput::fill() {
    if (m_atEnd)
        return false;
    // Keep the partial line at the front; lines are short, so this moves little.
    if (m_begin > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    ssize_t got = readSome(m_fd, m_buffer.get() + m_end, kChunkSize - m_end);
    if (got < 0)
        throw HException("cannot read " + m_path);
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    m_end += std::size_t(got);
    return true;
}

bool LoadFileInput::nextLine(LoadFileLine &line, std::size_t maxLength) {
    if (!m_buffer)
        m_buffer = std::make_unique_for_overwrite<char[]>(kChunkSize);
    std::size_t scanned = 0; // bytes after m_begin known to hold no line end
    for (;;) {
        const char *start = m_buffer.get() + m_begin;
        std::size_t available = m_end - m_begin;
        if (const void *found = std::memchr(start + scanned, '\n', available - scanned)) {
            std::size_t textLength = static_cast<const char *>(found) - start;
            if (textLength + 1 > maxLength)
                throw HException("line too long");
            m_begin += textLength + 1;
            if (textLength > 0 && start[textLength - 1] == '\r')
                --textLength;
            line.text = std::string_view(start, textLength);
            line.length = textLength + 1;
            return true;
        }
        scanned = available;
        if (available > maxLength)
            throw HException("line too long");
        if (!fill()) {
            if (available == 0)
                return false;
            // The last line has no line end.
            line.text = std::string_view(m_buffer.get() + m_begin, available);
            line.length = available;
            m_begin = m_end;
            return true;
        }
    }
}
