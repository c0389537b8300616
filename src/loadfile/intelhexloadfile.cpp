#include "loadfile/intelhexloadfile.h"

#include "core/hexception.h"

#include <cstdio>
#include <string>

namespace {
constexpr std::size_t kMaxLineLength = 529;

enum RecordType : std::uint8_t {
    Data = 0,
    EndOfFile = 1,
    ExtendedSegmentAddress = 2,
    StartSegmentAddress = 3,
    ExtendedLinearAddress = 4,
    StartLinearAddress = 5,
};
} // namespace

IntelHexLoadFile::IntelHexLoadFile(const std::string &path) {
    load(path, kMaxLineLength);
}

bool IntelHexLoadFile::parseLine(const LoadFileLine &line) {
    if (line.text.empty() || line.text[0] != ':')
        throw HException("missing record mark in hex file");
    RecordReader reader(line.text, 1);
    std::uint8_t count = reader.byte();
    std::uint32_t offset = reader.bigEndian(2);
    std::uint8_t type = reader.byte();
    std::uint8_t data[255];
    std::uint32_t value = 0;
    // Address and start records hold a fixed number of bytes; any other count would make
    // the checksum land elsewhere than the count says.
    auto expectCount = [count](std::uint8_t expected) {
        if (count != expected)
            throw HException("invalid record length");
    };
    switch (type) {
    case Data:
        reader.bytes(data, count);
        break;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        expectCount(2);
        value = reader.bigEndian(2);
        break;
    case StartSegmentAddress:
    case StartLinearAddress:
        expectCount(4);
        value = reader.bigEndian(4);
        break;
    case EndOfFile:
        break;
    default:
        // Read through, so that a sound record of an unknown type is named as such.
        reader.bytes(data, count);
        break;
    }
    std::uint8_t checksum = reader.unsummedByte();
    if (checksum != std::uint8_t(0 - reader.sum()))
        throw HException("invalid checksum");
    if (type > StartLinearAddress) {
        char name[8];
        std::snprintf(name, sizeof name, "%02X", type);
        throw HException(std::string("unknown record type ") + name);
    }

    switch (type) {
    case Data:
        appendBytes(((m_upperAddress << 16) | offset) + (m_segment << 4), data, count);
        break;
    case EndOfFile:
        return false;
    case ExtendedSegmentAddress:
        m_segment = value;
        break;
    case ExtendedLinearAddress:
        m_upperAddress = value;
        break;
    case StartSegmentAddress:
    case StartLinearAddress:
        setEntryPoint(value);
        break;
    default:
        break;
    }
    return true;
}

void IntelHexLoadFile::endOfFile() {
    throw HException("invalid end of file in hex file");
}
