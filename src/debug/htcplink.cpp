#include "debug/htcplink.h"

#include "core/hexception.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Connects one address without blocking longer than the time-out; the socket or -1 with errno.
int connectAddress(const addrinfo &address, std::uint32_t timeoutMs) {
    int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      address.ai_protocol);
    if (fd < 0)
        return -1;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return fd;
    if (errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int ready = ::poll(&waiting, 1, int(timeoutMs));
        int error = 0;
        socklen_t length = sizeof error;
        if (ready > 0 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            return fd;
        errno = ready == 0 ? ETIMEDOUT : (error ? error : errno);
    }
    int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
}

} // namespace

HTcpLink::HTcpLink(const std::string &host, std::uint16_t port, std::uint32_t connectTimeoutMs) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *addresses = nullptr;
    if (int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses))
        throw HException("cannot resolve " + host + ": " + ::gai_strerror(status));
    int error = 0;
    for (addrinfo *address = addresses; address && m_fd < 0; address = address->ai_next) {
        m_fd = connectAddress(*address, connectTimeoutMs);
        if (m_fd < 0)
            error = errno;
    }
    ::freeaddrinfo(addresses);
    if (m_fd < 0)
        throw HException("cannot connect to " + where + ": " + std::strerror(error));
    // Packets are small and answered one by one: send each at once.
    int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

HTcpLink::~HTcpLink() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::ptrdiff_t HTcpLink::read(void *buffer, std::ptrdiff_t count) {
    return transferWithTimeout(m_fd, buffer, count, false, m_readTimeout, true);
}

std::ptrdiff_t HTcpLink::write(const void *buffer, std::ptrdiff_t count) {
    return transferWithTimeout(m_fd, const_cast<void *>(buffer), count, true, m_writeTimeout, true);
}

std::int64_t HTcpLink::bytesAvailable() const {
    int count = 0;
    return ::ioctl(m_fd, FIONREAD, &count) == 0 ? count : 0;
}

std::int64_t HTcpLink::hungUp() const {
    pollfd state{m_fd, POLLIN, 0};
    if (::poll(&state, 1, 0) <= 0)
        return 0;
    if (state.revents & (POLLHUP | POLLERR))
        return 1;
    char byte;
    return (state.revents & POLLIN) && ::recv(m_fd, &byte, 1, MSG_PEEK) == 0 ? 1 : 0;
}
