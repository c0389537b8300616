#pragma once

#include "packages/packagearchiveiofile.h"

#include <string>

// The decompressed data of an archive, read from the file as it goes. Seeking forward
// decompresses and discards; seeking backwards starts the decompression again, because
// neither codec can go back.
class PackageArchiveCompressedInputFile : public PackageArchiveIOFileInterface {
public:
    // The compressed data starts at the file's current position.
    explicit PackageArchiveCompressedInputFile(PackageArchiveIOFile &file);

    std::size_t read(void *buffer, std::size_t count) override;
    std::size_t write(const void *buffer, std::size_t count) override;
    bool seek(std::uint64_t position) override;

    std::uint64_t position() const { return m_position; }
    std::uint64_t compressedStart() const { return m_start; }

protected:
    virtual void openCodec() = 0;
    virtual void closeCodec() = 0;
    // Decompresses up to `count` bytes; 0 once the stream has ended (or the file has).
    // Damaged data throws.
    virtual std::size_t moveChunk(char *buffer, std::size_t count) = 0;

    PackageArchiveIOFile &m_file;

private:
    std::uint64_t m_start;
    std::uint64_t m_position = 0;
    // After a codec error the position is unknown: reads repeat the error until a seek
    // starts again from the beginning.
    std::string m_failure;
};

// Data compressed on its way into the file. `finish` must be called to complete the stream;
// without it the destructor abandons the stream.
class PackageArchiveCompressedOutputFile : public PackageArchiveIOFileInterface {
public:
    explicit PackageArchiveCompressedOutputFile(PackageArchiveIOFile &file);

    std::size_t read(void *buffer, std::size_t count) override;
    std::size_t write(const void *buffer, std::size_t count) override;
    // Only the current position can be reached: the written data is already compressed.
    bool seek(std::uint64_t position) override;

    void finish();
    std::uint64_t position() const { return m_position; }

protected:
    virtual void openCodec() = 0;
    // Completes the stream when `finish` is set, otherwise drops it.
    virtual void closeCodec(bool finish) = 0;
    // Compresses one chunk of at most kMaxChunk bytes.
    virtual void moveChunk(const char *data, std::size_t count) = 0;

    static constexpr std::size_t kMaxChunk = 1 << 20;

    PackageArchiveIOFile &m_file;

private:
    std::uint64_t m_position = 0;
    bool m_finished = false;
};
