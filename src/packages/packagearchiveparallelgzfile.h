#pragma once

#include "packages/packagearchivecompressedfile.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class PackageArchiveCompressionPool;
struct z_stream_s;

// Writes the same zlib-format stream as PackageArchiveCompressedGzOutputFile reads, with the
// blocks compressed on several threads: each block is deflated on its own, primed with the
// 32 KiB before it so that matches reach back as far as in one stream, and ended with a full
// flush so that the pieces join on byte boundaries. The checksums of the blocks are combined
// into the one the stream ends with.
class PackageArchiveParallelGzOutputFile : public PackageArchiveCompressedOutputFile {
public:
    PackageArchiveParallelGzOutputFile(PackageArchiveIOFile &file, int level, std::size_t threads);
    ~PackageArchiveParallelGzOutputFile() override;

    // The input of one block; the last may be shorter.
    static constexpr std::size_t kBlockSize = 1 << 17;

protected:
    void openCodec() override;
    void closeCodec(bool finish) override;
    void moveChunk(const char *data, std::size_t count) override;

private:
    struct Job;
    void submit(bool last);
    void writeOldest();
    z_stream_s &streamOf(std::size_t worker);

    int m_level;
    std::size_t m_threads;
    // One deflate state per worker, made on first use by that worker.
    std::vector<std::unique_ptr<z_stream_s>> m_streams;
    std::unique_ptr<PackageArchiveCompressionPool> m_pool;
    std::deque<std::unique_ptr<Job>> m_jobs;
    std::shared_ptr<std::string> m_block;    // input gathered for the next job
    std::shared_ptr<std::string> m_previous; // the last block handed out: the next dictionary
    std::uint32_t m_adler = 1;
    bool m_headerWritten = false;
};
