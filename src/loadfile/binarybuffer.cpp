#include "loadfile/binarybuffer.h"

#include "core/hexception.h"

#include <algorithm>
#include <cstring>
#include <string>

BinaryBuffer::BinaryBuffer(const std::string &path, std::uint8_t fill)
    : m_output(path), m_fill(fill) {}

BinaryBuffer::Page &BinaryBuffer::page(std::uint32_t index) {
    if (m_lastPage && m_lastPageIndex == index)
        return *m_lastPage;
    std::unique_ptr<Page> &slot = m_pages[index];
    if (!slot) {
        slot = std::make_unique<Page>();
        slot->fill(m_fill);
    }
    m_lastPage = slot.get();
    m_lastPageIndex = index;
    return *slot;
}

void BinaryBuffer::markWritten(std::uint32_t first, std::uint32_t last) {
    if (!m_written) {
        m_lowest = first;
        m_highest = last;
        m_written = true;
        return;
    }
    m_lowest = std::min(m_lowest, first);
    m_highest = std::max(m_highest, last);
}

void BinaryBuffer::putByte(std::uint8_t byte) {
    page(m_currentAddress / kPageSize)[m_currentAddress % kPageSize] = byte;
    markWritten(m_currentAddress, m_currentAddress);
    ++m_currentAddress;
}

void BinaryBuffer::putBytes(const std::uint8_t *bytes, std::size_t count) {
    while (count > 0) {
        std::uint32_t offset = m_currentAddress % kPageSize;
        std::uint32_t take = std::uint32_t(std::min<std::size_t>(kPageSize - offset, count));
        std::memcpy(page(m_currentAddress / kPageSize).data() + offset, bytes, take);
        markWritten(m_currentAddress, m_currentAddress + (take - 1));
        m_currentAddress += take;
        bytes += take;
        count -= take;
    }
}

void BinaryBuffer::finish(std::uint32_t) {
    Page gap;
    gap.fill(m_fill);
    if (m_written) {
        // The same limit as for merging an image: refuse before writing anything.
        std::uint64_t size = std::uint64_t(m_highest) - m_lowest + 1;
        if (size > kMaxContiguousImageSize)
            throw HException("contiguous image too large (" + std::to_string(size) + " bytes)");
        std::uint64_t address = m_lowest;
        while (address <= m_highest) {
            std::uint32_t index = std::uint32_t(address / kPageSize);
            std::uint64_t pageEnd =
                std::min<std::uint64_t>(m_highest, (std::uint64_t(index) + 1) * kPageSize - 1);
            auto found = m_pages.find(index);
            const Page &source = found == m_pages.end() ? gap : *found->second;
            m_output.write(reinterpret_cast<const char *>(source.data()) + address % kPageSize,
                           std::size_t(pageEnd - address + 1));
            address = pageEnd + 1;
        }
    }
    m_output.commit();
}
