#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A byte stream of an archive: the plain file, or the decompressed or compressed data on it.
class PackageArchiveIOFileInterface {
public:
    virtual ~PackageArchiveIOFileInterface();

    // The number of bytes read; fewer than asked only at the end of the data.
    virtual std::size_t read(void *buffer, std::size_t count) = 0;
    // The number of bytes written; fewer than asked means the data is lost.
    virtual std::size_t write(const void *buffer, std::size_t count) = 0;
    // Moves to an absolute position; false when the stream cannot get there.
    virtual bool seek(std::uint64_t position) = 0;
};

// The archive file itself, over an open C stream that it owns.
class PackageArchiveIOFile : public PackageArchiveIOFileInterface {
public:
    explicit PackageArchiveIOFile(std::FILE *file);
    ~PackageArchiveIOFile() override;
    PackageArchiveIOFile(const PackageArchiveIOFile &) = delete;
    PackageArchiveIOFile &operator=(const PackageArchiveIOFile &) = delete;

    std::size_t read(void *buffer, std::size_t count) override;
    std::size_t write(const void *buffer, std::size_t count) override;
    bool seek(std::uint64_t position) override;

    // Positions count from the origin, so an archive inside a larger file sees its own
    // offsets.
    std::uint64_t position() const;
    void setOrigin(std::uint64_t absolutePosition) { m_origin = absolutePosition; }
    std::uint64_t origin() const { return m_origin; }

    bool hasError() const;
    // Flushes and closes the stream; false when buffered data could not be written.
    bool close();

    // The codecs that read and write a C stream themselves need it.
    std::FILE *handle() const { return m_file; }

private:
    std::FILE *m_file;
    std::uint64_t m_origin = 0;
};
