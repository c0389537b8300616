#include "packages/packagearchivegzfile.h"

#include "core/hexception.h"

#include <algorithm>
#include <climits>
#include <zlib.h>

namespace {
constexpr std::size_t kBufferSize = 1 << 16;
}

PackageArchiveCompressedGzInputFile::PackageArchiveCompressedGzInputFile(PackageArchiveIOFile &file)
    : PackageArchiveCompressedInputFile(file), m_input(new unsigned char[kBufferSize]) {
    openCodec();
}

PackageArchiveCompressedGzInputFile::~PackageArchiveCompressedGzInputFile() {
    closeCodec();
}

void PackageArchiveCompressedGzInputFile::openCodec() {
    auto stream = std::make_unique<z_stream>();
    if (inflateInit(stream.get()) != Z_OK)
        throw HException("cannot initialise inflate");
    m_stream = std::move(stream);
    m_ended = false;
}

void PackageArchiveCompressedGzInputFile::closeCodec() {
    if (m_stream)
        inflateEnd(m_stream.get());
    m_stream.reset();
}

std::size_t PackageArchiveCompressedGzInputFile::moveChunk(char *buffer, std::size_t count) {
    if (m_ended || count == 0)
        return 0;
    if (!m_stream)
        throw HException("error reading from compressed stream");
    z_stream &z = *m_stream;
    z.next_out = reinterpret_cast<Bytef *>(buffer);
    z.avail_out = uInt(std::min<std::size_t>(count, UINT_MAX));
    const uInt wanted = z.avail_out;
    while (z.avail_out == wanted) {
        if (z.avail_in == 0) {
            std::size_t got = readCompressed(m_input.get(), kBufferSize);
            if (got == 0) {
                // A truncated stream ends here; the caller sees a short read.
                m_ended = true;
                break;
            }
            z.next_in = m_input.get();
            z.avail_in = uInt(got);
        }
        int status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            m_ended = true;
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR)
            throw HException("error reading from compressed stream");
    }
    return wanted - z.avail_out;
}

PackageArchiveCompressedGzOutputFile::PackageArchiveCompressedGzOutputFile(
    PackageArchiveIOFile &file, int level)
    : PackageArchiveCompressedOutputFile(file), m_level(std::clamp(level, 0, 9)),
      m_output(new unsigned char[kBufferSize]) {
    openCodec();
}

PackageArchiveCompressedGzOutputFile::~PackageArchiveCompressedGzOutputFile() {
    closeCodec(false);
}

void PackageArchiveCompressedGzOutputFile::openCodec() {
    auto stream = std::make_unique<z_stream>();
    if (deflateInit(stream.get(), m_level) != Z_OK)
        throw HException("cannot initialise deflate");
    m_stream = std::move(stream);
}

void PackageArchiveCompressedGzOutputFile::closeCodec(bool finish) {
    if (!m_stream)
        return;
    if (finish) {
        m_stream->next_in = nullptr;
        m_stream->avail_in = 0;
        deflateInto(Z_FINISH);
    }
    deflateEnd(m_stream.get());
    m_stream.reset();
}

void PackageArchiveCompressedGzOutputFile::moveChunk(const char *data, std::size_t count) {
    if (!m_stream)
        throw HException("error compressing stream");
    // zlib's input pointer is not const-qualified but deflate never writes through it.
    m_stream->next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    m_stream->avail_in = uInt(count);
    deflateInto(Z_NO_FLUSH);
}

void PackageArchiveCompressedGzOutputFile::deflateInto(int flush) {
    z_stream &z = *m_stream;
    for (;;) {
        z.next_out = m_output.get();
        z.avail_out = uInt(kBufferSize);
        int status = deflate(&z, flush);
        if (status == Z_STREAM_ERROR)
            throw HException("error compressing stream");
        std::size_t produced = kBufferSize - z.avail_out;
        writeCompressed(m_output.get(), produced);
        if (flush == Z_FINISH ? status == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0)
            return;
        if (status != Z_OK && status != Z_BUF_ERROR)
            throw HException("error compressing stream");
    }
}
