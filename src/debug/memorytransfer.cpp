#include "debug/memorytransfer.h"

#include "core/hexception.h"
#include "debug/symbolicdebuggerinterface.h"
#include "loadfile/codebuffer.h"
#include "loadfile/loadfile.h"
#include "loadfile/loadfilefactory.h"
#include "loadfile/tekhexbuffer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

struct MemoryFormat {
    const char *name;
    const char *endings[4];
};

constexpr MemoryFormat kMemoryFormats[] = {
    {"hex", {".hex", ".HEX"}},
    {"srec", {".srec", ".SREC", ".s19", ".S19"}},
    {"lst", {".lst", ".LST"}},
    {"txt", {".txt", ".TXT"}},
    {"bin", {".bin", ".BIN", ".rom", ".ROM"}},
    {"tek", {".tek", ".TEK"}},
};

// Large enough to keep a remote target's packets full, small enough for steady progress.
constexpr std::size_t kChunk = 64 * 1024;

} // namespace

std::string memoryAccessError(bool write, std::uint64_t address) {
    char text[80];
    std::snprintf(text, sizeof text, "cannot %s target memory at 0x%08" PRIx64,
                  write ? "write" : "read", address);
    return text;
}

const char *memoryFormatForFileName(const std::string &path) {
    std::string_view name = path;
    for (const MemoryFormat &format : kMemoryFormats) {
        for (const char *ending : format.endings) {
            if (ending && name.size() > std::strlen(ending) && name.ends_with(ending))
                return format.name;
        }
    }
    return nullptr;
}

void saveMemoryToFile(SymbolicDebuggerInterface &engine, std::uint64_t start, std::uint64_t end,
                      const std::string &path, SymbolicDebuggerInterfaceHelpers *helpers) {
    const char *format = memoryFormatForFileName(path);
    if (!format)
        throw HException("cannot tell the format of " + path +
                         " from its name (use .bin, .hex, .srec, .lst, .txt or .tek)");
    if (end <= start)
        throw HException("empty address range");
    if (end - 1 > 0xffffffffu)
        throw HException("address range past 0xffffffff");
    const std::uint64_t total = end - start;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
    for (std::uint64_t done = 0; done < total;) {
        const std::size_t count = std::size_t(std::min<std::uint64_t>(kChunk, total - done));
        const std::size_t got = engine.readMemory(0, start + done, count, bytes.data() + done);
        done += got;
        if (helpers)
            helpers->progress(done, total);
        if (got < count)
            throw HException(memoryAccessError(false, start + done));
    }
    std::unique_ptr<CodeBuffer> writer = std::string_view(format) == "tek"
                                             ? std::make_unique<TekHexBuffer>(path)
                                             : createWriter(format, path);
    writer->setAddress(std::uint32_t(start));
    writer->putBytes(bytes.data(), bytes.size());
    writer->finish(0);
}

std::uint64_t loadMemoryFromFile(SymbolicDebuggerInterface &engine, const std::string &path,
                                 std::optional<std::uint32_t> binaryBase,
                                 SymbolicDebuggerInterfaceHelpers *helpers) {
    LoadFileFactory factory;
    const char *kind = factory.kindForFileName(path);
    if (!kind)
        throw HException("cannot tell the kind of " + path +
                         " from its name (use .bin, .hex, .srec, .lst or .txt)");
    std::unique_ptr<LoadFileInterface> loadFile = factory.create(path, kind);
    if (binaryBase)
        loadFile->setBaseAddress(*binaryBase);
    std::uint64_t total = 0;
    for (const LoadFileSectionList::Item &section : loadFile->sections())
        total += section->length();
    std::uint64_t written = 0;
    for (const LoadFileSectionList::Item &section : loadFile->sections()) {
        const std::uint8_t *data = section->data(false);
        for (std::uint32_t done = 0; done < section->length();) {
            const std::size_t count = std::min<std::size_t>(kChunk, section->length() - done);
            const std::uint64_t address = std::uint64_t(section->address()) + done;
            const std::size_t put = engine.writeMemory(0, address, count, data + done);
            written += put;
            if (helpers)
                helpers->progress(written, total);
            if (put < count)
                throw HException(memoryAccessError(true, address + put));
            done += std::uint32_t(count);
        }
    }
    return written;
}
