#include "loadfile/loadfilefactory.h"

#include "loadfile/binaryloadfile.h"
#include "loadfile/hexloadfile.h"
#include "loadfile/intelhexloadfile.h"
#include "loadfile/srecordloadfile.h"
#include "loadfile/tihexloadfile.h"

#include <cstring>
#include <string_view>

namespace {
struct KindEnding {
    const char *ending;
    const char *kind;
};

// Checked in this order, case-sensitively.
constexpr KindEnding kKindEndings[] = {
    {".bin", "bin"},   {".BIN", "bin"},   {".rom", "bin"},  {".ROM", "bin"},   {".hex", "ihex"},
    {".HEX", "ihex"},  {".lst", "hex"},   {".LST", "hex"},  {".txt", "tihex"}, {".TXT", "tihex"},
    {".srec", "srec"}, {".SREC", "srec"}, {".s19", "srec"}, {".S19", "srec"},
};

template <typename T> std::unique_ptr<LoadFileInterface> make(const std::string &path) {
    return std::make_unique<T>(path);
}

struct KindReader {
    const char *kind;
    std::unique_ptr<LoadFileInterface> (*create)(const std::string &path);
};

constexpr KindReader kReaders[] = {
    {"bin", make<BinaryLoadFile>},  {"ihex", make<IntelHexLoadFile>}, {"hex", make<HexLoadFile>},
    {"tihex", make<TIHexLoadFile>}, {"srec", make<SRecordLoadFile>},
};
} // namespace

std::unique_ptr<LoadFileInterface> LoadFileFactory::create(const std::string &path,
                                                           const char *kind) {
    if (!kind)
        return nullptr;
    for (const KindReader &reader : kReaders) {
        if (std::strcmp(reader.kind, kind) == 0)
            return reader.create(path);
    }
    return nullptr;
}

void LoadFileFactory::destroy(std::unique_ptr<LoadFileInterface> loadFile) {
    loadFile.reset();
}

const char *LoadFileFactory::kindForFileName(const std::string &name) const {
    if (name.size() < 4)
        return nullptr;
    std::string_view text(name);
    for (const KindEnding &entry : kKindEndings) {
        if (text.ends_with(entry.ending))
            return entry.kind;
    }
    return nullptr;
}
