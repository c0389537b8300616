#pragma once

#include "loadfile/codebuffer.h"

#include <array>
#include <unordered_map>

// Writes the raw bytes from the lowest to the highest address written, every gap filled
// with one byte (0xFF, erased flash, unless given). Bytes are kept in 4 KiB pages.
class BinaryBuffer : public CodeBuffer {
public:
    static constexpr std::uint8_t kDefaultFill = 0xff;

    explicit BinaryBuffer(const std::string &path, std::uint8_t fill = kDefaultFill);

    void setAddress(std::uint32_t address) override { m_currentAddress = address; }
    void putByte(std::uint8_t byte) override;
    void putBytes(const std::uint8_t *bytes, std::size_t count) override;
    void finish(std::uint32_t entryAddress) override;

private:
    static constexpr std::uint32_t kPageSize = 4096;
    using Page = std::array<std::uint8_t, kPageSize>;

    Page &page(std::uint32_t index);
    void markWritten(std::uint32_t first, std::uint32_t last);

    CodeBufferOutput m_output;
    std::unordered_map<std::uint32_t, std::unique_ptr<Page>> m_pages;
    Page *m_lastPage = nullptr; // the page used last, which the next byte most likely needs
    std::uint32_t m_lastPageIndex = 0;
    std::uint8_t m_fill;
    std::uint32_t m_currentAddress = 0;
    std::uint32_t m_lowest = 0;
    std::uint32_t m_highest = 0;
    bool m_written = false;
};
