#include "loadfile/srecordloadfile.h"

#include "core/hexception.h"

#include <cstring>
#include <string>

namespace {
constexpr std::size_t kMaxLineLength = 529;

// Address bytes of data records S1-S3 and start records S9-S7.
unsigned dataAddressLength(char type) {
    return unsigned(type - '1') + 2;
}
unsigned startAddressLength(char type) {
    return unsigned('9' - type) + 2;
}
} // namespace

SRecordLoadFile::SRecordLoadFile(const std::string &path) {
    load(path, kMaxLineLength);
}

bool SRecordLoadFile::parseLine(const LoadFileLine &line) {
    if (line.text.empty() || line.text[0] != 'S')
        throw HException("no leading 'S' character");
    if (line.text.size() < 2)
        throw HException("invalid record length");
    char type = line.text[1];
    RecordReader reader(line.text, 2);
    std::uint8_t count = reader.byte();
    // The count covers the address, the data and the checksum byte.
    auto expectAtLeast = [count](unsigned bytes) {
        if (count < bytes + 1)
            throw HException("invalid record length");
    };
    std::uint8_t data[255];
    switch (type) {
    case '0':
        expectAtLeast(0);
        reader.bytes(data, count - 1u);
        break;
    case '1':
    case '2':
    case '3': {
        unsigned addressLength = dataAddressLength(type);
        expectAtLeast(addressLength);
        std::uint32_t address = reader.bigEndian(addressLength);
        std::size_t length = count - addressLength - 1;
        reader.bytes(data, length);
        appendBytes(address, data, length);
        ++m_dataRecords;
        ++m_allDataRecords;
        break;
    }
    case '5':
        expectAtLeast(2);
        if (reader.bigEndian(2) != m_dataRecords)
            throw HException("incorrect data record count");
        break;
    case '6':
        // Files of more than 65535 data records end with this 24-bit count instead; a
        // record without room for one holds nothing that is read.
        if (count == 4 && line.text.size() >= 12 &&
            reader.bigEndian(3) != (m_allDataRecords & 0xffffff))
            throw HException("incorrect data record count");
        break;
    case '7':
    case '8':
    case '9': {
        unsigned addressLength = startAddressLength(type);
        expectAtLeast(addressLength);
        setEntryPoint(reader.bigEndian(addressLength));
        break;
    }
    default:
        // Read through, so that a sound record of an unknown type is named as such.
        expectAtLeast(0);
        reader.bytes(data, count - 1u);
        break;
    }
    std::uint8_t checksum = reader.unsummedByte();
    if (checksum != std::uint8_t(~reader.sum()))
        throw HException("invalid checksum");
    if (type == '4' || !std::strchr("0123456789", type))
        throw HException(std::string("unknown record type S") + type);
    return true;
}
