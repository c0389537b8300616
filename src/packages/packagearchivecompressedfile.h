#pragma once

#include "packages/packagearchiveiofile.h"

#include <cstdint>
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
    // Throws the error already met when reading `count` bytes at `position` would reach it,
    // so that a doomed read costs no decompression.
    void failIfDamaged(std::uint64_t position, std::uint64_t count) const;

protected:
    virtual void openCodec() = 0;
    virtual void closeCodec() = 0;
    // Decompresses up to `count` bytes; 0 once the stream has ended (or the file has).
    // Damaged data throws.
    virtual std::size_t moveChunk(char *buffer, std::size_t count) = 0;
    // The next compressed bytes from the file; 0 at its end. A failing file throws.
    std::size_t readCompressed(void *buffer, std::size_t count);

    PackageArchiveIOFile &m_file;

private:
    // Starts decompressing from the beginning again and moves forward to `position`.
    bool restart(std::uint64_t position);
    bool skipTo(std::uint64_t position);

    std::uint64_t m_start;
    std::uint64_t m_position = 0;
    // The codec failed and must start again before it can be read.
    bool m_broken = false;
    // The first error met and where: data before it can still be read.
    std::string m_failure;
    std::uint64_t m_failedAt = 0;
    // Where the data ends, once that is known: seeking beyond needs no decompression.
    std::uint64_t m_end = UINT64_MAX;
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
    // Writes compressed bytes to the file; a failing file throws.
    void writeCompressed(const void *data, std::size_t count);

    static constexpr std::size_t kMaxChunk = 1 << 20;

    PackageArchiveIOFile &m_file;

private:
    std::uint64_t m_position = 0;
    bool m_finished = false;
};
