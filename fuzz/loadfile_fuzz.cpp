// The first byte picks a reader (and a writer for what it accepts); the rest is the file.
// Whatever a reader accepts is written out and read back, and must come back the same.

#include "core/hexception.h"
#include "loadfile/codebuffer.h"
#include "loadfile/loadfile.h"
#include "loadfile/loadfilefactory.h"
#include "loadfile/tekhexbuffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
const char *const kKinds[] = {"bin", "ihex", "hex", "tihex", "srec"};
const char *const kFormats[] = {"hex", "srec", "lst", "txt", "bin", "tek"};
const char *const kFormatKinds[] = {"ihex", "srec", "hex", "tihex", "bin", nullptr};
constexpr std::uint64_t kMaxSpan = 1 << 16;

// A scratch directory, removed at exit. Kept in a plain array: exit handlers run after the
// destructors of function-local statics.
char g_scratch[64];

void removeScratch() {
    for (const char *name : {"/in", "/out"})
        ::unlink((std::string(g_scratch) + name).c_str());
    ::rmdir(g_scratch);
}

const std::string &scratch() {
    static const std::string dir = [] {
        // Memory-backed when possible: a disk file system flushes on every replacing rename.
        std::snprintf(g_scratch, sizeof g_scratch, "%s/fuzz_loadfile.XXXXXX",
                      ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        if (!::mkdtemp(g_scratch))
            std::abort();
        std::atexit(removeScratch);
        return std::string(g_scratch);
    }();
    return dir;
}

void writeFile(const std::string &path, const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

struct Run {
    std::uint64_t address;
    std::string bytes;
    bool operator==(const Run &) const = default;
};

// The non-empty sections in address order, adjacent ones merged; `overlapping` tells
// whether two of them share an address.
std::vector<Run> runsOf(LoadFileInterface &loadFile, bool &overlapping) {
    std::vector<Run> runs;
    loadFile.sortSections();
    overlapping = false;
    for (const LoadFileSectionList::Item &section : loadFile.sections()) {
        if (section->length() == 0)
            continue;
        const char *data = reinterpret_cast<const char *>(section->data());
        if (!runs.empty()) {
            std::uint64_t end = runs.back().address + runs.back().bytes.size();
            overlapping |= section->address() < end;
            if (section->address() == end) {
                runs.back().bytes.append(data, section->length());
                continue;
            }
        }
        runs.push_back({section->address(), std::string(data, section->length())});
    }
    return runs;
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::string input = scratch() + "/in";
    const std::string output = scratch() + "/out";
    writeFile(input, data + 1, size - 1);
    LoadFileFactory factory;
    std::unique_ptr<LoadFileInterface> loadFile;
    try {
        loadFile = factory.create(input, kKinds[data[0] % 5]);
    } catch (const HException &) {
        return 0;
    }

    LoadFileSectionList &sections = loadFile->sections();
    std::uint64_t lowest = UINT64_MAX, highest = 0;
    for (const LoadFileSectionList::Item &section : sections) {
        check(section->end() <= (std::uint64_t(1) << 32));
        lowest = std::min<std::uint64_t>(lowest, section->address());
        highest = std::max(highest, section->end());
    }
    if (sections.empty())
        return 0;
    bool overlapping;
    const std::vector<Run> runs = runsOf(*loadFile, overlapping);
    // Raw binary output spans the whole address range.
    unsigned format = (data[0] / 5) % 6;
    if (kFormats[format] == std::string("bin") && highest - lowest > kMaxSpan)
        format = 0;
    try {
        std::unique_ptr<CodeBuffer> writer = format == 5 ? std::make_unique<TekHexBuffer>(output)
                                                         : createWriter(kFormats[format], output);
        for (const LoadFileSectionList::Item &section : loadFile->sections()) {
            writer->setAddress(section->address());
            writer->putBytes(section->data(), section->length());
        }
        writer->finish(loadFile->hasEntryPoint() ? loadFile->entryPoint() : 0);
    } catch (const HException &) {
        check(false);
    }
    // Where sections overlap, which byte wins is a matter of order; compare only without.
    if (kFormatKinds[format] && !overlapping) {
        std::unique_ptr<LoadFileInterface> back = factory.create(output, kFormatKinds[format]);
        std::uint64_t first = runs.empty() ? 0 : runs.front().address;
        back->setBaseAddress(std::uint32_t(first));
        bool ignored;
        if (kFormatKinds[format] == std::string("bin")) {
            // Gaps come back filled, so only the bytes that were there are compared.
            const LoadFileSectionInterface &image = back->sections()[0];
            check(runs.empty() || image.end() == runs.back().address + runs.back().bytes.size());
            for (const Run &run : runs)
                check(std::memcmp(image.data() + (run.address - first), run.bytes.data(),
                                  run.bytes.size()) == 0);
        } else {
            check(runsOf(*back, ignored) == runs);
        }
        if (loadFile->hasEntryPoint() && loadFile->entryPoint() != 0 &&
            (format == 0 || format == 1))
            check(back->hasEntryPoint() && back->entryPoint() == loadFile->entryPoint());
    }

    if (highest - lowest > kMaxSpan && highest - lowest <= UINT32_MAX)
        return 0;
    std::uint64_t span = highest - lowest;
    try {
        loadFile->makeContiguous(data[0]);
    } catch (const HException &) {
        check(span > UINT32_MAX);
        return 0;
    }
    check(highest == 0 ||
          (loadFile->sections().size() == 1 && loadFile->sections()[0].length() == span));
    return 0;
}
