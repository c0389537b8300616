#include "loadfile/binaryloadfile.h"

#include "core/hexception.h"
#include "loadfile/loadfileinput.h"

BinaryLoadFile::BinaryLoadFile(const std::string &path) {
    m_contents = LoadFileInput(path).readAll();
    m_fileSize = std::uint32_t(m_contents.size());
}

void BinaryLoadFile::setBaseAddress(std::uint32_t address) {
    if (address == m_baseAddress)
        return;
    m_baseAddress = address;
    clearSections();
}

bool BinaryLoadFile::readSections() {
    if (std::uint64_t(m_baseAddress) + m_fileSize > (std::uint64_t(1) << 32))
        return false;
    m_sections.sections().append(std::make_unique<StandardLoadFileSection>(
        "data", m_baseAddress, m_fileSize, m_contents.data()));
    return true;
}
