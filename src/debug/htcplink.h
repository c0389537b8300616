#pragma once

#include "debug/hiointerface.h"

#include <string>

// A data link over a TCP connection, for GDB servers on the network or on this machine.
// Connecting failures throw HException; reads and writes behave as on a serial port.
class HTcpLink final : public HDataLink {
public:
    HTcpLink(const std::string &host, std::uint16_t port, std::uint32_t connectTimeoutMs = 5000);
    ~HTcpLink() override;
    HTcpLink(const HTcpLink &) = delete;
    HTcpLink &operator=(const HTcpLink &) = delete;

    std::ptrdiff_t read(void *buffer, std::ptrdiff_t count) override;
    std::ptrdiff_t write(const void *buffer, std::ptrdiff_t count) override;
    std::int64_t bytesAvailable() const override;
    std::int64_t hungUp() const override;

private:
    int m_fd = -1;
};
