#pragma once

#include "loadfile/loadfile.h"
#include "loadfile/loadfileinput.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ExpandingLoadFileSection;

// What the text formats share: a line loop that names the line of every error, and the
// appending rule that builds sections in file order.
class TextLoadFile : public StandardLoadFile {
public:
    // The whole file was parsed on construction.
    bool readSections() override { return true; }

protected:
    // Parses the file with parseLine; an error on a line is rethrown with " : line N" added.
    void load(const std::string &path, std::size_t maxLineLength);
    // Handles one line; false when the file ends here.
    virtual bool parseLine(const LoadFileLine &line) = 0;
    // Called when the file ends without parseLine having ended it; an error thrown here is
    // numbered with the line after the last.
    virtual void endOfFile() {}

    // Bytes at an address: they extend the current section when they follow it, otherwise
    // they start a new one. Bytes running past 4 GiB continue at address 0.
    void appendBytes(std::uint32_t address, const std::uint8_t *bytes, std::size_t count);

private:
    ExpandingLoadFileSection *m_current = nullptr;
};

// Reads the bytes of a record, two hexadecimal digits each, keeping their sum for the
// checksum. Reading past the end of the line is an error, never an overrun.
class RecordReader {
public:
    RecordReader(std::string_view text, std::size_t position)
        : m_text(text), m_position(position) {}

    // The next byte, added to the sum.
    std::uint8_t byte() {
        std::uint8_t value = next();
        m_sum += value;
        return value;
    }
    // The next byte, not added to the sum.
    std::uint8_t unsummedByte() { return next(); }
    // A big-endian value of `count` bytes, added to the sum.
    std::uint32_t bigEndian(unsigned count);
    // `count` bytes into `out`, added to the sum.
    void bytes(std::uint8_t *out, std::size_t count);

    std::uint8_t sum() const { return m_sum; }

private:
    std::uint8_t next();

    std::string_view m_text;
    std::size_t m_position;
    std::uint8_t m_sum = 0;
};

// The value of a hexadecimal digit, or 0xff for any other character.
std::uint8_t hexDigitValue(char c);

// The byte whose two hexadecimal digits start at `position` (for formats whose byte count
// follows from the line length).
std::uint8_t hexByteAt(std::string_view text, std::size_t position);
