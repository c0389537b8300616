#include "loadfile/codebuffer.h"

#include "loadfile/binarybuffer.h"
#include "loadfile/hexbuffer.h"
#include "loadfile/intelhexbuffer.h"
#include "loadfile/srecordbuffer.h"
#include "loadfile/tihexbuffer.h"

#include <algorithm>
#include <cstring>

void CodeBuffer::putBytes(const std::uint8_t *bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        putByte(bytes[i]);
}

RecordCodeBuffer::RecordCodeBuffer(const std::string &path, bool breakAt64K)
    : m_output(path), m_breakAt64K(breakAt64K) {}

void RecordCodeBuffer::setAddress(std::uint32_t address) {
    if (address == m_currentAddress)
        return;
    flush();
    m_currentAddress = address;
    m_recordStart = address;
}

unsigned RecordCodeBuffer::room() const {
    unsigned room = kRecordSize - (m_currentAddress - m_recordStart);
    if (m_breakAt64K)
        room = std::min(room, 0x10000 - (m_currentAddress & 0xffff));
    return room;
}

void RecordCodeBuffer::putByte(std::uint8_t byte) {
    unsigned room = this->room();
    m_record[m_currentAddress - m_recordStart] = byte;
    ++m_currentAddress;
    if (room == 1)
        flush();
}

void RecordCodeBuffer::putBytes(const std::uint8_t *bytes, std::size_t count) {
    while (count > 0) {
        unsigned room = this->room();
        unsigned take = unsigned(std::min<std::size_t>(room, count));
        if (take == room && m_currentAddress == m_recordStart) {
            // A whole record in the caller's bytes: formatted from there, not collected.
            writeRecord(m_recordStart, bytes, take);
            m_currentAddress += take;
            m_recordStart = m_currentAddress;
        } else {
            std::memcpy(m_record.data() + (m_currentAddress - m_recordStart), bytes, take);
            m_currentAddress += take;
            if (take == room)
                flush();
        }
        bytes += take;
        count -= take;
    }
}

void RecordCodeBuffer::flush() {
    unsigned count = m_currentAddress - m_recordStart;
    if (count > 0)
        writeRecord(m_recordStart, m_record.data(), count);
    m_recordStart = m_currentAddress;
}

std::unique_ptr<CodeBuffer> createWriter(std::string_view format, const std::string &path) {
    if (format == "hex")
        return std::make_unique<IntelHexBuffer>(path);
    if (format == "lst")
        return std::make_unique<HexBuffer>(path);
    if (format == "srec")
        return std::make_unique<SRecordBuffer>(path);
    if (format == "bin")
        return std::make_unique<BinaryBuffer>(path);
    if (format == "txt")
        return std::make_unique<TIHexBuffer>(path);
    return nullptr;
}
