#include "packages/packagearchivebzfile.h"

#include "core/hexception.h"

#include <algorithm>
#include <bzlib.h>
#include <climits>

// The stream interface of libbz2 rather than its C-stream one: the latter leaks its state
// when the file reports an error, and drops decompressed data at a truncated end.

namespace {
constexpr int kVerbosity = 0;
constexpr int kWorkFactor = 30;
constexpr int kSmallMemory = 0;
constexpr std::size_t kBufferSize = 1 << 16;
} // namespace

struct PackageArchiveCompressedBzInputFile::Stream : bz_stream {
    Stream() : bz_stream() {}
};

struct PackageArchiveCompressedBzOutputFile::Stream : bz_stream {
    Stream() : bz_stream() {}
};

PackageArchiveCompressedBzInputFile::PackageArchiveCompressedBzInputFile(PackageArchiveIOFile &file)
    : PackageArchiveCompressedInputFile(file), m_input(new char[kBufferSize]) {
    openCodec();
}

PackageArchiveCompressedBzInputFile::~PackageArchiveCompressedBzInputFile() {
    closeCodec();
}

void PackageArchiveCompressedBzInputFile::openCodec() {
    auto stream = std::make_unique<Stream>();
    if (BZ2_bzDecompressInit(stream.get(), kVerbosity, kSmallMemory) != BZ_OK)
        throw HException("cannot initialise inflate");
    m_stream = std::move(stream);
    m_ended = false;
}

void PackageArchiveCompressedBzInputFile::closeCodec() {
    if (m_stream)
        BZ2_bzDecompressEnd(m_stream.get());
    m_stream.reset();
}

std::size_t PackageArchiveCompressedBzInputFile::moveChunk(char *buffer, std::size_t count) {
    if (m_ended || count == 0)
        return 0;
    if (!m_stream)
        throw HException("error reading from compressed stream");
    bz_stream &bz = *m_stream;
    bz.next_out = buffer;
    bz.avail_out = unsigned(std::min<std::size_t>(count, UINT_MAX));
    const unsigned wanted = bz.avail_out;
    while (bz.avail_out == wanted) {
        if (bz.avail_in == 0) {
            std::size_t got = readCompressed(m_input.get(), kBufferSize);
            if (got == 0) {
                // A truncated stream ends here; the caller sees a short read.
                m_ended = true;
                break;
            }
            bz.next_in = m_input.get();
            bz.avail_in = unsigned(got);
        }
        int status = BZ2_bzDecompress(&bz);
        if (status == BZ_STREAM_END) {
            m_ended = true;
            break;
        }
        if (status != BZ_OK)
            throw HException("error decompressing stream");
    }
    return wanted - bz.avail_out;
}

PackageArchiveCompressedBzOutputFile::PackageArchiveCompressedBzOutputFile(
    PackageArchiveIOFile &file, int level)
    // libbz2 has no block size 0: level 0 asks for the least effort, which is 1.
    : PackageArchiveCompressedOutputFile(file), m_blockSize(std::clamp(level, 1, 9)),
      m_output(new char[kBufferSize]) {
    openCodec();
}

PackageArchiveCompressedBzOutputFile::~PackageArchiveCompressedBzOutputFile() {
    closeCodec(false);
}

void PackageArchiveCompressedBzOutputFile::openCodec() {
    auto stream = std::make_unique<Stream>();
    if (BZ2_bzCompressInit(stream.get(), m_blockSize, kVerbosity, kWorkFactor) != BZ_OK)
        throw HException("cannot initialise deflate");
    m_stream = std::move(stream);
}

void PackageArchiveCompressedBzOutputFile::closeCodec(bool finish) {
    if (!m_stream)
        return;
    if (finish) {
        m_stream->next_in = nullptr;
        m_stream->avail_in = 0;
        compressInto(BZ_FINISH);
    }
    BZ2_bzCompressEnd(m_stream.get());
    m_stream.reset();
}

void PackageArchiveCompressedBzOutputFile::moveChunk(const char *data, std::size_t count) {
    if (!m_stream)
        throw HException("error compressing stream");
    // libbz2's input pointer is not const-qualified but it never writes through it.
    m_stream->next_in = const_cast<char *>(data);
    m_stream->avail_in = unsigned(count);
    compressInto(BZ_RUN);
}

void PackageArchiveCompressedBzOutputFile::compressInto(int action) {
    bz_stream &bz = *m_stream;
    for (;;) {
        bz.next_out = m_output.get();
        bz.avail_out = unsigned(kBufferSize);
        int status = BZ2_bzCompress(&bz, action);
        bool ok = action == BZ_FINISH ? status == BZ_FINISH_OK || status == BZ_STREAM_END
                                      : status == BZ_RUN_OK;
        if (!ok)
            throw HException("error compressing stream");
        std::size_t produced = kBufferSize - bz.avail_out;
        writeCompressed(m_output.get(), produced);
        if (action == BZ_FINISH ? status == BZ_STREAM_END : bz.avail_in == 0)
            return;
    }
}
