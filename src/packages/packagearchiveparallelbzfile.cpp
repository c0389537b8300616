#include "packages/packagearchiveparallelbzfile.h"

#include "core/hexception.h"
#include "packages/packagearchivecompressionpool.h"

#include <algorithm>
#include <bzlib.h>
#include <cstring>
#include <future>

namespace {
constexpr int kVerbosity = 0;
constexpr int kWorkFactor = 30;
constexpr std::size_t kJobsPerThread = 2;
// libbz2 ends a block once its run-length coded data reaches this much of the block size
// (it keeps room for the longest run it may add at once).
constexpr std::size_t kBlockSlack = 19;
constexpr std::size_t kLongestRun = 255;
constexpr std::size_t kHeaderBits = 32;               // "BZh" and the level
constexpr std::size_t kBlockMagicBits = 48;           // before each block
constexpr std::uint64_t kBlockMagic = 0x314159265359; // pi
constexpr std::uint64_t kEndMagic = 0x177245385090;   // sqrt(pi)
constexpr std::size_t kEndBits = 80;                  // the magic and the CRC
constexpr std::size_t kEmptyStreamSize = (kHeaderBits + kEndBits) / 8;

// The run-length stage stores a run of up to three bytes as they are, a longer one as four
// bytes and a count.
std::size_t codedRunLength(int length) {
    return length < 4 ? std::size_t(length) : 5;
}

std::uint64_t readBits(const unsigned char *data, std::uint64_t at, unsigned count) {
    std::uint64_t value = 0;
    for (unsigned i = 0; i < count; ++i, ++at)
        value = value << 1 | ((data[at / 8] >> (7 - at % 8)) & 1);
    return value;
}

struct Compressor {
    bz_stream stream = {};
    explicit Compressor(int blockSize) {
        if (BZ2_bzCompressInit(&stream, blockSize, kVerbosity, kWorkFactor) != BZ_OK)
            throw HException("cannot initialise deflate");
    }
    ~Compressor() { BZ2_bzCompressEnd(&stream); }
    Compressor(const Compressor &) = delete;
    Compressor &operator=(const Compressor &) = delete;
};
} // namespace

struct PackageArchiveParallelBzOutputFile::Job {
    std::string input;
    // The input compressed as a stream of its own, holding one block (none if the input is
    // empty) from bit 32 on.
    std::string output;
    std::uint64_t blockBits = 0;
    std::uint32_t crc = 0;
    std::future<void> done;

    void compress(int blockSize);
};

void PackageArchiveParallelBzOutputFile::Job::compress(int blockSize) {
    Compressor compressor(blockSize);
    bz_stream &bz = compressor.stream;
    // libbz2 never writes through its input pointer.
    bz.next_in = const_cast<char *>(input.data());
    bz.avail_in = unsigned(input.size());
    // The size libbz2 promises its output fits in.
    output.resize(input.size() + input.size() / 100 + 600);
    std::size_t used = 0;
    for (;;) {
        if (used == output.size())
            output.resize(output.size() * 2);
        bz.next_out = output.data() + used;
        bz.avail_out = unsigned(output.size() - used);
        const int status = BZ2_bzCompress(&bz, BZ_FINISH);
        used = output.size() - bz.avail_out;
        if (status == BZ_STREAM_END)
            break;
        if (status != BZ_FINISH_OK)
            throw HException("error compressing stream");
    }
    output.resize(used);

    // The block runs from after the stream header to the end marker, which is followed only
    // by the padding to a whole byte. The marker cannot match itself shifted, so exactly
    // one padding fits; its checksum must be the block's, as the stream holds one block.
    const auto *bytes = reinterpret_cast<const unsigned char *>(output.data());
    if (used < kEmptyStreamSize || std::memcmp(bytes, "BZh", 3) != 0)
        throw HException("error compressing stream");
    if (input.empty())
        return;
    if (used < kEmptyStreamSize + (kBlockMagicBits + 32) / 8 ||
        readBits(bytes, kHeaderBits, kBlockMagicBits) != kBlockMagic)
        throw HException("error compressing stream");
    crc = std::uint32_t(readBits(bytes, kHeaderBits + kBlockMagicBits, 32));
    const std::uint64_t total = std::uint64_t(used) * 8;
    for (unsigned padding = 0; padding < 8; ++padding) {
        const std::uint64_t end = total - padding - kEndBits;
        if (readBits(bytes, end, 48) == kEndMagic && readBits(bytes, end + 48, 32) == crc) {
            blockBits = end - kHeaderBits;
            return;
        }
    }
    throw HException("error compressing stream");
}

PackageArchiveParallelBzOutputFile::PackageArchiveParallelBzOutputFile(PackageArchiveIOFile &file,
                                                                       int level,
                                                                       std::size_t threads)
    // libbz2 has no block size 0: level 0 asks for the least effort, which is 1.
    : PackageArchiveCompressedOutputFile(file), m_blockSize(std::clamp(level, 1, 9)),
      m_threads(std::max<std::size_t>(threads, 1)) {
    openCodec();
}

PackageArchiveParallelBzOutputFile::~PackageArchiveParallelBzOutputFile() {
    closeCodec(false);
}

void PackageArchiveParallelBzOutputFile::openCodec() {
    m_pool = std::make_unique<PackageArchiveCompressionPool>(m_threads);
    m_output = "BZh" + std::to_string(m_blockSize);
    m_bitCount = 0;
    m_combinedCrc = 0;
}

void PackageArchiveParallelBzOutputFile::closeCodec(bool finish) {
    if (!m_pool)
        return;
    if (finish) {
        try {
            // A block that filled up with the last byte is ended before the run still
            // pending, which starts a block of its own, as in one compressor.
            if (m_encoded >= std::size_t(m_blockSize) * 100000 - kBlockSlack) {
                submit(m_runStart);
                m_runStart = 0;
                m_encoded = 0;
            }
            if (!m_block.empty())
                submit(m_block.size());
            while (!m_jobs.empty())
                writeOldest();
            unsigned char end[10];
            for (int i = 0; i < 6; ++i)
                end[i] = static_cast<unsigned char>(kEndMagic >> (40 - 8 * i));
            for (int i = 0; i < 4; ++i)
                end[6 + i] = static_cast<unsigned char>(m_combinedCrc >> (24 - 8 * i));
            putBits(end, kEndBits);
            // The padding bits of the last byte are already zero.
            writeCompressed(m_output.data(), m_output.size());
            m_output.clear();
        } catch (...) {
            closeCodec(false);
            throw;
        }
    }
    m_pool.reset();
    m_jobs.clear();
}

void PackageArchiveParallelBzOutputFile::moveChunk(const char *data, std::size_t count) {
    if (!m_pool)
        throw HException("error compressing stream");
    const std::size_t limit = std::size_t(m_blockSize) * 100000 - kBlockSlack;
    std::size_t at = m_block.size();
    m_block.append(data, count);
    // The run-length stage of libbz2, counting only: a block is full when its coded length
    // has reached the limit before the next byte is taken.
    std::size_t encoded = m_encoded, runStart = m_runStart;
    int runByte = m_runByte, runLength = m_runLength;
    const auto *bytes = reinterpret_cast<const unsigned char *>(m_block.data());
    for (; at < m_block.size(); ++at) {
        if (encoded >= limit) {
            submit(runStart);
            at -= runStart;
            runStart = 0;
            encoded = 0;
            bytes = reinterpret_cast<const unsigned char *>(m_block.data());
        }
        const int byte = bytes[at];
        if (byte != runByte || runLength == int(kLongestRun)) {
            if (runByte >= 0)
                encoded += codedRunLength(runLength);
            runByte = byte;
            runLength = 1;
            runStart = at;
        } else {
            ++runLength;
        }
    }
    m_encoded = encoded;
    m_runStart = runStart;
    m_runByte = runByte;
    m_runLength = runLength;
}

void PackageArchiveParallelBzOutputFile::submit(std::size_t size) {
    auto job = std::make_unique<Job>();
    job->input.assign(m_block, 0, size);
    m_block.erase(0, size);
    Job *raw = job.get();
    const int blockSize = m_blockSize;
    job->done = m_pool->submit([raw, blockSize](std::size_t) { raw->compress(blockSize); });
    m_jobs.push_back(std::move(job));
    // Bounded work in flight keeps the memory bounded and the output flowing.
    while (m_jobs.size() > kJobsPerThread * m_threads)
        writeOldest();
}

void PackageArchiveParallelBzOutputFile::writeOldest() {
    std::unique_ptr<Job> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    job->done.get();
    if (job->blockBits == 0)
        return;
    putBits(reinterpret_cast<const unsigned char *>(job->output.data()) + kHeaderBits / 8,
            job->blockBits);
    m_combinedCrc = (m_combinedCrc << 1 | m_combinedCrc >> 31) ^ job->crc;
    flushWholeBytes();
}

void PackageArchiveParallelBzOutputFile::putBits(const unsigned char *data, std::uint64_t bits) {
    const std::size_t whole = std::size_t(bits / 8);
    const unsigned rest = unsigned(bits % 8);
    const unsigned shift = m_bitCount;
    const std::size_t start = m_output.size();
    if (shift == 0) {
        m_output.append(reinterpret_cast<const char *>(data), whole);
    } else {
        m_output.resize(start + whole);
        auto *out = reinterpret_cast<unsigned char *>(m_output.data()) + start - 1;
        for (std::size_t i = 0; i < whole; ++i, ++out) {
            out[0] |= static_cast<unsigned char>(data[i] >> shift);
            out[1] = static_cast<unsigned char>(data[i] << (8 - shift));
        }
    }
    if (rest == 0)
        return;
    const auto top = static_cast<unsigned char>(data[whole] & (0xFF00u >> rest));
    if (shift == 0) {
        m_output.push_back(static_cast<char>(top));
    } else {
        m_output.back() = static_cast<char>(m_output.back() | top >> shift);
        if (shift + rest > 8)
            m_output.push_back(static_cast<char>(top << (8 - shift)));
    }
    m_bitCount = (shift + rest) % 8;
}

void PackageArchiveParallelBzOutputFile::flushWholeBytes() {
    const std::size_t whole = m_output.size() - (m_bitCount ? 1 : 0);
    writeCompressed(m_output.data(), whole);
    m_output.erase(0, whole);
}
