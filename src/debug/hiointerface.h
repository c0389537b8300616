#pragma once

#include <cstddef>
#include <cstdint>

// The root of the byte-stream classes of the target link.
class HIOInterface {
public:
    virtual ~HIOInterface() = default;
};

// A byte stream with read and write time-outs. Reads and writes never throw: they return how
// many bytes moved, which is short when the time-out passed or the line failed.
class HDataLink : public HIOInterface {
public:
    virtual std::ptrdiff_t read(void *buffer, std::ptrdiff_t count) = 0;
    virtual std::ptrdiff_t write(const void *buffer, std::ptrdiff_t count) = 0;
    virtual void flush() {}
    virtual void setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
        m_readTimeout = readMs;
        m_writeTimeout = writeMs;
    }
    virtual void setTimeout(std::uint32_t ms) { setTimeouts(ms, ms); }

    // Optional queries of a link; a plain link knows none of them. Bytes waiting to be read,
    // bytes not yet sent, whether the peer hung up, the line's errors since the last ask.
    virtual std::int64_t bytesAvailable() const { return 0; }
    virtual std::int64_t bytesToWrite() const { return 0; }
    virtual std::int64_t hungUp() const { return 0; }
    virtual std::int64_t lineErrors() const { return 0; }

    std::uint32_t readTimeout() const { return m_readTimeout; }
    std::uint32_t writeTimeout() const { return m_writeTimeout; }

protected:
    std::uint32_t m_readTimeout = 1000;
    std::uint32_t m_writeTimeout = 1000;
};

// A message-level transport over some link: sends and receives whole units.
class HTransport : public HIOInterface {
public:
    virtual std::ptrdiff_t send(const void *buffer, std::ptrdiff_t count) = 0;
    virtual std::ptrdiff_t receive(void *buffer, std::ptrdiff_t count) = 0;
};

// Moves bytes through a non-blocking descriptor until all have moved, the time-out has
// passed or the descriptor failed; waits in poll for the time left rather than spinning.
// `writing` picks the direction. A time-out of 0 makes one attempt. Returns the bytes moved.
// Sockets are written without SIGPIPE, so a peer that went away is a short count, and a read
// of nothing is their end of stream; a terminal in raw mode reads nothing whenever it is idle.
std::ptrdiff_t transferWithTimeout(int fd, void *buffer, std::ptrdiff_t count, bool writing,
                                   std::uint32_t timeoutMs, bool isSocket = false);
