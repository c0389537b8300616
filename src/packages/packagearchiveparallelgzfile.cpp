#include "packages/packagearchiveparallelgzfile.h"

#include "core/hexception.h"
#include "packages/packagearchivecompressionpool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <future>
#include <zlib.h>

namespace {
// What deflateInit uses, which the zlib header announces.
constexpr int kWindowBits = 15;
constexpr int kMemLevel = 8;
constexpr std::size_t kDictionarySize = std::size_t(1) << kWindowBits;
constexpr std::size_t kJobsPerThread = 2;

// The two header bytes deflateInit writes at `level`, with no preset dictionary: the reader
// is primed by the data before each block, not by a dictionary of its own.
void zlibHeader(int level, unsigned char header[2]) {
    const unsigned levelFlags = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
    unsigned word = (Z_DEFLATED + ((kWindowBits - 8) << 4)) << 8 | levelFlags << 6;
    word += 31 - word % 31;
    header[0] = static_cast<unsigned char>(word >> 8);
    header[1] = static_cast<unsigned char>(word);
}

std::uint32_t load32(const unsigned char *at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Whether deflate would only end up storing `input` (the `window` bytes before it included,
// as they are where its matches may start): its bytes are spread so evenly that Huffman codes
// gain under half a percent, and almost none of its four-byte strings recurs within reach.
// That is how already compressed data looks, where deflate's search for matches finds
// nothing at a cost far above this test's.
bool incompressible(const std::string &window, const std::string &input) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(input.data());
    const std::size_t size = input.size();
    std::array<std::uint32_t, 256> counts{};
    for (std::size_t i = 0; i < size; ++i)
        ++counts[bytes[i]];
    double bits = 0;
    for (std::uint32_t count : counts)
        if (count)
            bits += count * std::log2(double(size) / count);
    if (bits < 0.995 * 8 * double(size))
        return false;

    // Matches are looked for as a fast LZ coder does: the last place of each hashed
    // four-byte string, checked and followed on a hit.
    std::string data = window.substr(window.size() - std::min(window.size(), kDictionarySize));
    const std::size_t start = data.size();
    data += input;
    const auto *all = reinterpret_cast<const unsigned char *>(data.data());
    constexpr unsigned kHashBits = 14;
    std::vector<std::uint32_t> last(std::size_t(1) << kHashBits, UINT32_MAX);
    const std::size_t allowed = size / 200;
    std::size_t matched = 0;
    for (std::size_t at = 0; at + 4 <= data.size();) {
        const std::uint32_t word = load32(all + at);
        std::uint32_t &slot = last[(word * 2654435761u) >> (32 - kHashBits)];
        const std::size_t from = slot;
        slot = std::uint32_t(at);
        if (at < start || from == UINT32_MAX || at - from > kDictionarySize ||
            load32(all + from) != word) {
            ++at;
            continue;
        }
        std::size_t length = 4;
        while (at + length < data.size() && all[from + length] == all[at + length])
            ++length;
        matched += length;
        if (matched > allowed)
            return false;
        at += length;
    }
    return true;
}

// `input` as stored blocks; the stream is at a byte boundary before and after them.
void appendStored(std::string &output, const std::string &input, bool last) {
    constexpr std::size_t kMaxStored = 65535;
    std::size_t done = 0;
    do {
        const std::size_t length = std::min(kMaxStored, input.size() - done);
        const bool closing = last && done + length == input.size();
        const unsigned char header[5] = {
            static_cast<unsigned char>(closing ? 1 : 0), static_cast<unsigned char>(length),
            static_cast<unsigned char>(length >> 8),     static_cast<unsigned char>(~length),
            static_cast<unsigned char>(~length >> 8),
        };
        output.append(reinterpret_cast<const char *>(header), sizeof header);
        output.append(input, done, length);
        done += length;
    } while (done < input.size());
}
} // namespace

struct PackageArchiveParallelGzOutputFile::Job {
    std::shared_ptr<std::string> input;
    std::string output;
    std::uint32_t adler = 1;
    std::future<void> done;
};

PackageArchiveParallelGzOutputFile::PackageArchiveParallelGzOutputFile(PackageArchiveIOFile &file,
                                                                       int level,
                                                                       std::size_t threads)
    : PackageArchiveCompressedOutputFile(file), m_level(std::clamp(level, 0, 9)),
      m_threads(std::max<std::size_t>(threads, 1)) {
    openCodec();
}

PackageArchiveParallelGzOutputFile::~PackageArchiveParallelGzOutputFile() {
    closeCodec(false);
}

void PackageArchiveParallelGzOutputFile::openCodec() {
    m_streams.resize(m_threads);
    m_pool = std::make_unique<PackageArchiveCompressionPool>(m_threads);
    m_block = std::make_shared<std::string>();
    m_block->reserve(kBlockSize);
}

void PackageArchiveParallelGzOutputFile::closeCodec(bool finish) {
    if (!m_pool)
        return;
    if (finish) {
        try {
            submit(true);
            while (!m_jobs.empty())
                writeOldest();
            unsigned char trailer[4] = {static_cast<unsigned char>(m_adler >> 24),
                                        static_cast<unsigned char>(m_adler >> 16),
                                        static_cast<unsigned char>(m_adler >> 8),
                                        static_cast<unsigned char>(m_adler)};
            writeCompressed(trailer, sizeof trailer);
        } catch (...) {
            closeCodec(false);
            throw;
        }
    }
    // The workers stop before the states they use are freed.
    m_pool.reset();
    m_jobs.clear();
    for (std::unique_ptr<z_stream_s> &stream : m_streams)
        if (stream)
            deflateEnd(stream.get());
    m_streams.clear();
}

void PackageArchiveParallelGzOutputFile::moveChunk(const char *data, std::size_t count) {
    if (!m_pool)
        throw HException("error compressing stream");
    while (count > 0) {
        // A full block waits for more input, so that the last one handed out is never
        // empty unless the whole stream is.
        if (m_block->size() == kBlockSize)
            submit(false);
        const std::size_t take = std::min(count, kBlockSize - m_block->size());
        m_block->append(data, take);
        data += take;
        count -= take;
    }
}

z_stream_s &PackageArchiveParallelGzOutputFile::streamOf(std::size_t worker) {
    std::unique_ptr<z_stream_s> &stream = m_streams[worker];
    if (!stream) {
        auto made = std::make_unique<z_stream>();
        if (deflateInit2(made.get(), m_level, Z_DEFLATED, -kWindowBits, kMemLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK)
            throw HException("cannot initialise deflate");
        stream = std::move(made);
    }
    return *stream;
}

void PackageArchiveParallelGzOutputFile::submit(bool last) {
    auto job = std::make_unique<Job>();
    job->input = std::move(m_block);
    Job *raw = job.get();
    std::shared_ptr<std::string> previous = m_previous;
    job->done = m_pool->submit([this, raw, previous, last](std::size_t worker) {
        const std::string &input = *raw->input;
        const auto *bytes = reinterpret_cast<const Bytef *>(input.data());
        raw->adler = std::uint32_t(adler32(1, bytes, uInt(input.size())));
        if (!input.empty() && incompressible(previous ? *previous : std::string(), input)) {
            appendStored(raw->output, input, last);
            return;
        }
        z_stream &z = streamOf(worker);
        if (deflateReset(&z) != Z_OK)
            throw HException("error compressing stream");
        if (previous) {
            const std::size_t size = std::min(previous->size(), kDictionarySize);
            const auto *tail =
                reinterpret_cast<const Bytef *>(previous->data() + previous->size() - size);
            if (deflateSetDictionary(&z, tail, uInt(size)) != Z_OK)
                throw HException("error compressing stream");
        }
        // zlib's input pointer is not const-qualified but deflate never writes through it.
        z.next_in = const_cast<Bytef *>(bytes);
        z.avail_in = uInt(input.size());
        raw->output.resize(deflateBound(&z, uLong(input.size())) + 16);
        std::size_t used = 0;
        const int flush = last ? Z_FINISH : Z_FULL_FLUSH;
        for (;;) {
            if (used == raw->output.size())
                raw->output.resize(raw->output.size() * 2);
            z.next_out = reinterpret_cast<Bytef *>(raw->output.data() + used);
            z.avail_out = uInt(raw->output.size() - used);
            const int status = deflate(&z, flush);
            used = raw->output.size() - z.avail_out;
            if (status == Z_STREAM_ERROR)
                throw HException("error compressing stream");
            if (last ? status == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0)
                break;
        }
        raw->output.resize(used);
    });
    m_jobs.push_back(std::move(job));
    m_previous = m_jobs.back()->input;
    m_block = std::make_shared<std::string>();
    if (!last)
        m_block->reserve(kBlockSize);
    // Bounded work in flight keeps the memory bounded and the output flowing.
    while (m_jobs.size() > kJobsPerThread * m_threads)
        writeOldest();
}

void PackageArchiveParallelGzOutputFile::writeOldest() {
    std::unique_ptr<Job> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    job->done.get();
    if (!m_headerWritten) {
        unsigned char header[2];
        zlibHeader(m_level, header);
        writeCompressed(header, sizeof header);
        m_headerWritten = true;
    }
    writeCompressed(job->output.data(), job->output.size());
    m_adler = std::uint32_t(adler32_combine(m_adler, job->adler, z_off_t(job->input->size())));
}
