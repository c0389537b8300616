#include "loadfile/loadfile.h"

#include "core/hexception.h"
#include "loadfile/codebuffer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

LoadFileSectionList &LoadFileInterface::sections() {
    if (!m_sectionsRead && m_sectionsReadable) {
        if (!readSections())
            throw HException("cannot read sections from load file");
        m_sectionsRead = true;
    }
    return m_sections.sections();
}

LoadFileSectionInterface *LoadFileInterface::findSection(std::uint32_t address,
                                                         std::uint32_t length) {
    std::uint64_t end = std::uint64_t(address) + length;
    if (length == 0 || end > (std::uint64_t(1) << 32))
        return nullptr;
    for (const LoadFileSectionList::Item &section : sections()) {
        if (section->address() <= address && section->end() >= end)
            return section.get();
    }
    return nullptr;
}

void StandardLoadFile::setEntryPoint(std::uint32_t address) {
    m_entryPoint = address;
    m_hasEntryPoint = true;
}

void StandardLoadFile::makeContiguous(std::uint8_t fill) {
    LoadFileSectionList &list = sections();
    if (list.empty())
        return;
    std::uint64_t lowest = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t highest = 0;
    for (const LoadFileSectionList::Item &section : list) {
        lowest = std::min<std::uint64_t>(lowest, section->address());
        highest = std::max(highest, section->end());
    }
    if (highest == 0)
        return;
    std::uint64_t size = highest - lowest;
    if (size > kMaxContiguousImageSize)
        throw HException("contiguous image too large (" + std::to_string(size) + " bytes)");
    std::unique_ptr<std::uint8_t[]> merged(new (std::nothrow) std::uint8_t[size]);
    if (!merged)
        throw HException("cannot allocate contiguous image (" + std::to_string(size) + " bytes)");
    std::memset(merged.get(), fill, size);
    for (const LoadFileSectionList::Item &section : list) {
        if (section->length())
            std::memcpy(merged.get() + (section->address() - lowest), section->data(false),
                        section->length());
    }
    list.clear();
    list.append(std::make_unique<StandardLoadFileSection>(
        "Contiguous section", std::uint32_t(lowest), std::uint32_t(size), merged.get()));
    m_contiguousData = std::move(merged);
}

void StandardLoadFile::sortSections() {
    sections().sortByAddress();
}

void StandardLoadFile::clearSections() {
    m_sections.sections().clear();
    m_contiguousData.reset();
    m_sectionsRead = false;
}
