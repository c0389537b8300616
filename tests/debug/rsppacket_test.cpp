// Framing of the remote protocol: what the reader makes of well-formed and hostile streams.

#include "debug/rsppacket.h"

#include <gtest/gtest.h>

namespace {

using Event = RspPacketReader::Event;

std::vector<Event> readAll(const std::string &stream, std::size_t limit = 1 << 20) {
    RspPacketReader reader(limit);
    // Byte by byte: a packet split anywhere must come out whole.
    for (char c : stream)
        reader.feed(&c, 1);
    std::vector<Event> events;
    while (reader.hasEvent())
        events.push_back(reader.takeEvent());
    return events;
}

TEST(RspPacket, EncodingEscapesFramingCharactersAndSumsWhatIsSent) {
    EXPECT_EQ(encodeRspPacket("OK"), "$OK#9a");
    EXPECT_EQ(encodeRspPacket(""), "$#00");
    // "$" "#" "}" "*" travel as "}" and the byte XOR 0x20; the sum covers the escaped form.
    EXPECT_EQ(encodeRspPacket("a$#}*"), "$a}\x04}\x03}]}\x0a#c3");
    EXPECT_EQ(toHex("\x01\xff"), "01ff");
    EXPECT_EQ(fromHex("01FFzz"), "\x01\xff");
}

TEST(RspPacket, ReaderRoundTripsEveryByteValue) {
    std::string payload;
    for (int i = 0; i < 256; ++i)
        payload += char(i);
    std::vector<Event> events = readAll(encodeRspPacket(payload));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Event::Packet);
    EXPECT_EQ(events[0].payload, payload);
}

TEST(RspPacket, ReaderSeparatesAcknowledgementsInterruptsAndNoise) {
    std::vector<Event> events = readAll("+-\x03garbage$OK#9a%Stop:T05#" + std::string("00") + "+");
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].kind, Event::Ack);
    EXPECT_EQ(events[1].kind, Event::Nack);
    EXPECT_EQ(events[2].kind, Event::Interrupt);
    EXPECT_EQ(events[3].kind, Event::Packet);
    EXPECT_EQ(events[3].payload, "OK");
    // The notification's checksum is wrong on purpose: reported as bad, not as a packet.
    EXPECT_EQ(events[4].kind, Event::BadPacket);
    EXPECT_EQ(events[5].kind, Event::Ack);
}

TEST(RspPacket, RunLengthExpandsThePreviousByte) {
    // "0* " is "0" and 32 - 29 = 3 more: "0000".
    const std::string body = "0* 1";
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02x", rspChecksum(body));
    std::vector<Event> events = readAll("$" + body + "#" + checksum);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].payload, "00001");
}

TEST(RspPacket, MalformedPacketsAreBadNotCrashes) {
    struct Row {
        const char *name;
        std::string body;
    } rows[] = {
        {"run-length at the start", "*!"},
        {"run-length without a count", "0*"},
        {"count below 29", std::string("0*") + char(20)},
        {"escape at the end", "ab}"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        char checksum[3];
        std::snprintf(checksum, sizeof checksum, "%02x", rspChecksum(row.body));
        std::vector<Event> events = readAll("$" + row.body + "#" + checksum);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, Event::BadPacket);
    }
    // Wrong checksum, non-hex checksum, a new "$" inside a packet.
    EXPECT_EQ(readAll("$OK#9b")[0].kind, Event::BadPacket);
    EXPECT_EQ(readAll("$OK#zz")[0].kind, Event::BadPacket);
    std::vector<Event> restarted = readAll("$O$OK#9a");
    ASSERT_EQ(restarted.size(), 2u);
    EXPECT_EQ(restarted[0].kind, Event::BadPacket);
    EXPECT_EQ(restarted[1].payload, "OK");
}

TEST(RspPacket, ThePayloadLimitHoldsForRawAndExpandedBytes) {
    EXPECT_EQ(readAll(encodeRspPacket(std::string(11, 'a')), 10)[0].kind, Event::BadPacket);
    EXPECT_EQ(readAll(encodeRspPacket(std::string(10, 'a')), 10)[0].kind, Event::Packet);
    // Four raw bytes that would expand past the limit.
    const std::string body = std::string("a*") + char(29 + 90);
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02x", rspChecksum(body));
    EXPECT_EQ(readAll("$" + body + "#" + checksum, 10)[0].kind, Event::BadPacket);
}

} // namespace
