#include "debug/hiointerface.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::ptrdiff_t transferWithTimeout(int fd, void *buffer, std::ptrdiff_t count, bool writing,
                                   std::uint32_t timeoutMs, bool isSocket) {
    if (count <= 0 || fd < 0)
        return 0;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto *bytes = static_cast<char *>(buffer);
    std::ptrdiff_t done = 0;
    for (;;) {
        const std::size_t left = std::size_t(count - done);
        ssize_t moved = !writing   ? ::read(fd, bytes + done, left)
                        : isSocket ? ::send(fd, bytes + done, left, MSG_NOSIGNAL)
                                   : ::write(fd, bytes + done, left);
        if (moved > 0) {
            done += moved;
            if (done == count)
                return done;
        } else if (moved == 0 && !writing && isSocket) {
            return done; // end of stream: the peer closed the connection
        } else if (moved < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return done;
        }
        auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (timeoutMs == 0 || remaining.count() <= 0)
            return done;
        pollfd waiting{fd, short(writing ? POLLOUT : POLLIN), 0};
        int ready = ::poll(&waiting, 1, int(remaining.count()) + 1);
        if (ready < 0 && errno != EINTR)
            return done;
        if (ready > 0 && (waiting.revents & (POLLERR | POLLNVAL)))
            return done;
        if (ready > 0 && (waiting.revents & POLLHUP) && !(waiting.revents & POLLIN))
            return done;
    }
}
