#pragma once

#include "packages/packagearchivecompressedfile.h"

#include <memory>

// Reads a bzip2 stream, in libbz2's normal (not small) memory mode.
class PackageArchiveCompressedBzInputFile : public PackageArchiveCompressedInputFile {
public:
    explicit PackageArchiveCompressedBzInputFile(PackageArchiveIOFile &file);
    ~PackageArchiveCompressedBzInputFile() override;

protected:
    void openCodec() override;
    void closeCodec() override;
    std::size_t moveChunk(char *buffer, std::size_t count) override;

private:
    struct Stream; // libbz2's stream type cannot be forward-declared
    std::unique_ptr<Stream> m_stream;
    std::unique_ptr<char[]> m_input;
    bool m_ended = false;
};

// Writes a bzip2 stream whose block size (in units of 100 kB) is the compression level.
class PackageArchiveCompressedBzOutputFile : public PackageArchiveCompressedOutputFile {
public:
    PackageArchiveCompressedBzOutputFile(PackageArchiveIOFile &file, int level);
    ~PackageArchiveCompressedBzOutputFile() override;

protected:
    void openCodec() override;
    void closeCodec(bool finish) override;
    void moveChunk(const char *data, std::size_t count) override;

private:
    void compressInto(int action);

    struct Stream;
    int m_blockSize;
    std::unique_ptr<Stream> m_stream;
    std::unique_ptr<char[]> m_output;
};
