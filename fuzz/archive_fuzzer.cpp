// Opens arbitrary bytes as a package archive and reads every entry, then the first one again
// (a backward seek restarts the decompression).

#include "core/hexception.h"
#include "packages/packagearchive.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// The archive is opened by path; an in-memory file keeps the disk out of the loop.
const std::string &inputPath() {
    static const std::string path = [] {
        int fd = memfd_create("archive", 0);
        return fd < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string &path = inputPath();
    if (path.empty())
        __builtin_trap();
    int fd = std::stoi(path.substr(path.rfind('/') + 1));
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        __builtin_trap();

    PackageArchive archive;
    try {
        archive.openArchive(path);
    } catch (const HException &) {
        return 0;
    }
    // Forward through every entry, then back to the first: a restart of the decompression.
    std::vector<PackageArchiveFile> order = archive.files();
    if (!order.empty())
        order.push_back(order.front());
    // Reaching an entry may mean decompressing everything before it again, and a few bytes
    // of bzip2 can stand for gigabytes: a budget keeps each input quick.
    std::uint64_t budget = 32 << 20;
    for (const PackageArchiveFile &file : order) {
        const std::uint64_t work = std::uint64_t(file.offset()) + file.size();
        if (work > budget)
            continue;
        budget -= work;
        std::uint64_t read = 0;
        try {
            archive.readContents(file, [&read](const char *, std::size_t n) { read += n; });
        } catch (const HException &) {
            continue;
        }
        if (read != file.size())
            __builtin_trap();
    }
    if (!archive.files().empty() && archive.files().back().size() < budget) {
        try {
            archive.fileData(archive.files().back());
        } catch (const HException &) {
        }
    }
    return 0;
}
