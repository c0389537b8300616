#pragma once

#include "packages/packagearchivecompressedfile.h"

#include <memory>

struct z_stream_s;

// Reads a zlib-format stream (zlib header and checksum).
class PackageArchiveCompressedGzInputFile : public PackageArchiveCompressedInputFile {
public:
    explicit PackageArchiveCompressedGzInputFile(PackageArchiveIOFile &file);
    ~PackageArchiveCompressedGzInputFile() override;

protected:
    void openCodec() override;
    void closeCodec() override;
    std::size_t moveChunk(char *buffer, std::size_t count) override;

private:
    std::unique_ptr<z_stream_s> m_stream;
    std::unique_ptr<unsigned char[]> m_input;
    bool m_ended = false;
};

// Writes a zlib-format stream at a level from 0 to 9.
class PackageArchiveCompressedGzOutputFile : public PackageArchiveCompressedOutputFile {
public:
    PackageArchiveCompressedGzOutputFile(PackageArchiveIOFile &file, int level);
    ~PackageArchiveCompressedGzOutputFile() override;

protected:
    void openCodec() override;
    void closeCodec(bool finish) override;
    void moveChunk(const char *data, std::size_t count) override;

private:
    void deflateInto(int flush);

    int m_level;
    std::unique_ptr<z_stream_s> m_stream;
    std::unique_ptr<unsigned char[]> m_output;
};
