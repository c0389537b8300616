#pragma once

#include "debug/hiointerface.h"

#include <cstdint>
#include <string>
#include <termios.h>

// A serial port opened raw and non-blocking. Opening failures throw HException with the
// system's error text; reads and writes wait in poll for at most their time-out.
class HSerialLink : public HDataLink {
public:
    enum Parity { NoParity = 0, EvenParity = 1, OddParity = 2 };
    enum FlowControl { NoFlowControl = 0, SoftwareFlowControl = 1, HardwareFlowControl = 2 };

    HSerialLink(const std::string &device, std::uint32_t baudRate, int dataBits, int parity,
                int twoStopBits, int flowControl);
    ~HSerialLink() override;
    HSerialLink(const HSerialLink &) = delete;
    HSerialLink &operator=(const HSerialLink &) = delete;

    std::ptrdiff_t read(void *buffer, std::ptrdiff_t count) override;
    std::ptrdiff_t write(const void *buffer, std::ptrdiff_t count) override;
    // Discards pending input and output.
    void flush() override;
    void setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;

    std::int64_t bytesAvailable() const override;
    std::int64_t bytesToWrite() const override;
    std::int64_t hungUp() const override;

    // Raises or drops DTR; false when the line has no modem control (a pseudo-terminal).
    bool setDTR(bool on);

    int fileDescriptor() const { return m_fd; }

    // Steps 2 to 8 of opening on attributes read from a port, apart from the speed: raw mode,
    // character size, parity, stop bits and flow control.
    static void configure(termios &attributes, int dataBits, int parity, int twoStopBits,
                          int flowControl);
    // The system's speed constant of a standard rate, or 0 for a rate outside the table.
    static std::uint32_t speedConstant(std::uint32_t baudRate);

private:
    int m_fd = -1;
};

// Sets a rate that has no speed constant through the kernel's arbitrary-rate interface;
// returns 0 or the errno of the failed call.
int setArbitrarySpeed(int fd, std::uint32_t baudRate);
