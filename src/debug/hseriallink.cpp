#include "debug/hseriallink.h"

#include "core/hexception.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Speed {
    std::uint32_t rate;
    speed_t constant;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

[[noreturn]] void fail(const char *format, int error) {
    char message[256];
    std::snprintf(message, sizeof message, format, std::strerror(error), error);
    throw HException(message);
}

} // namespace

std::uint32_t HSerialLink::speedConstant(std::uint32_t baudRate) {
    for (const Speed &speed : kSpeeds) {
        if (speed.rate == baudRate)
            return speed.constant;
    }
    return 0;
}

void HSerialLink::configure(termios &attributes, int dataBits, int parity, int twoStopBits,
                            int flowControl) {
    ::cfmakeraw(&attributes);
    attributes.c_cc[VMIN] = 0;
    attributes.c_cc[VTIME] = 0;
    attributes.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    attributes.c_cflag &= ~(CRTSCTS | HUPCL | CSTOPB);
    attributes.c_cflag |= CREAD | CLOCAL;

    attributes.c_cflag &= ~CSIZE;
    switch (dataBits) {
    case 5:
        attributes.c_cflag |= CS5;
        break;
    case 6:
        attributes.c_cflag |= CS6;
        break;
    case 7:
        attributes.c_cflag |= CS7;
        break;
    default:
        attributes.c_cflag |= CS8;
        break;
    }
    if (parity == EvenParity) {
        attributes.c_cflag |= PARENB;
        attributes.c_cflag &= ~PARODD;
    } else if (parity == OddParity) {
        attributes.c_cflag |= PARENB | PARODD;
    } else {
        attributes.c_cflag &= ~(PARENB | PARODD);
    }
    if (twoStopBits)
        attributes.c_cflag |= CSTOPB;
    if (flowControl == SoftwareFlowControl) {
        attributes.c_iflag |= IXON | IXOFF | IXANY;
        attributes.c_cflag &= ~CRTSCTS;
    } else if (flowControl == HardwareFlowControl) {
        attributes.c_cflag |= CRTSCTS;
        attributes.c_iflag &= ~(IXON | IXOFF | IXANY);
    } else {
        attributes.c_cflag &= ~CRTSCTS;
        attributes.c_iflag &= ~(IXON | IXOFF | IXANY);
    }
}

HSerialLink::HSerialLink(const std::string &device, std::uint32_t baudRate, int dataBits,
                         int parity, int twoStopBits, int flowControl) {
    // Close-on-exec: compilers and scripts started later must not inherit the port.
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail("open error %s(%d)", errno);
    // Closes the port again when a later step throws.
    struct Guard {
        int fd;
        ~Guard() {
            if (fd >= 0)
                ::close(fd);
        }
    } guard{fd};

    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0)
        fail("tcgetattr error %s(%d)", errno);
    configure(attributes, dataBits, parity, twoStopBits, flowControl);
    speed_t speed = speedConstant(baudRate);
    if (speed != 0 &&
        (::cfsetispeed(&attributes, speed) != 0 || ::cfsetospeed(&attributes, speed) != 0))
        fail("tcsetattr error %s(%d)", errno);

    if (::tcflush(fd, TCIFLUSH) != 0)
        fail("tcflush error %s(%d)", errno);
    if (::tcsetattr(fd, TCSANOW, &attributes) != 0)
        fail("tcsetattr error %s(%d)", errno);
    // A rate outside the table is no speed constant: it goes through the arbitrary-rate call.
    if (speed == 0) {
        if (int error = setArbitrarySpeed(fd, baudRate))
            fail("tcsetattr error %s(%d)", error);
    }
    m_fd = fd;
    guard.fd = -1;
}

HSerialLink::~HSerialLink() {
    if (m_fd >= 0)
        ::close(m_fd);
}

std::ptrdiff_t HSerialLink::read(void *buffer, std::ptrdiff_t count) {
    return transferWithTimeout(m_fd, buffer, count, false, m_readTimeout);
}

std::ptrdiff_t HSerialLink::write(const void *buffer, std::ptrdiff_t count) {
    return transferWithTimeout(m_fd, const_cast<void *>(buffer), count, true, m_writeTimeout);
}

void HSerialLink::flush() {
    ::tcflush(m_fd, TCIOFLUSH);
}

void HSerialLink::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    HDataLink::setTimeouts(readMs, writeMs);
}

std::int64_t HSerialLink::bytesAvailable() const {
    int count = 0;
    return ::ioctl(m_fd, FIONREAD, &count) == 0 ? count : 0;
}

std::int64_t HSerialLink::bytesToWrite() const {
    int count = 0;
    return ::ioctl(m_fd, TIOCOUTQ, &count) == 0 ? count : 0;
}

std::int64_t HSerialLink::hungUp() const {
    pollfd state{m_fd, POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) ? 1 : 0;
}

bool HSerialLink::setDTR(bool on) {
    int bits = TIOCM_DTR;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}
