#pragma once

#include "debug/debugtarget.h"
#include "debug/hiointerface.h"
#include "debug/rsppacket.h"

#include <memory>
#include <string>

// A target behind a GDB remote serial protocol server (QEMU, OpenOCD, pyOCD, a probe's GDB
// server), over TCP or a serial port. Link failures, silence and refused requests throw
// HException; memory access stops short where the server answers with an error.
class RemoteSerialProtocolTarget final : public DebugTarget {
public:
    // Negotiates the packet size and no-acknowledgement mode. `registers` describes the
    // core; an ARM M-profile core unless told otherwise.
    explicit RemoteSerialProtocolTarget(std::unique_ptr<HDataLink> link);
    RemoteSerialProtocolTarget(std::unique_ptr<HDataLink> link,
                               std::vector<TargetRegister> registers);

    // How long a request waits for its answer (default 3000 ms).
    void setReplyTimeout(int ms) { m_replyTimeout = ms; }
    std::size_t packetSize() const { return m_packetSize; }
    bool acknowledging() const { return m_acknowledging; }
    // Packets sent since the connection was made: lets callers see what a cache saves.
    std::size_t packetsSent() const { return m_packetsSent; }
    // Sends one request and returns the answer.
    std::string request(const std::string &payload);

    const std::vector<TargetRegister> &registers() const override { return m_registers; }
    std::vector<std::uint64_t> readRegisters() override;
    void writeRegister(std::size_t index, std::uint64_t value) override;
    std::size_t readMemory(std::uint64_t address, void *destination, std::size_t length) override;
    std::size_t writeMemory(std::uint64_t address, const void *source, std::size_t length) override;
    bool insertBreakpoint(std::uint64_t address, bool hardware) override;
    bool removeBreakpoint(std::uint64_t address, bool hardware) override;
    StopEvent resume(bool step, int timeoutMs) override;
    StopEvent waitForStop(int timeoutMs) override;
    void interrupt() override;
    StopEvent haltReason() override;
    void detach() override;
    void kill() override;

private:
    void connect();
    void sendPacket(const std::string &payload);
    // The next packet within the time-out, or none.
    bool receivePacket(std::string &payload, int timeoutMs);
    std::string receiveReply();
    void writeRaw(const std::string &bytes);
    // Reads what the link has within the time-out into the packet reader; false on silence.
    bool pump(int timeoutMs);
    StopEvent parseStop(const std::string &reply);
    std::uint64_t decodeRegister(const std::string &bytes) const;

    std::unique_ptr<HDataLink> m_link;
    std::vector<TargetRegister> m_registers;
    RspPacketReader m_reader;
    std::size_t m_packetSize = 400;
    bool m_acknowledging = true;
    bool m_vCont = false;
    bool m_running = false;
    bool m_closed = false;
    int m_replyTimeout = 3000;
    std::size_t m_packetsSent = 0;
    std::string m_pendingOutput;
};
