#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

// Framing of the GDB remote serial protocol: "$payload#cc" with a modulo-256 checksum,
// "}" escaping the next byte (XOR 0x20) and "*" repeating the previous byte.

std::uint8_t rspChecksum(std::string_view bytes);
// The packet of a payload, with "$", "#", "}" and "*" escaped.
std::string encodeRspPacket(std::string_view payload);
// Hexadecimal of bytes (lower case) and back; fromHex stops at the first non-digit pair and
// returns the bytes decoded so far.
std::string toHex(std::string_view bytes);
std::string fromHex(std::string_view text);

// Reads the byte stream of a peer and cuts it into acknowledgements, packets and interrupts.
// Hostile input cannot make it grow without bound: a packet longer than the limit is
// discarded and reported as bad.
class RspPacketReader {
public:
    struct Event {
        enum Kind {
            Ack,          // "+"
            Nack,         // "-": resend the last packet
            Packet,       // a well-formed packet; payload decoded
            BadPacket,    // checksum wrong, bad escape or run-length, or too long
            Interrupt,    // 0x03 outside a packet
            Notification, // "%payload#cc"
        };
        Kind kind;
        std::string payload;
    };

    explicit RspPacketReader(std::size_t maxPayload = 1 << 20) : m_maxPayload(maxPayload) {}

    void feed(const char *bytes, std::size_t count);
    bool hasEvent() const { return !m_events.empty(); }
    Event takeEvent();

private:
    enum class State { Idle, Payload, Checksum1, Checksum2 };
    void finishPacket(std::uint8_t checksum);
    // Undoes escapes and run-length encoding; false when they are malformed.
    bool decode(std::string &out) const;

    std::size_t m_maxPayload;
    State m_state = State::Idle;
    bool m_notification = false;
    bool m_overflow = false;
    std::string m_raw;
    std::uint8_t m_sum = 0;
    int m_checksumHigh = 0;
    std::deque<Event> m_events;
};
