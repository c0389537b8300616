#include "debug/symbolicdebuggerinterface.h"

#include <cinttypes>
#include <cstdio>

std::uint64_t SymbolicDebuggerInterface::addressMinus(std::uint64_t address,
                                                      std::uint64_t distance) {
    return distance > address ? 0 : address - distance;
}

std::uint64_t SymbolicDebuggerInterface::addressPlus(std::uint64_t address,
                                                     std::uint64_t distance) {
    const unsigned bytes = getAddressSizeInBytes();
    const std::uint64_t top =
        bytes >= 8 || bytes == 0 ? UINT64_MAX : (std::uint64_t(1) << (bytes * 8)) - 1;
    if (address >= top || distance > top - address)
        return top;
    return address + distance;
}

std::vector<std::uint64_t> SymbolicDebuggerInterface::getReturnAddresses() {
    std::uint64_t back = 0;
    if (getReturnAddress(back))
        return {back};
    return {};
}

void ConsoleDebuggerHelpers::targetOutput(const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void ConsoleDebuggerHelpers::message(const std::string &text) {
    std::printf("%s\n", text.c_str());
}

void ConsoleDebuggerHelpers::error(const std::string &text) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", text.c_str());
}

void ConsoleDebuggerHelpers::progress(std::uint64_t done, std::uint64_t total) {
    if (m_showProgress && total > 0)
        std::fprintf(stderr, "\r%3u%%%s", unsigned(done * 100 / total), done >= total ? "\n" : "");
}

void ConsoleDebuggerHelpers::stopped(std::uint64_t pc, const std::string &reason) {
    std::printf("stopped at 0x%08" PRIx64 ": %s\n", pc, reason.c_str());
}
