// Builds a set of files from the input, saves it on one thread and on several, and checks that
// the archive written on several threads reads back the same: zlib streams joined from
// separately compressed blocks, bzip2 blocks cut and spliced where one compressor cuts them
// (so those archives are the same bytes).

#include "core/hexception.h"
#include "packages/packagearchive.h"

#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>

namespace {

// A scratch directory for the two archives, made once.
const std::string &scratch() {
    static const std::string directory = [] {
        char name[] = "/tmp/fuzz_archivewriter.XXXXXX";
        return mkdtemp(name) ? std::string(name) : std::string();
    }();
    return directory;
}

std::string readAll(const std::string &path) {
    std::string bytes;
    if (std::FILE *file = std::fopen(path.c_str(), "rb")) {
        char chunk[1 << 16];
        while (std::size_t got = std::fread(chunk, 1, sizeof chunk, file))
            bytes.append(chunk, got);
        std::fclose(file);
    }
    return bytes;
}

// Reads the input as instructions: literal bytes, runs of one byte (libbz2's run-length
// stage and its block limit), random bytes (stored zlib blocks) and copies of what came
// before (matches across zlib blocks).
class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}
    bool empty() const { return m_at >= m_size; }
    unsigned byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned word() { return byte() | byte() << 8; }

    std::string contents(std::size_t limit) {
        std::string bytes;
        for (unsigned steps = byte() % 8; steps > 0 && !empty(); --steps) {
            switch (byte() % 4) {
            case 0:
                for (unsigned n = byte(); n > 0 && !empty(); --n)
                    bytes.push_back(char(byte()));
                break;
            case 1: {
                const char value = char(byte());
                bytes.append(std::size_t(word()) * (byte() % 16 + 1), value);
                break;
            }
            case 2: {
                // Bytes as already compressed data has them, which the zlib writer may store.
                std::minstd_rand random(word());
                for (std::size_t n = std::size_t(word()) * 4; n > 0; --n)
                    bytes.push_back(char(random() >> 7));
                break;
            }
            default:
                if (!bytes.empty()) {
                    const std::string tail = bytes.substr(
                        bytes.size() - std::min<std::size_t>(bytes.size(), word() + 1));
                    for (unsigned copies = byte() % 64 + 1; copies > 0; --copies)
                        bytes += tail;
                }
            }
            if (bytes.size() > limit)
                bytes.resize(limit);
        }
        return bytes;
    }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (scratch().empty())
        __builtin_trap();
    Input input(data, size);
    const unsigned flags = input.byte();
    const bool bzip2 = flags & 1;
    const int version = !bzip2 && (flags & 2) ? 1 : 2;
    const int threads = int(flags >> 2 & 3) + 2;
    // bzip2 at level 1 has blocks of 100 kB, so a few runs reach across them.
    static const int zlibLevels[] = {1, 6, 9, 0};
    const int level = bzip2 ? 1 : zlibLevels[flags >> 4 & 3];

    PackageArchive archive;
    archive.setVersion(version);
    archive.setAlgorithm(bzip2 ? PackageArchive::Bzip2 : PackageArchive::Zlib);
    std::size_t budget = 3 << 20;
    for (int i = 0; i < 12 && !input.empty(); ++i) {
        std::string bytes = input.contents(budget);
        budget -= bytes.size();
        archive.addData("f" + std::to_string(i), std::move(bytes));
    }

    const std::string single = scratch() + "/single.qzArchive";
    const std::string parallel = scratch() + "/parallel.qzArchive";
    try {
        archive.setThreads(1);
        archive.saveArchive(single, level);
        archive.setThreads(threads);
        archive.saveArchive(parallel, level);
    } catch (const HException &) {
        __builtin_trap();
    }
    if (bzip2 && readAll(single) != readAll(parallel))
        __builtin_trap();

    PackageArchive reread;
    try {
        reread.openArchive(parallel);
        if (reread.files().size() != archive.files().size())
            __builtin_trap();
        for (std::size_t i = 0; i < archive.files().size(); ++i)
            if (reread.fileData(reread.files()[i]) != archive.fileData(archive.files()[i]))
                __builtin_trap();
    } catch (const HException &) {
        __builtin_trap();
    }
    return 0;
}
