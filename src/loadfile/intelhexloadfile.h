#pragma once

#include "loadfile/textloadfile.h"

// An Intel HEX file: data, segment and linear address records, start addresses, checksums.
class IntelHexLoadFile : public TextLoadFile {
public:
    explicit IntelHexLoadFile(const std::string &path);

private:
    bool parseLine(const LoadFileLine &line) override;
    void endOfFile() override;

    std::uint32_t m_segment = 0;      // extended segment address, in paragraphs
    std::uint32_t m_upperAddress = 0; // extended linear address, the upper 16 bits
};
