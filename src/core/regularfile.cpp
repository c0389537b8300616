#include "core/regularfile.h"

#include "core/filebuffer.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void discard(std::string &contents) {
    std::string().swap(contents);
}

void discard(FileBuffer &contents) {
    contents.clear();
}

// Opens without blocking (a FIFO with no writer would otherwise wait for one at open) and
// checks the kind of the file that was opened, not of whatever the name pointed to before.
class RegularFileReader {
public:
    explicit RegularFileReader(const std::string &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {}
    ~RegularFileReader() {
        if (m_fd >= 0) {
            int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
    }
    RegularFileReader(const RegularFileReader &) = delete;
    RegularFileReader &operator=(const RegularFileReader &) = delete;

    RegularFileStatus check(std::uint64_t sizeLimit, std::uint64_t &size) {
        if (m_fd < 0)
            return RegularFileStatus::CannotOpen;
        struct stat status;
        if (::fstat(m_fd, &status) != 0)
            return RegularFileStatus::ReadFailed;
        if (!S_ISREG(status.st_mode))
            return RegularFileStatus::NotRegularFile;
        size = std::uint64_t(status.st_size);
        return size > sizeLimit ? RegularFileStatus::TooLarge : RegularFileStatus::Ok;
    }

    // Reads until the end or until `limit` bytes are held; `more` tells whether bytes remain.
    template <class Buffer>
    RegularFileStatus read(Buffer &contents, std::uint64_t limit, std::uint64_t expected,
                           bool &more) {
        std::size_t used = 0;
        contents.resize(std::size_t(std::min<std::uint64_t>(expected, limit)) + 1);
        more = false;
        for (;;) {
            if (used == contents.size()) {
                if (used > limit) {
                    more = true;
                    break;
                }
                contents.resize(std::size_t(std::min<std::uint64_t>(
                                    std::max<std::uint64_t>(used * 2, 65536), limit)) +
                                1);
            }
            ssize_t got = ::read(m_fd, contents.data() + used, contents.size() - used);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                discard(contents);
                return RegularFileStatus::ReadFailed;
            }
            if (got == 0)
                break;
            used += std::size_t(got);
        }
        contents.resize(std::min<std::size_t>(used, std::size_t(limit)));
        return RegularFileStatus::Ok;
    }

private:
    int m_fd;
};

// At most `limit` bytes: a whole file that holds more is too large, a head is cut there.
template <class Buffer>
RegularFileStatus readUpTo(const std::string &path, Buffer &contents, std::uint64_t limit,
                           bool whole) {
    discard(contents);
    RegularFileReader reader(path);
    std::uint64_t size = 0;
    RegularFileStatus status = reader.check(whole ? limit : UINT64_MAX, size);
    if (status != RegularFileStatus::Ok)
        return status;
    bool more = false;
    status = reader.read(contents, limit, std::min(size, limit), more);
    if (status == RegularFileStatus::Ok && more && whole) {
        // The file grew past the limit while it was read.
        discard(contents);
        return RegularFileStatus::TooLarge;
    }
    return status;
}

} // namespace

RegularFileStatus readRegularFile(const std::string &path, std::string &contents,
                                  std::uint64_t sizeLimit) {
    return readUpTo(path, contents, sizeLimit, true);
}

RegularFileStatus readRegularFile(const std::string &path, FileBuffer &contents,
                                  std::uint64_t sizeLimit) {
    return readUpTo(path, contents, sizeLimit, true);
}

RegularFileStatus readRegularFileHead(const std::string &path, std::string &contents,
                                      std::size_t count) {
    return readUpTo(path, contents, count, false);
}

std::string regularFileError(RegularFileStatus status, std::uint64_t sizeLimit) {
    switch (status) {
    case RegularFileStatus::Ok:
        return {};
    case RegularFileStatus::CannotOpen:
        return "cannot open";
    case RegularFileStatus::NotRegularFile:
        return "not a regular file";
    case RegularFileStatus::TooLarge:
        if (sizeLimit % (1 << 20) == 0)
            return "larger than " + std::to_string(sizeLimit >> 20) + " MiB";
        return "larger than " + std::to_string(sizeLimit) + " bytes";
    case RegularFileStatus::ReadFailed:
        return "read error";
    }
    return {};
}
