// The byte stream of a remote protocol server, cut at arbitrary points: the reader must never
// grow past its limit, and every packet it accepts must survive encoding and reading again.

#include "debug/rsppacket.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    constexpr std::size_t kLimit = 4096;
    RspPacketReader reader(kLimit);
    // The first byte sets where the stream is cut, so packets arrive in pieces.
    const std::size_t piece = size ? data[0] % 7 + 1 : 1;
    for (std::size_t at = 1; at < size; at += piece) {
        const std::size_t count = std::min(piece, size - at);
        reader.feed(reinterpret_cast<const char *>(data + at), count);
        while (reader.hasEvent()) {
            RspPacketReader::Event event = reader.takeEvent();
            if (event.kind != RspPacketReader::Event::Packet)
                continue;
            if (event.payload.size() > kLimit)
                std::abort();
            RspPacketReader again(kLimit);
            const std::string packet = encodeRspPacket(event.payload);
            again.feed(packet.data(), packet.size());
            if (!again.hasEvent() || again.takeEvent().payload != event.payload)
                std::abort();
            fromHex(event.payload);
        }
    }
    return 0;
}
