#include "rspstub.h"

#include "debug/rsppacket.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string hexWord(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char(value >> (8 * i));
    return toHex(bytes);
}

// Runs of four or more equal characters become "c*n"; counts that would give "#" or "$" are
// cut shorter.
std::string runLengthEncode(const std::string &payload) {
    std::string out;
    for (std::size_t i = 0; i < payload.size();) {
        std::size_t run = 1;
        while (i + run < payload.size() && payload[i + run] == payload[i] && run < 98)
            ++run;
        out += payload[i];
        std::size_t repeat = run - 1;
        if (repeat == 6 || repeat == 7)
            repeat = 5;
        if (repeat >= 3) {
            out += '*';
            out += char(repeat + 29);
            i += repeat + 1;
        } else {
            ++i;
        }
    }
    return out;
}

} // namespace

RspStub::RspStub(Options options) : m_options(std::move(options)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::listen(m_listener, 4);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    for (unsigned i = 0; i < 16; ++i)
        m_registers[i] = 0x1000 * i;
    m_registers[25] = 0x01000000;
    m_thread = std::thread([this] { serve(); });
}

RspStub::~RspStub() {
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

void RspStub::addMemory(std::uint32_t address, std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_memory[address] = std::move(bytes);
}

bool RspStub::readMemory(std::uint32_t address, std::size_t length, std::string &bytes) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t at = address + std::uint32_t(i);
        auto region = m_memory.upper_bound(at);
        if (region == m_memory.begin())
            return !bytes.empty();
        --region;
        if (at - region->first >= region->second.size())
            return !bytes.empty();
        bytes += char(region->second[at - region->first]);
    }
    return true;
}

std::vector<std::uint8_t> RspStub::memory(std::uint32_t address, std::size_t length) {
    std::lock_guard lock(m_mutex);
    std::string bytes;
    readMemory(address, length, bytes);
    return {bytes.begin(), bytes.end()};
}

void RspStub::setRegister(unsigned number, std::uint32_t value) {
    std::lock_guard lock(m_mutex);
    m_registers[number] = value;
}

std::uint32_t RspStub::registerValue(unsigned number) {
    std::lock_guard lock(m_mutex);
    return m_registers[number];
}

std::vector<std::string> RspStub::packets() {
    std::lock_guard lock(m_mutex);
    return m_packets;
}

std::size_t RspStub::packetCount() {
    std::lock_guard lock(m_mutex);
    return m_packets.size();
}

std::set<std::uint32_t> RspStub::breakpoints() {
    std::lock_guard lock(m_mutex);
    return m_breakpoints;
}

void RspStub::serve() {
    while (!m_stopping) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        m_acknowledging = true;
        session(fd);
        ::close(fd);
    }
}

void RspStub::send(int fd, const std::string &payload) {
    std::string packet;
    if (m_options.runLengthReplies) {
        // Framed by hand: the client must expand what encodeRspPacket never produces.
        const std::string body = runLengthEncode(payload);
        char checksum[3];
        std::snprintf(checksum, sizeof checksum, "%02x", rspChecksum(body));
        packet = "$" + body + "#" + checksum;
    } else {
        packet = encodeRspPacket(payload);
    }
    std::string sent = packet;
    if (m_options.corruptReplies > 0) {
        --m_options.corruptReplies;
        sent[sent.size() - 1] = sent[sent.size() - 1] == '0' ? '1' : '0';
    }
    for (;;) {
        if (::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL) < 0 || !m_acknowledging)
            return;
        // Wait for the client's verdict; resend the good packet on "-".
        char verdict = 0;
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, 2000) <= 0 || ::recv(fd, &verdict, 1, 0) != 1 || verdict != '-')
            return;
        sent = packet;
    }
}

void RspStub::session(int fd) {
    RspPacketReader reader;
    bool running = false;
    while (!m_stopping) {
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, 20);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            reader.feed(buffer, std::size_t(got));
        }
        while (reader.hasEvent()) {
            RspPacketReader::Event event = reader.takeEvent();
            if (event.kind == RspPacketReader::Event::Interrupt && running) {
                running = false;
                send(fd, "T02");
                continue;
            }
            if (event.kind == RspPacketReader::Event::BadPacket) {
                ::send(fd, "-", 1, MSG_NOSIGNAL);
                continue;
            }
            if (event.kind != RspPacketReader::Event::Packet)
                continue;
            {
                std::lock_guard lock(m_mutex);
                m_packets.push_back(event.payload);
            }
            if (m_options.rejectPackets > 0 && m_acknowledging) {
                --m_options.rejectPackets;
                ::send(fd, "-", 1, MSG_NOSIGNAL);
                continue;
            }
            if (m_acknowledging)
                ::send(fd, "+", 1, MSG_NOSIGNAL);
            const std::string reply = answer(event.payload, fd, running);
            if (event.payload == "QStartNoAckMode") {
                send(fd, reply);
                m_acknowledging = false;
                continue;
            }
            if (!running)
                send(fd, reply);
            if (event.payload == "k")
                return;
        }
    }
}

std::string RspStub::answer(const std::string &packet, int fd, bool &running) {
    if (packet.rfind("vCont;", 0) == 0)
        return answer(packet.substr(6), fd, running);
    std::lock_guard lock(m_mutex);
    char text[64];
    switch (packet.empty() ? 0 : packet[0]) {
    case 'q':
        if (packet.rfind("qSupported", 0) == 0) {
            std::snprintf(text, sizeof text, "PacketSize=%zx;%s", m_options.packetSize,
                          m_options.offerNoAck ? "QStartNoAckMode+" : "QStartNoAckMode-");
            return text;
        }
        return "";
    case 'Q':
        return packet == "QStartNoAckMode" ? "OK" : "";
    case 'v':
        return packet == "vCont?" ? "vCont;c;C;s;S" : "";
    case '?':
        return "S05";
    case 'g': {
        std::string all;
        for (unsigned i = 0; i < 16; ++i)
            all += hexWord(m_registers[i]);
        return all; // past r15 the client asks with "p"
    }
    case 'p': {
        const unsigned number = unsigned(std::strtoul(packet.c_str() + 1, nullptr, 16));
        return m_registers.count(number) ? hexWord(m_registers[number]) : "E00";
    }
    case 'P': {
        const unsigned number = unsigned(std::strtoul(packet.c_str() + 1, nullptr, 16));
        const std::string value = fromHex(packet.substr(packet.find('=') + 1));
        std::uint32_t word = 0;
        for (std::size_t i = value.size(); i-- > 0;)
            word = word << 8 | std::uint8_t(value[i]);
        m_registers[number] = word;
        return "OK";
    }
    case 'm': {
        char *end = nullptr;
        const std::uint32_t address = std::uint32_t(std::strtoul(packet.c_str() + 1, &end, 16));
        const std::size_t length = std::strtoul(end + 1, nullptr, 16);
        if (length * 2 + 4 > m_options.packetSize)
            return "E22";
        std::string bytes;
        if (!readMemory(address, length, bytes))
            return "E14";
        return toHex(bytes);
    }
    case 'M': {
        char *end = nullptr;
        const std::uint32_t address = std::uint32_t(std::strtoul(packet.c_str() + 1, &end, 16));
        const std::size_t length = std::strtoul(end + 1, &end, 16);
        const std::string bytes = fromHex(end + 1);
        std::string present;
        if (bytes.size() != length || !readMemory(address, length, present) ||
            present.size() != length)
            return "E14";
        for (std::size_t i = 0; i < length; ++i) {
            auto region = std::prev(m_memory.upper_bound(address + std::uint32_t(i)));
            region->second[address + i - region->first] = std::uint8_t(bytes[i]);
        }
        return "OK";
    }
    case 'Z':
    case 'z': {
        if (packet.size() < 3 || packet[1] != '0')
            return "";
        const std::uint32_t address = std::uint32_t(std::strtoul(packet.c_str() + 3, nullptr, 16));
        if (packet[0] == 'Z')
            m_breakpoints.insert(address);
        else
            m_breakpoints.erase(address);
        return "OK";
    }
    case 's':
        m_registers[15] += 2;
        return "T05";
    case 'c':
        if (!m_options.output.empty()) {
            // Output goes out while the lock is held; the client does not call back meanwhile.
            m_mutex.unlock();
            send(fd, "O" + toHex(m_options.output));
            m_mutex.lock();
        }
        if (!m_breakpoints.empty()) {
            m_registers[15] = *m_breakpoints.begin();
            return "T05";
        }
        if (m_options.exitStatus >= 0) {
            std::snprintf(text, sizeof text, "W%02x", m_options.exitStatus);
            return text;
        }
        running = true;
        return "";
    case 'D':
        return "OK";
    case 'k':
        return "";
    default:
        return "";
    }
}
