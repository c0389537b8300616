#pragma once

#include "core/hexception.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

// Bounded reads from one DWARF section: fixed-size integers in the file's byte order, LEB128
// numbers and strings. Every overrun throws HException with the reader's message.
class DwarfReader {
public:
    DwarfReader(std::span<const std::uint8_t> bytes, bool littleEndian, const char *failure)
        : m_bytes(bytes), m_little(littleEndian), m_failure(failure) {}

    [[noreturn]] void fail() const { throw HException(m_failure); }
    std::uint64_t position() const { return m_at; }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    std::uint64_t left() const { return m_bytes.size() - m_at; }
    void seek(std::uint64_t position) {
        if (position > m_bytes.size())
            fail();
        m_at = position;
    }
    void skip(std::uint64_t count) {
        if (count > left())
            fail();
        m_at += count;
    }
    std::uint64_t fixed(unsigned size) {
        if (size > left())
            fail();
        std::uint64_t value = 0;
        for (unsigned i = 0; i < size; ++i) {
            const unsigned index = m_little ? size - 1 - i : i;
            value = value << 8 | m_bytes[m_at + index];
        }
        m_at += size;
        return value;
    }
    std::uint64_t uleb() {
        std::uint64_t value = 0;
        for (unsigned shift = 0;; shift += 7) {
            const std::uint8_t byte = std::uint8_t(fixed(1));
            if (shift < 64)
                value |= std::uint64_t(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return value;
        }
    }
    std::int64_t sleb() {
        std::uint64_t value = 0;
        unsigned shift = 0;
        std::uint8_t byte;
        do {
            byte = std::uint8_t(fixed(1));
            if (shift < 64)
                value |= std::uint64_t(byte & 0x7f) << shift;
            shift += 7;
        } while (byte & 0x80);
        if (shift < 64 && (byte & 0x40))
            value |= ~std::uint64_t(0) << shift;
        return std::int64_t(value);
    }
    std::string string() {
        if (left() == 0)
            fail();
        const auto *first = m_bytes.data() + m_at;
        const auto *end = static_cast<const std::uint8_t *>(std::memchr(first, 0, left()));
        if (!end)
            fail();
        m_at += std::uint64_t(end - first) + 1;
        return std::string(first, end);
    }
    // Steps over one attribute value of a debugging information entry.
    void skipForm(std::uint64_t form, unsigned offsetSize, unsigned addressSize, unsigned version) {
        switch (form) {
        case 0x19: // flag present
            return;
        case 0x0b:
        case 0x0c:
        case 0x11:
        case 0x25:
        case 0x29: // data1 flag ref1 strx1 addrx1
            return skip(1);
        case 0x05:
        case 0x12:
        case 0x26:
        case 0x2a: // data2 ref2 strx2 addrx2
            return skip(2);
        case 0x27:
        case 0x2b: // strx3 addrx3
            return skip(3);
        case 0x06:
        case 0x13:
        case 0x1c:
        case 0x28:
        case 0x2c: // data4 ref4 ref_sup4 strx4 addrx4
            return skip(4);
        case 0x07:
        case 0x14:
        case 0x20:
        case 0x24: // data8 ref8 ref_sig8 ref_sup8
            return skip(8);
        case 0x1e: // data16
            return skip(16);
        case 0x01: // addr
            return skip(addressSize);
        case 0x10: // ref_addr
            return skip(version == 2 ? addressSize : offsetSize);
        case 0x0e:
        case 0x17:
        case 0x1d:
        case 0x1f: // strp sec_offset strp_sup line_strp
            return skip(offsetSize);
        case 0x08: // string
            string();
            return;
        case 0x0d: // sdata
            sleb();
            return;
        case 0x0f:
        case 0x15:
        case 0x1a:
        case 0x1b:
        case 0x22:
        case 0x23: // udata ref_udata strx addrx loclistx rnglistx
            uleb();
            return;
        case 0x0a: // block1
            return skip(fixed(1));
        case 0x03: // block2
            return skip(fixed(2));
        case 0x04: // block4
            return skip(fixed(4));
        case 0x09:
        case 0x18: // block exprloc
            return skip(uleb());
        default:
            fail();
        }
    }
    // A unit's initial length in its 32- or 64-bit form, within what is left of the section.
    struct UnitLength {
        std::uint64_t length;
        bool dwarf64;
    };
    UnitLength unitLength() {
        std::uint64_t length = fixed(4);
        const bool dwarf64 = length == 0xffffffff;
        if (dwarf64)
            length = fixed(8);
        else if (length >= 0xfffffff0)
            fail(); // reserved
        if (length > left())
            fail();
        return {length, dwarf64};
    }
    // The string at an offset of this section.
    std::string stringAt(std::uint64_t offset) {
        seek(offset);
        return string();
    }

private:
    std::span<const std::uint8_t> m_bytes;
    bool m_little;
    const char *m_failure;
    std::uint64_t m_at = 0;
};
