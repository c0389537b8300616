// Moves 16 MiB from the master side of a pseudo-terminal to an HSerialLink on the slave side
// in 4 KiB reads and prints the rate; then waits one second on a silent line and prints the
// share of a core it used. Output: "MiB/s <rate>" and "idle-cpu-percent <share>".

#include "debug/hseriallink.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main() {
    constexpr std::size_t kTotal = 16 << 20;
    constexpr std::size_t kBlock = 4096;
    int master = -1, slave = -1;
    char name[256];
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    HSerialLink link(name, 4000000, 8, 0, 0, 0);
    link.setTimeouts(1000, 1000);
    // The master side stays as the pseudo-terminal made it: raw only on the slave.
    std::thread writer([master] {
        std::string block(kBlock, 'x');
        std::size_t sent = 0;
        while (sent < kTotal) {
            ssize_t n = ::write(master, block.data(), block.size());
            if (n <= 0)
                return;
            sent += std::size_t(n);
        }
    });
    std::string buffer(kBlock, '\0');
    std::size_t received = 0;
    const auto start = std::chrono::steady_clock::now();
    while (received < kTotal) {
        std::ptrdiff_t got = link.read(buffer.data(), std::ptrdiff_t(kBlock));
        if (got <= 0)
            break;
        received += std::size_t(got);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    writer.join();
    if (received < kTotal) {
        std::fprintf(stderr, "only %zu bytes arrived\n", received);
        return 1;
    }
    std::printf("MiB/s %.1f\n", double(kTotal) / (1 << 20) / seconds);

    const double cpuBefore = cpuSeconds();
    const auto idleStart = std::chrono::steady_clock::now();
    link.read(buffer.data(), 16);
    const double idle =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - idleStart).count();
    std::printf("idle-cpu-percent %.2f\n", 100 * (cpuSeconds() - cpuBefore) / idle);
    ::close(master);
    ::close(slave);
    return 0;
}
