#include "debug/remoteserialprotocoltarget.h"

#include "core/hexception.h"
#include "debug/memoryimagetarget.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kRetries = 5;
// The largest packet this client takes, whatever the server offers.
constexpr std::size_t kMaxPacketSize = 64 * 1024;

std::string hexNumber(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIx64, value);
    return text;
}

bool isError(const std::string &reply) {
    return reply.size() == 3 && reply[0] == 'E';
}

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

} // namespace

RemoteSerialProtocolTarget::RemoteSerialProtocolTarget(std::unique_ptr<HDataLink> link)
    : RemoteSerialProtocolTarget(std::move(link), armMProfileRegisters()) {}

RemoteSerialProtocolTarget::RemoteSerialProtocolTarget(std::unique_ptr<HDataLink> link,
                                                       std::vector<TargetRegister> registers)
    : m_link(std::move(link)), m_registers(std::move(registers)), m_reader(kMaxPacketSize) {
    connect();
}

void RemoteSerialProtocolTarget::writeRaw(const std::string &bytes) {
    if (m_link->write(bytes.data(), std::ptrdiff_t(bytes.size())) != std::ptrdiff_t(bytes.size()))
        throw HException("connection to the target lost");
}

bool RemoteSerialProtocolTarget::pump(int timeoutMs) {
    char buffer[16384];
    // Block for the first byte only, then take what has already arrived.
    m_link->setTimeouts(std::uint32_t(timeoutMs), m_link->writeTimeout());
    std::ptrdiff_t got = m_link->read(buffer, 1);
    if (got <= 0) {
        if (m_link->hungUp())
            throw HException("connection to the target lost");
        return false;
    }
    m_reader.feed(buffer, 1);
    m_link->setTimeouts(0, m_link->writeTimeout());
    while ((got = m_link->read(buffer, sizeof buffer)) > 0) {
        m_reader.feed(buffer, std::size_t(got));
        if (got < std::ptrdiff_t(sizeof buffer))
            break;
    }
    return true;
}

void RemoteSerialProtocolTarget::sendPacket(const std::string &payload) {
    if (m_closed)
        throw HException("connection to the target closed");
    const std::string packet = encodeRspPacket(payload);
    for (int attempt = 0; attempt < kRetries; ++attempt) {
        writeRaw(packet);
        ++m_packetsSent;
        if (!m_acknowledging)
            return;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_replyTimeout);
        bool resend = false;
        while (!resend) {
            while (!m_reader.hasEvent()) {
                if (!pump(remainingMs(deadline)))
                    throw HException("the target does not answer");
            }
            RspPacketReader::Event event = m_reader.takeEvent();
            if (event.kind == RspPacketReader::Event::Ack)
                return;
            if (event.kind == RspPacketReader::Event::Nack)
                resend = true;
        }
    }
    throw HException("the target keeps rejecting packets");
}

bool RemoteSerialProtocolTarget::receivePacket(std::string &payload, int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int badPackets = 0;
    for (;;) {
        while (!m_reader.hasEvent()) {
            if (!pump(remainingMs(deadline)))
                return false;
        }
        RspPacketReader::Event event = m_reader.takeEvent();
        if (event.kind == RspPacketReader::Event::BadPacket) {
            if (!m_acknowledging || ++badPackets > kRetries)
                throw HException("corrupted packet from the target");
            writeRaw("-");
            continue;
        }
        if (event.kind != RspPacketReader::Event::Packet)
            continue;
        if (m_acknowledging)
            writeRaw("+");
        payload = std::move(event.payload);
        return true;
    }
}

std::string RemoteSerialProtocolTarget::receiveReply() {
    std::string reply;
    for (;;) {
        if (!receivePacket(reply, m_replyTimeout))
            throw HException("the target does not answer");
        // Console output can precede the answer; it is kept for the next stop.
        if (reply.size() > 1 && reply[0] == 'O' && reply != "OK") {
            m_pendingOutput += fromHex(std::string_view(reply).substr(1));
            continue;
        }
        return reply;
    }
}

std::string RemoteSerialProtocolTarget::request(const std::string &payload) {
    if (m_running)
        throw HException("the target is running");
    sendPacket(payload);
    return receiveReply();
}

void RemoteSerialProtocolTarget::connect() {
    writeRaw("+");
    const std::string features = request("qSupported:swbreak+;hwbreak+;vContSupported+");
    bool noAck = false;
    std::size_t start = 0;
    while (start <= features.size()) {
        std::size_t end = features.find(';', start);
        if (end == std::string::npos)
            end = features.size();
        const std::string feature = features.substr(start, end - start);
        if (feature.rfind("PacketSize=", 0) == 0) {
            const unsigned long long size = std::strtoull(feature.c_str() + 11, nullptr, 16);
            if (size >= 64)
                m_packetSize = std::size_t(std::min<unsigned long long>(size, kMaxPacketSize));
        } else if (feature == "QStartNoAckMode+") {
            noAck = true;
        }
        start = end + 1;
    }
    if (noAck && request("QStartNoAckMode") == "OK")
        m_acknowledging = false;
    const std::string vCont = request("vCont?");
    m_vCont = vCont.find(";c") != std::string::npos && vCont.find(";s") != std::string::npos;
}

std::uint64_t RemoteSerialProtocolTarget::decodeRegister(const std::string &bytes) const {
    // Registers travel in the target's byte order; the cores served here are little-endian.
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        value = value << 8 | std::uint8_t(bytes[i]);
    return value;
}

std::vector<std::uint64_t> RemoteSerialProtocolTarget::readRegisters() {
    const std::string reply = request("g");
    if (isError(reply))
        throw HException("the target cannot read its registers (" + reply + ")");
    // "g" holds the registers in the order of the server's description, which for the cores
    // served here is the order of the list; those past its end are asked for one by one.
    std::size_t offset = 0;
    std::vector<std::uint64_t> values;
    // Without a target description some servers send the legacy ARM layout instead, with
    // eight 12-byte FPA registers and FPS between r15 and the status register (number 25).
    constexpr std::size_t kLegacyArmBytes = 16 * 4 + 8 * 12 + 4 + 4;
    const bool legacyArm = reply.size() == kLegacyArmBytes * 2;
    for (const TargetRegister &reg : m_registers) {
        if (legacyArm && reg.number == 25)
            offset = kLegacyArmBytes - 4;
        const std::size_t hexAt = offset * 2;
        std::string bytes;
        if (hexAt + reg.size * 2 <= reply.size() && reply[hexAt] != 'x')
            bytes = fromHex(std::string_view(reply).substr(hexAt, reg.size * 2));
        if (bytes.size() != reg.size) {
            const std::string single = request("p" + hexNumber(reg.number));
            bytes = isError(single) ? std::string() : fromHex(single);
        }
        values.push_back(decodeRegister(bytes));
        offset += reg.size;
    }
    return values;
}

void RemoteSerialProtocolTarget::writeRegister(std::size_t index, std::uint64_t value) {
    if (index >= m_registers.size())
        throw HException("no such register");
    const TargetRegister &reg = m_registers[index];
    std::string bytes;
    for (unsigned i = 0; i < reg.size; ++i)
        bytes += char(value >> (8 * i));
    const std::string reply = request("P" + hexNumber(reg.number) + "=" + toHex(bytes));
    if (reply != "OK")
        throw HException("the target cannot write register " + reg.name +
                         (reply.empty() ? "" : " (" + reply + ")"));
}

std::size_t RemoteSerialProtocolTarget::readMemory(std::uint64_t address, void *destination,
                                                   std::size_t length) {
    auto *out = static_cast<char *>(destination);
    // The answer carries two digits a byte and the framing.
    const std::size_t chunk = std::max<std::size_t>(1, (m_packetSize - 8) / 2);
    std::size_t done = 0;
    while (done < length) {
        const std::size_t count = std::min(chunk, length - done);
        const std::string reply = request("m" + hexNumber(address + done) + "," + hexNumber(count));
        if (isError(reply))
            break;
        const std::string bytes = fromHex(reply);
        const std::size_t got = std::min(bytes.size(), count);
        std::copy_n(bytes.data(), got, out + done);
        done += got;
        if (got < count)
            break;
    }
    return done;
}

std::size_t RemoteSerialProtocolTarget::writeMemory(std::uint64_t address, const void *source,
                                                    std::size_t length) {
    const auto *in = static_cast<const char *>(source);
    const std::size_t chunk = std::max<std::size_t>(1, (m_packetSize - 32) / 2);
    std::size_t done = 0;
    while (done < length) {
        const std::size_t count = std::min(chunk, length - done);
        const std::string reply = request("M" + hexNumber(address + done) + "," + hexNumber(count) +
                                          ":" + toHex(std::string_view(in + done, count)));
        if (reply != "OK")
            break;
        done += count;
    }
    return done;
}

bool RemoteSerialProtocolTarget::insertBreakpoint(std::uint64_t address, bool hardware) {
    // Kind 2: a 16-bit Thumb breakpoint, the size the M-profile cores use.
    return request(std::string(hardware ? "Z1," : "Z0,") + hexNumber(address) + ",2") == "OK";
}

bool RemoteSerialProtocolTarget::removeBreakpoint(std::uint64_t address, bool hardware) {
    return request(std::string(hardware ? "z1," : "z0,") + hexNumber(address) + ",2") == "OK";
}

StopEvent RemoteSerialProtocolTarget::resume(bool step, int timeoutMs) {
    if (m_running)
        throw HException("the target is running");
    sendPacket(m_vCont ? (step ? "vCont;s" : "vCont;c") : (step ? "s" : "c"));
    m_running = true;
    return waitForStop(timeoutMs);
}

StopEvent RemoteSerialProtocolTarget::waitForStop(int timeoutMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string output = std::move(m_pendingOutput);
    m_pendingOutput.clear();
    for (;;) {
        std::string reply;
        if (!receivePacket(reply, remainingMs(deadline))) {
            StopEvent event{StopEvent::TimedOut, 0, std::move(output)};
            return event;
        }
        if (reply.size() > 1 && reply[0] == 'O' && reply != "OK") {
            output += fromHex(std::string_view(reply).substr(1));
            continue;
        }
        StopEvent event = parseStop(reply);
        event.output = std::move(output);
        m_running = false;
        return event;
    }
}

StopEvent RemoteSerialProtocolTarget::parseStop(const std::string &reply) {
    if (reply.size() < 3 || !std::strchr("STWX", reply[0]))
        throw HException("unexpected stop reply '" + reply.substr(0, 40) + "'");
    const std::string code = fromHex(std::string_view(reply).substr(1, 2));
    if (code.size() != 1)
        throw HException("unexpected stop reply '" + reply.substr(0, 40) + "'");
    StopEvent event;
    event.code = std::uint8_t(code[0]);
    event.kind = reply[0] == 'W'   ? StopEvent::Exited
                 : reply[0] == 'X' ? StopEvent::Terminated
                                   : StopEvent::Signal;
    if (event.kind != StopEvent::Signal)
        m_closed = true;
    return event;
}

void RemoteSerialProtocolTarget::interrupt() {
    writeRaw("\x03");
}

StopEvent RemoteSerialProtocolTarget::haltReason() {
    return parseStop(request("?"));
}

void RemoteSerialProtocolTarget::detach() {
    if (m_closed)
        return;
    const std::string reply = request("D");
    m_closed = true;
    if (reply != "OK")
        throw HException("the target refused to detach" +
                         (reply.empty() ? "" : " (" + reply + ")"));
}

void RemoteSerialProtocolTarget::kill() {
    if (m_closed)
        return;
    // Servers end at once and often without an answer.
    sendPacket("k");
    m_closed = true;
}
