// The kernel's termios2 interface lives in a header that clashes with <termios.h>, hence a
// file of its own.

#include <asm/termbits.h>
#include <cerrno>
#include <cstdint>
#include <sys/ioctl.h>

int setArbitrarySpeed(int fd, std::uint32_t baudRate) {
    termios2 attributes{};
    if (::ioctl(fd, TCGETS2, &attributes) != 0)
        return errno;
    attributes.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    attributes.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    attributes.c_ispeed = baudRate;
    attributes.c_ospeed = baudRate;
    if (::ioctl(fd, TCSETS2, &attributes) != 0)
        return errno;
    return 0;
}
