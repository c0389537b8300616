#include "loadfile/loadfilesection.h"

#include "core/hexception.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

StandardLoadFileSection::StandardLoadFileSection(std::string name, std::uint32_t address,
                                                 std::uint32_t length, const std::uint8_t *data)
    : m_name(std::move(name)), m_address(address), m_length(length), m_data(data) {
    m_totalDataSize += length;
}

const std::uint8_t *StandardLoadFileSection::data(bool useWorkingCopy) const {
    if (useWorkingCopy && m_workingCopy)
        return m_workingCopy.get();
    return m_data;
}

std::uint8_t *StandardLoadFileSection::workingCopy() {
    if (!m_workingCopy) {
        m_workingCopy = std::make_unique_for_overwrite<std::uint8_t[]>(m_length);
        if (m_length)
            std::memcpy(m_workingCopy.get(), m_data, m_length);
    }
    return m_workingCopy.get();
}

void StandardLoadFileSection::setData(const std::uint8_t *data, std::uint32_t length) {
    m_totalDataSize += length - m_length;
    m_data = data;
    m_length = length;
}

ExpandingLoadFileSection::ExpandingLoadFileSection(std::string name, std::uint32_t address)
    : StandardLoadFileSection(std::move(name), address, 0, nullptr) {}

ExpandingLoadFileSection::~ExpandingLoadFileSection() {
    std::free(m_buffer);
}

void ExpandingLoadFileSection::append(const std::uint8_t *bytes, std::size_t count) {
    if (count == 0)
        return;
    std::uint64_t length = std::uint64_t(this->length()) + count;
    if (address() + length > (std::uint64_t(1) << 32) ||
        length > std::numeric_limits<std::uint32_t>::max())
        throw HException("section reaches past 4 GiB");
    if (length > m_capacity) {
        // Doubling keeps appends cheap; realloc lets large buffers grow without a copy.
        std::size_t capacity = std::max<std::size_t>({length, m_capacity * 2, 256});
        capacity = std::min<std::size_t>(capacity, std::numeric_limits<std::uint32_t>::max());
        auto *grown = static_cast<std::uint8_t *>(std::realloc(m_buffer, capacity));
        if (!grown)
            throw HException("out of memory");
        m_buffer = grown;
        m_capacity = capacity;
    }
    std::memcpy(m_buffer + this->length(), bytes, count);
    // A working copy of the shorter section would no longer match.
    discardWorkingCopy();
    setData(m_buffer, std::uint32_t(length));
}

std::uint64_t LoadFileSectionList::totalLength() const {
    std::uint64_t total = 0;
    for (const Item &section : m_items)
        total += section->length();
    return total;
}

void LoadFileSectionList::sortByAddress() {
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const Item &a, const Item &b) { return LoadFileSectionLess()(*a, *b); });
}
