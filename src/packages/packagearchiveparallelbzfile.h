#pragma once

#include "packages/packagearchivecompressedfile.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class PackageArchiveCompressionPool;

// Writes the bzip2 stream PackageArchiveCompressedBzOutputFile writes, byte for byte, with
// the blocks compressed on several threads. The input is cut where one compressor would end
// its blocks (its run-length stage decides that); each piece is compressed as a stream of its
// own, whose one block is spliced bit by bit into the single stream written, and the block
// checksums are combined into the stream's.
class PackageArchiveParallelBzOutputFile : public PackageArchiveCompressedOutputFile {
public:
    PackageArchiveParallelBzOutputFile(PackageArchiveIOFile &file, int level, std::size_t threads);
    ~PackageArchiveParallelBzOutputFile() override;

protected:
    void openCodec() override;
    void closeCodec(bool finish) override;
    void moveChunk(const char *data, std::size_t count) override;

private:
    struct Job;
    // Hands the first `size` bytes gathered to a worker.
    void submit(std::size_t size);
    void writeOldest();
    // Appends the first `bits` bits of `data` to the output.
    void putBits(const unsigned char *data, std::uint64_t bits);
    void flushWholeBytes();

    int m_blockSize;
    std::size_t m_threads;
    std::unique_ptr<PackageArchiveCompressionPool> m_pool;
    std::deque<std::unique_ptr<Job>> m_jobs;

    // The block being gathered, as the compressor's run-length stage sees it: the length it
    // has reached, and the run not yet added to it (which moves on to the next block when
    // this one fills up).
    std::string m_block;
    std::size_t m_encoded = 0;
    std::size_t m_runStart = 0;
    int m_runByte = -1;
    int m_runLength = 0;

    // Spliced output not yet written: whole bytes, and `m_bitCount` bits of the last.
    std::string m_output;
    unsigned m_bitCount = 0;
    std::uint32_t m_combinedCrc = 0;
};
