#pragma once

#include "loadfile/textloadfile.h"

// A TI-TXT file: "@address" lines, lines of blank-separated bytes, and "q" at the end.
class TIHexLoadFile : public TextLoadFile {
public:
    explicit TIHexLoadFile(const std::string &path);

private:
    bool parseLine(const LoadFileLine &line) override;
    void endOfFile() override;

    std::uint32_t m_address = 0;
};
