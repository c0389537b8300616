#pragma once

#include "loadfile/textloadfile.h"

// A plain hex listing: each line an eight-digit address and blank-separated bytes.
class HexLoadFile : public TextLoadFile {
public:
    explicit HexLoadFile(const std::string &path);

private:
    bool parseLine(const LoadFileLine &line) override;
};
