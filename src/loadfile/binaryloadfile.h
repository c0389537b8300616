#pragma once

#include "loadfile/loadfile.h"

#include <string>
#include <vector>

// A raw binary image: the whole file is one section named "data" at the base address.
class BinaryLoadFile : public StandardLoadFile {
public:
    explicit BinaryLoadFile(const std::string &path);

    bool hasLoadAddresses() const override { return false; }
    // Moving the image rebuilds its section on the next use of sections().
    void setBaseAddress(std::uint32_t address) override;
    std::uint32_t baseAddress() const { return m_baseAddress; }
    std::uint32_t fileSize() const { return m_fileSize; }
    // Fails when the image would reach past 4 GiB from its base address.
    bool readSections() override;

private:
    std::vector<std::uint8_t> m_contents;
    std::uint32_t m_fileSize = 0;
    std::uint32_t m_baseAddress = 0;
};
