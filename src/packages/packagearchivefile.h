#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A handle to one entry of a package archive. Copies share the entry, so a change made
// through one handle (selection, loaded contents) is seen through all of them. A
// default-constructed handle is null.
class PackageArchiveFile {
public:
    enum class Source {
        Archive, // read from an opened archive; contents are fetched from it on demand
        Disk,    // a file on disk, read when needed
        Memory,  // contents held in memory
    };

    PackageArchiveFile() = default;

    bool isNull() const { return !m_record; }
    explicit operator bool() const { return !isNull(); }
    bool operator==(const PackageArchiveFile &other) const { return m_record == other.m_record; }

    Source source() const;
    // The path inside the archive, with "/" separators.
    const std::string &name() const;
    // For a disk entry, the file it is read from.
    const std::string &sourcePath() const;
    // For an archive entry, where its contents start in the decompressed stream.
    std::uint32_t offset() const;
    std::uint32_t size() const;
    // File type and permission bits, as stat() gives them.
    std::uint32_t mode() const;
    // Seconds since 1970-01-01 00:00 UTC.
    std::uint32_t modificationTime() const;
    bool isSelected() const;
    void setSelected(bool selected);

    // Whether the contents are held in memory (given, or loaded once).
    bool hasContents() const;
    const std::string &contents() const;

private:
    friend class PackageArchive;
    struct Record;

    explicit PackageArchiveFile(std::shared_ptr<Record> record) : m_record(std::move(record)) {}

    std::shared_ptr<Record> m_record;
};
