#pragma once

#include "loadfile/textloadfile.h"

// A Motorola S-record file. No termination record is needed; S5 counts are checked.
class SRecordLoadFile : public TextLoadFile {
public:
    explicit SRecordLoadFile(const std::string &path);

private:
    bool parseLine(const LoadFileLine &line) override;

    std::uint16_t m_dataRecords = 0;    // wraps like the 16-bit S5 count it is checked against
    std::uint32_t m_allDataRecords = 0; // for the 24-bit count of an S6 record
};
