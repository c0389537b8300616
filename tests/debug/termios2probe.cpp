// The kernel's termios2 header clashes with <termios.h>, hence a file of its own.

#include <asm/termbits.h>
#include <cstdint>
#include <sys/ioctl.h>

// The output speed of a port as the kernel holds it, or 0 when it cannot be asked.
std::uint32_t kernelOutputSpeed(int fd) {
    termios2 attributes{};
    if (::ioctl(fd, TCGETS2, &attributes) != 0)
        return 0;
    return attributes.c_ospeed;
}
