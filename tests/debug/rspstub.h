#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

// A GDB remote protocol server for tests: one client at a time on a loopback port, memory
// in a few regions, an ARM register file, breakpoints that a continue runs into, and faults
// to switch on. It answers like the servers the client meets (QEMU, OpenOCD) but is small
// enough to reason about.
class RspStub {
public:
    struct Options {
        std::size_t packetSize = 0x200;
        bool offerNoAck = true;
        // Faults: replies sent with a wrong checksum, packets answered with "-" first.
        int corruptReplies = 0;
        int rejectPackets = 0;
        bool runLengthReplies = false;
        // Console output sent as O packets before the stop of a continue.
        std::string output;
        // A continue without a breakpoint ends the program with this status (else it runs
        // until interrupted).
        int exitStatus = -1;
    };

    explicit RspStub(Options options);
    ~RspStub();
    RspStub(const RspStub &) = delete;
    RspStub &operator=(const RspStub &) = delete;

    std::uint16_t port() const { return m_port; }
    void addMemory(std::uint32_t address, std::vector<std::uint8_t> bytes);
    std::vector<std::uint8_t> memory(std::uint32_t address, std::size_t length);
    void setRegister(unsigned number, std::uint32_t value);
    std::uint32_t registerValue(unsigned number);
    // Packets received, in order (without framing).
    std::vector<std::string> packets();
    std::size_t packetCount();
    std::set<std::uint32_t> breakpoints();

private:
    void serve();
    void session(int fd);
    std::string answer(const std::string &packet, int fd, bool &running);
    void send(int fd, const std::string &payload);
    bool readMemory(std::uint32_t address, std::size_t length, std::string &bytes);

    Options m_options;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<std::uint32_t, std::vector<std::uint8_t>> m_memory;
    std::map<unsigned, std::uint32_t> m_registers;
    std::set<std::uint32_t> m_breakpoints;
    std::vector<std::string> m_packets;
    bool m_acknowledging = true;
};
