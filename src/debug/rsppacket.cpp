#include "debug/rsppacket.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr char kHexDigits[] = "0123456789abcdef";

} // namespace

std::uint8_t rspChecksum(std::string_view bytes) {
    std::uint8_t sum = 0;
    for (char c : bytes)
        sum = std::uint8_t(sum + std::uint8_t(c));
    return sum;
}

std::string encodeRspPacket(std::string_view payload) {
    std::string packet;
    packet.reserve(payload.size() + 4);
    packet += '$';
    for (char c : payload) {
        if (c == '$' || c == '#' || c == '}' || c == '*') {
            packet += '}';
            packet += char(c ^ 0x20);
        } else {
            packet += c;
        }
    }
    const std::uint8_t sum = rspChecksum(std::string_view(packet).substr(1));
    packet += '#';
    packet += kHexDigits[sum >> 4];
    packet += kHexDigits[sum & 0xf];
    return packet;
}

std::string toHex(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        text += kHexDigits[std::uint8_t(c) >> 4];
        text += kHexDigits[std::uint8_t(c) & 0xf];
    }
    return text;
}

std::string fromHex(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        bytes += char(high << 4 | low);
    }
    return bytes;
}

void RspPacketReader::feed(const char *bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char c = bytes[i];
        switch (m_state) {
        case State::Idle:
            if (c == '+')
                m_events.push_back({Event::Ack, {}});
            else if (c == '-')
                m_events.push_back({Event::Nack, {}});
            else if (c == '\x03')
                m_events.push_back({Event::Interrupt, {}});
            else if (c == '$' || c == '%') {
                m_state = State::Payload;
                m_notification = c == '%';
                m_overflow = false;
                m_raw.clear();
                m_sum = 0;
            }
            // Anything else between packets is line noise.
            break;
        case State::Payload:
            if (c == '#') {
                m_state = State::Checksum1;
            } else if (c == '$') {
                // A packet start inside a packet: the earlier one was cut off.
                m_events.push_back({Event::BadPacket, {}});
                m_raw.clear();
                m_sum = 0;
                m_overflow = false;
            } else {
                m_sum = std::uint8_t(m_sum + std::uint8_t(c));
                if (m_raw.size() < m_maxPayload)
                    m_raw += c;
                else
                    m_overflow = true;
            }
            break;
        case State::Checksum1:
            m_checksumHigh = hexValue(c);
            m_state = State::Checksum2;
            break;
        case State::Checksum2: {
            const int low = hexValue(c);
            m_state = State::Idle;
            if (m_checksumHigh < 0 || low < 0) {
                m_events.push_back({Event::BadPacket, {}});
                break;
            }
            finishPacket(std::uint8_t(m_checksumHigh << 4 | low));
            break;
        }
        }
    }
}

void RspPacketReader::finishPacket(std::uint8_t checksum) {
    std::string payload;
    if (m_overflow || checksum != m_sum || !decode(payload)) {
        m_events.push_back({Event::BadPacket, {}});
        return;
    }
    m_events.push_back({m_notification ? Event::Notification : Event::Packet, std::move(payload)});
}

bool RspPacketReader::decode(std::string &out) const {
    out.reserve(m_raw.size());
    for (std::size_t i = 0; i < m_raw.size(); ++i) {
        const char c = m_raw[i];
        if (c == '}') {
            if (++i == m_raw.size())
                return false;
            out += char(m_raw[i] ^ 0x20);
        } else if (c == '*') {
            // The previous byte again, (count - 29) more times.
            if (out.empty() || ++i == m_raw.size())
                return false;
            const int repeat = int(std::uint8_t(m_raw[i])) - 29;
            if (repeat < 0 || out.size() + std::size_t(repeat) > m_maxPayload)
                return false;
            out.append(std::size_t(repeat), out.back());
        } else {
            out += c;
        }
    }
    return true;
}

RspPacketReader::Event RspPacketReader::takeEvent() {
    Event event = std::move(m_events.front());
    m_events.pop_front();
    return event;
}
