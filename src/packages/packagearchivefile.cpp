#include "packages/packagearchivefile.h"

#include "packages/packagearchivefilerecord.h"

namespace {
const std::string g_noString;
}

PackageArchiveFile::Source PackageArchiveFile::source() const {
    return m_record ? m_record->source : Source::Memory;
}

const std::string &PackageArchiveFile::name() const {
    return m_record ? m_record->name : g_noString;
}

const std::string &PackageArchiveFile::sourcePath() const {
    return m_record ? m_record->sourcePath : g_noString;
}

std::uint32_t PackageArchiveFile::offset() const {
    return m_record ? m_record->offset : 0;
}

std::uint32_t PackageArchiveFile::size() const {
    return m_record ? m_record->size : 0;
}

std::uint32_t PackageArchiveFile::mode() const {
    return m_record ? m_record->mode : 0;
}

std::uint32_t PackageArchiveFile::modificationTime() const {
    return m_record ? m_record->modificationTime : 0;
}

bool PackageArchiveFile::isSelected() const {
    return m_record && m_record->selected;
}

void PackageArchiveFile::setSelected(bool selected) {
    if (m_record)
        m_record->selected = selected;
}

bool PackageArchiveFile::hasContents() const {
    return m_record && m_record->contents;
}

const std::string &PackageArchiveFile::contents() const {
    return hasContents() ? *m_record->contents : g_noString;
}
