#include "packages/packagearchive.h"

#include "core/hexception.h"
#include "core/replacementfile.h"
#include "packages/packagearchivebzfile.h"
#include "packages/packagearchivefilerecord.h"
#include "packages/packagearchivegzfile.h"
#include "packages/packagearchiveparallelbzfile.h"
#include "packages/packagearchiveparallelgzfile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kMagicVersion2 = 0x71F5C6B1;
constexpr std::uint32_t kMagicVersion1 = 0xB231F47A;     // the raw prefix
constexpr std::uint32_t kMagicVersion1Body = 0x4152C3C8; // the decompressed body
constexpr std::size_t kHeaderSize2 = 8;
constexpr std::size_t kBlockSize2 = 20;
constexpr std::size_t kEntrySize2 = 18;
constexpr std::size_t kPrefixSize1 = 12;
constexpr std::size_t kBlockSize1 = 8;
constexpr std::size_t kNameField1 = 1024;
constexpr std::size_t kEntrySize1 = 1040;
constexpr std::uint32_t kModeMask = 0xE1FF;
constexpr std::uint32_t kWriteBits = 0222;
constexpr std::uint32_t kReadOnlyMode1 = 0444;
constexpr std::uint32_t kWritableMode1 = 0666;
constexpr std::uint32_t kMemoryEntryMode = S_IFREG | 0644;
constexpr int kDefaultLevel = 7;
constexpr int kMaxLevel = 9;
constexpr std::size_t kChunk = 1 << 16;
constexpr std::uint64_t kMaxOffset = 0xFFFFFFFFu;
// A damaged bzip2 block can decompress to some 46 MB before its checksum is reached.
constexpr std::uint64_t kDrainLimit = 64 << 20;
// Contents up to this size are kept after reading for entries that share them.
constexpr std::uint64_t kRecentLimit = 16 << 20;
// No real archive has a million entries; a table claiming more is hostile.
constexpr std::uint32_t kMaxEntries = 1u << 20;
// The most one compressed byte can expand to: deflate's limit is about 1032; bzip2's run
// length coding goes far beyond, so for it the entry limit above does the bounding.
constexpr std::uint64_t kMaxExpansionZlib = 1040;
constexpr std::uint64_t kMaxExpansionBzip2 = 50'000'000;

std::uint32_t le16(const unsigned char *p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t le32(const unsigned char *p) {
    return le16(p) | le16(p + 2) << 16;
}

void putLe16(unsigned char *p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}

void putLe32(unsigned char *p, std::uint32_t value) {
    putLe16(p, value);
    putLe16(p + 2, value >> 16);
}

void putBe32(unsigned char *p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value >> 24);
    p[1] = static_cast<unsigned char>(value >> 16);
    p[2] = static_cast<unsigned char>(value >> 8);
    p[3] = static_cast<unsigned char>(value);
}

std::uint32_t clampTime(std::int64_t seconds) {
    return std::uint32_t(std::clamp<std::int64_t>(seconds, 0, kMaxOffset));
}

bool writeAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

// Every unique opening of an archive, so entries can tell which one they came from.
std::atomic<std::uint64_t> g_openSerial = 0;

} // namespace

PackageArchiveData::PackageArchiveData() = default;
PackageArchiveData::~PackageArchiveData() = default;

PackageArchive::PackageArchive(QObject *parent) : QObject(parent) {}

PackageArchive::~PackageArchive() = default;

void PackageArchive::clear() {
    m_data.files.clear();
    m_data.input = nullptr;
    m_data.inputDecoder.reset();
    m_data.inputFile.reset();
    m_data.openSerial = 0;
    m_data.contentsEnd = 0;
    m_data.recent.clear();
}

void PackageArchive::openArchive(const std::string &path, std::uint64_t startOffset,
                                 unsigned /*flags*/) {
    clear();
    try {
        readArchive(path, startOffset);
    } catch (...) {
        clear();
        throw;
    }
    m_data.name = path;
}

void PackageArchive::readArchive(const std::string &path, std::uint64_t startOffset) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw HException(path + " does not exist");
        throw HException("cannot read " + path);
    }
    // Reading seeks, which a pipe cannot; opening one could also wait for a writer forever.
    const bool seekable =
        !S_ISDIR(info.st_mode) && !S_ISFIFO(info.st_mode) && !S_ISSOCK(info.st_mode);
    std::FILE *handle = seekable ? std::fopen(path.c_str(), "rbe") : nullptr;
    if (!handle)
        throw HException("cannot read " + path);
    auto file = std::make_unique<PackageArchiveIOFile>(handle);
    if (startOffset != 0 && !file->seek(startOffset))
        throw HException("cannot read " + path);
    readUserHeader(*file);
    const std::uint64_t base = file->position();

    unsigned char head[8];
    const std::size_t got = file->read(head, sizeof head);
    const std::uint32_t magic = got >= 4 ? le32(head) : 0;
    const bool known =
        magic == kMagicVersion2 || magic == kMagicVersion1 || magic == kMagicVersion1Body;
    if (!known)
        throw HException("unsupported package file format");
    if (got < sizeof head)
        throw HException("bad header");

    int version = 1;
    int algorithm = Zlib;
    std::uint32_t count = 0;
    std::unique_ptr<PackageArchiveIOFileInterface> decoder;
    PackageArchiveIOFileInterface *input = file.get();
    if (magic == kMagicVersion2) {
        const std::uint32_t format = le16(head + 4);
        algorithm = int(format >> 12);
        version = int(format & 0xFFF);
        decoder = openInputStream(algorithm, *file);
        input = decoder.get();
        if (version != 2)
            throw HException("unsupported package file format");
        unsigned char block[kBlockSize2];
        if (input->read(block, sizeof block) != sizeof block)
            throw HException("bad header");
        count = le32(block);
    } else {
        if (magic == kMagicVersion1) {
            // The size hint is of no use to a streaming reader.
            unsigned char hint[kPrefixSize1 - 8];
            if (file->read(hint, sizeof hint) != sizeof hint)
                throw HException("bad header");
            decoder = openInputStream(Zlib, *file);
            input = decoder.get();
            if (input->read(head, sizeof head) != sizeof head)
                throw HException("bad header");
            if (le32(head) != kMagicVersion1Body)
                throw HException("unsupported package file format");
        } else {
            // An uncompressed body: its offsets count from its magic.
            file->setOrigin(base);
        }
        count = le32(head + 4);
    }

    // The table cannot be larger than the data after the header can hold: a small file
    // claiming millions of entries would otherwise take gigabytes before a read fails.
    if (S_ISREG(info.st_mode)) {
        const std::uint64_t left =
            std::uint64_t(info.st_size) > base ? std::uint64_t(info.st_size) - base : 0;
        const std::uint64_t expansion = !decoder             ? 1
                                        : algorithm == Bzip2 ? kMaxExpansionBzip2
                                                             : kMaxExpansionZlib;
        const std::uint64_t entrySize = version == 2 ? kEntrySize2 : kEntrySize1;
        if (count > kMaxEntries || entrySize * count > left * expansion + entrySize)
            throw HException("bad table of contents");
    }
    const std::uint64_t serial = ++g_openSerial;
    std::vector<PackageArchiveFile> files = readTableOfContents(*input, version, count, serial);
    m_data.files = std::move(files);
    m_data.version = version;
    m_data.algorithm = algorithm;
    m_data.inputFile = std::move(file);
    m_data.inputDecoder = std::move(decoder);
    m_data.input = input;
    m_data.openSerial = serial;
    m_data.contentsEnd = 0;
    for (const PackageArchiveFile &entry : m_data.files)
        m_data.contentsEnd = std::max<std::uint64_t>(m_data.contentsEnd,
                                                     std::uint64_t(entry.offset()) + entry.size());
}

std::vector<PackageArchiveFile>
PackageArchive::readTableOfContents(PackageArchiveIOFileInterface &input, int version,
                                    std::uint32_t count, std::uint64_t serial) {
    // The count is not trusted: entries are added as they are read, and a count whose table
    // could not even fit below the 32-bit offsets is refused outright.
    const std::uint64_t tableStart = version == 2 ? kBlockSize2 : kBlockSize1;
    const std::uint64_t entrySize = version == 2 ? kEntrySize2 : kEntrySize1;
    if (version != 1 && version != 2)
        throw HException("unsupported package file version");
    if (tableStart + entrySize * count > kMaxOffset)
        throw HException("bad table of contents");

    std::vector<PackageArchiveFile> files;
    unsigned char entry[kEntrySize1];
    for (std::uint32_t i = 0; i < count; ++i) {
        if (input.read(entry, entrySize) != entrySize)
            throw HException("bad table of contents");
        auto record = std::make_shared<PackageArchiveFile::Record>();
        record->source = PackageArchiveFile::Source::Archive;
        record->openSerial = serial;
        if (version == 2) {
            // At most 65535 bytes, so reading the name needs no proof of the claim first.
            record->name.resize(le16(entry));
            if (input.read(record->name.data(), record->name.size()) != record->name.size())
                throw HException("bad table of contents");
            record->offset = le32(entry + 2);
            record->size = le32(entry + 6);
            record->mode = le32(entry + 10);
            record->modificationTime = le32(entry + 14);
        } else {
            const char *name = reinterpret_cast<const char *>(entry);
            record->name.assign(name, std::find(name, name + kNameField1, '\0'));
            record->offset = le32(entry + kNameField1);
            record->size = le32(entry + kNameField1 + 4);
            record->mode = le32(entry + kNameField1 + 8) ? kReadOnlyMode1 : kWritableMode1;
            record->modificationTime = le32(entry + kNameField1 + 12);
        }
        files.push_back(PackageArchiveFile(std::move(record)));
    }
    return files;
}

std::unique_ptr<PackageArchiveIOFileInterface>
PackageArchive::openInputStream(int algorithm, PackageArchiveIOFile &file) {
    switch (algorithm) {
    case Zlib:
        return std::make_unique<PackageArchiveCompressedGzInputFile>(file);
    case Bzip2:
        return std::make_unique<PackageArchiveCompressedBzInputFile>(file);
    default:
        throw HException("unsupported compression algorithm");
    }
}

std::unique_ptr<PackageArchiveCompressedOutputFile>
PackageArchive::openOutputStream(int algorithm, PackageArchiveIOFile &file, int level) {
    // Several threads write the same stream a reader sees, blocks compressed side by side.
    std::size_t threads = std::size_t(std::max(m_data.threads, 0));
    if (threads == 0)
        threads = std::size_t(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));
    switch (algorithm) {
    case Zlib:
        if (threads > 1)
            return std::make_unique<PackageArchiveParallelGzOutputFile>(file, level, threads);
        return std::make_unique<PackageArchiveCompressedGzOutputFile>(file, level);
    case Bzip2:
        if (threads > 1)
            return std::make_unique<PackageArchiveParallelBzOutputFile>(file, level, threads);
        return std::make_unique<PackageArchiveCompressedBzOutputFile>(file, level);
    default:
        throw HException("unsupported compression algorithm");
    }
}

void PackageArchive::writeUserHeader(PackageArchiveIOFile &) {}

void PackageArchive::readUserHeader(PackageArchiveIOFile &) {}

std::shared_ptr<PackageArchiveFile::Record> PackageArchive::recordFor(const std::string &name) {
    PackageArchiveFile existing = findFile(name);
    if (existing)
        return existing.m_record;
    auto record = std::make_shared<PackageArchiveFile::Record>();
    record->name = name;
    m_data.files.push_back(PackageArchiveFile(record));
    return record;
}

PackageArchiveFile PackageArchive::addFile(const std::string &path, const std::string &name) {
    // Non-blocking, so that a named pipe given by mistake cannot hang the open.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    bool ok = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw HException("cannot read " + path);
    if (std::uint64_t(info.st_size) > kMaxOffset)
        throw HException("file too large: " + path);
    // A replaced entry takes everything from the new file: keeping its old source with the
    // new size would store the wrong contents.
    std::shared_ptr<PackageArchiveFile::Record> record = recordFor(name);
    record->source = PackageArchiveFile::Source::Disk;
    record->sourcePath = path;
    record->offset = 0;
    record->size = std::uint32_t(info.st_size);
    record->mode = info.st_mode & kModeMask;
    record->modificationTime = clampTime(info.st_mtime);
    record->contents.reset();
    return PackageArchiveFile(record);
}

PackageArchiveFile PackageArchive::addData(const std::string &name, std::string bytes) {
    if (bytes.size() > kMaxOffset)
        throw HException("file too large: " + name);
    std::shared_ptr<PackageArchiveFile::Record> record = recordFor(name);
    record->source = PackageArchiveFile::Source::Memory;
    record->sourcePath.clear();
    record->offset = 0;
    record->size = std::uint32_t(bytes.size());
    record->mode = kMemoryEntryMode;
    record->modificationTime = clampTime(std::time(nullptr));
    record->contents = std::move(bytes);
    return PackageArchiveFile(record);
}

PackageArchiveFile PackageArchive::findFile(const std::string &name) const {
    for (const PackageArchiveFile &file : m_data.files)
        if (file.name() == name)
            return file;
    return {};
}

PackageArchiveFile PackageArchive::findDescriptionFile() const {
    static const std::string suffix = "_package.xml";
    for (const PackageArchiveFile &file : m_data.files)
        if (file.name().size() >= suffix.size() &&
            file.name().compare(file.name().size() - suffix.size(), suffix.size(), suffix) == 0)
            return file;
    return {};
}

std::string PackageArchive::fileData(const PackageArchiveFile &file) {
    keepContents(file);
    return file.contents();
}

void PackageArchive::keepContents(const PackageArchiveFile &file) {
    if (file.hasContents())
        return;
    std::string bytes;
    // The claimed size is not trusted beyond what is kept of recent reads anyway.
    bytes.reserve(std::size_t(std::min<std::uint64_t>(file.size(), kRecentLimit)));
    readContents(file, [&bytes](const char *data, std::size_t size) { bytes.append(data, size); });
    file.m_record->contents = std::move(bytes);
}

void PackageArchive::readContents(const PackageArchiveFile &file, const Sink &sink) {
    if (file.isNull())
        throw HException("cannot read file  from archive");
    if (file.hasContents()) {
        sink(file.contents().data(), file.contents().size());
        return;
    }
    if (file.source() == PackageArchiveFile::Source::Archive) {
        readArchiveEntry(file, sink);
        return;
    }
    const std::string &path = file.sourcePath();
    std::FILE *handle = std::fopen(path.c_str(), "rbe");
    if (!handle)
        throw HException("cannot read " + path);
    PackageArchiveIOFile disk(handle);
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    // Exactly the size taken when the file was added: the table of contents says so.
    for (std::uint64_t left = file.size(); left > 0;) {
        std::size_t want = std::size_t(std::min<std::uint64_t>(left, kChunk));
        std::size_t got = disk.read(buffer.get(), want);
        if (got != want)
            throw HException("cannot read " + path);
        sink(buffer.get(), got);
        left -= got;
    }
}

void PackageArchive::readArchiveEntry(const PackageArchiveFile &file, const Sink &sink) {
    const std::string failure = "cannot read file " + file.name() + " from archive";
    const PackageArchiveFile::Record &record = *file.m_record;
    if (!m_data.input || record.openSerial != m_data.openSerial)
        throw HException(failure);
    // An empty entry needs no seek, which would restart the decompression for nothing.
    if (record.size == 0)
        return;
    // Entries sharing bytes read last: a seek back would decompress everything again.
    if (record.offset >= m_data.recentOffset &&
        std::uint64_t(record.offset) + record.size <= m_data.recentOffset + m_data.recent.size()) {
        sink(m_data.recent.data() + (record.offset - m_data.recentOffset), record.size);
        return;
    }
    const bool keep = record.size <= kRecentLimit;
    m_data.recent.clear();
    std::string kept;
    if (auto *decoder = dynamic_cast<PackageArchiveCompressedInputFile *>(m_data.input))
        decoder->failIfDamaged(record.offset, record.size);
    if (!m_data.input->seek(record.offset))
        throw HException(failure);
    // The claimed size is not trusted: the buffer is one chunk, whatever the size says.
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (std::uint64_t left = record.size; left > 0;) {
        std::size_t want = std::size_t(std::min<std::uint64_t>(left, kChunk));
        std::size_t got = m_data.input->read(buffer.get(), want);
        if (got != want)
            throw HException(failure);
        sink(buffer.get(), got);
        if (keep)
            kept.append(buffer.get(), got);
        left -= got;
    }
    // The codecs check their data at the end of each block and of the stream, which a read
    // that stops at the last byte of the contents may never reach: damage there would go
    // unnoticed. Past the last entry the rest of the stream is read, within reason.
    if (m_data.inputDecoder && std::uint64_t(record.offset) + record.size == m_data.contentsEnd) {
        for (std::uint64_t drained = 0; drained < kDrainLimit; drained += kChunk)
            if (m_data.input->read(buffer.get(), kChunk) < kChunk)
                break;
    }
    // Only contents read whole, and found sound, are kept.
    m_data.recent = std::move(kept);
    m_data.recentOffset = record.offset;
}

namespace {

// The process's file-creation mask; reading it means setting it, so it is put back at once.
mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

void PackageArchive::extractFile(const PackageArchiveFile &file, const std::string &destination,
                                 bool overwrite, const Sink &written) {
    struct stat existing;
    if (!overwrite && ::lstat(destination.c_str(), &existing) == 0)
        throw HException("cannot overwrite file " + destination);

    ReplacementFile output(destination);
    int fd = output.create(0600);
    if (fd < 0 && errno == ENOENT) { // the first file of a directory
        const std::filesystem::path parent = std::filesystem::path(destination).parent_path();
        std::error_code ignored; // a failure shows when the file is created
        if (!parent.empty()) {
            std::filesystem::create_directories(parent, ignored);
            fd = output.create(0600);
        }
    }
    if (fd < 0)
        throw HException("cannot create output file " + destination);
    const std::string writeFailure = "cannot write to output file " + destination;
    readContents(file, [&](const char *data, std::size_t size) {
        if (!writeAll(fd, data, size))
            throw HException(writeFailure);
        if (written)
            written(data, size);
    });

    // Through the descriptor: a path would be looked up again for each.
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time_t(file.modificationTime());
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::futimens(fd, times);
    // Permission bits only, less those the user masks: set-id bits from an archive are
    // never honoured.
    if (::fchmod(fd, file.mode() & 0777 & ~currentUmask()) != 0)
        throw HException("cannot set mode of output file " + destination);
    if (::close(output.releaseDescriptor()) != 0)
        throw HException(writeFailure);
    if (!output.commit(overwrite)) {
        if (errno == EEXIST)
            throw HException("cannot overwrite file " + destination);
        throw HException("cannot create output file " + destination);
    }
}

std::string PackageArchive::extractionPath(const std::string &directory, const std::string &name) {
    auto refuse = [&name](const char *why) {
        return HException("refusing to extract \"" + displayName(name) + "\": " + why);
    };
    if (name.find('\0') != std::string::npos)
        throw refuse("the name holds a zero byte");
    if (!name.empty() && name.front() == '/')
        throw refuse("absolute path");
    bool fileName = false;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = std::min(name.find('/', start), name.size());
        std::string_view component(name.data() + start, end - start);
        if (component == "..")
            throw refuse("\"..\" in the path");
        fileName = !component.empty() && component != ".";
        start = end + 1;
    }
    if (!fileName)
        throw refuse("not a file name");
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string PackageArchive::displayName(const std::string &name) {
    std::string shown = name;
    for (char &c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return shown;
}

void PackageArchive::saveArchive(const std::string &path, int level) {
    const int version = m_data.version;
    if (version != 1 && version != 2)
        throw HException("unsupported package file version");
    level = level < 0 ? kDefaultLevel : std::min(level, kMaxLevel);

    // Everything that can be known wrong is checked before the output is created.
    std::uint64_t end = version == 2 ? kBlockSize2 : kBlockSize1;
    const std::size_t maxName = version == 2 ? kMaxNameLengthVersion2 : kMaxNameLengthVersion1;
    for (const PackageArchiveFile &file : m_data.files) {
        if (file.name().size() > maxName)
            throw HException("filename too long");
        end += (version == 2 ? kEntrySize2 + file.name().size() : kEntrySize1) + file.size();
    }
    // Offsets are 32 bits wide; a larger archive would be written with wrong offsets.
    if (end > kMaxOffset)
        throw HException("archive too large");

    ReplacementFile output(path);
    const int fd = output.openOutput(0666);
    std::FILE *handle = fd < 0 ? nullptr : ::fdopen(output.releaseDescriptor(), "wb");
    if (!handle) {
        if (fd >= 0)
            ::close(fd);
        throw HException("cannot open output file");
    }
    PackageArchiveIOFile file(handle);
    writeArchive(file, level);
    if (!file.close())
        throw HException("error writing to compressed stream");
    if (!output.commit(true))
        throw HException("cannot open output file");
    m_data.name = path;
}

void PackageArchive::writeArchive(PackageArchiveIOFile &file, int level) {
    const int version = m_data.version;
    const std::vector<PackageArchiveFile> &files = m_data.files;
    const std::uint32_t count = std::uint32_t(files.size());
    auto check = [](bool ok, const char *failure) {
        if (!ok)
            throw HException(failure);
    };

    writeUserHeader(file);
    std::unique_ptr<PackageArchiveCompressedOutputFile> output;
    quint64 total = 0;
    for (const PackageArchiveFile &entry : files)
        total += entry.size();

    if (version == 2) {
        unsigned char header[kHeaderSize2] = {};
        putLe32(header, kMagicVersion2);
        putLe16(header + 4, std::uint32_t(m_data.algorithm) << 12 | 2);
        check(file.write(header, sizeof header) == sizeof header, "cannot write header");
        output = openOutputStream(m_data.algorithm, file, level);
        unsigned char block[kBlockSize2] = {};
        putLe32(block, count);
        check(output->write(block, sizeof block) == sizeof block, "cannot write header2");
        std::uint64_t offset = kBlockSize2;
        for (const PackageArchiveFile &entry : files)
            offset += kEntrySize2 + entry.name().size();
        for (const PackageArchiveFile &entry : files) {
            unsigned char raw[kEntrySize2];
            putLe16(raw, std::uint32_t(entry.name().size()));
            putLe32(raw + 2, std::uint32_t(offset));
            putLe32(raw + 6, entry.size());
            putLe32(raw + 10, entry.mode() & kModeMask);
            putLe32(raw + 14, entry.modificationTime());
            check(output->write(raw, sizeof raw) == sizeof raw, "cannot write table of contents");
            check(output->write(entry.name().data(), entry.name().size()) == entry.name().size(),
                  "cannot write table of contents filename");
            offset += entry.size();
        }
    } else {
        // The size hint follows the old compressBound() formula over a generous estimate.
        std::uint64_t estimate = std::uint64_t(kEntrySize1) * count;
        for (const PackageArchiveFile &entry : files)
            estimate += entry.size() + kEntrySize1;
        unsigned char prefix[kPrefixSize1];
        putLe32(prefix, kMagicVersion1);
        putLe32(prefix + 4, 1);
        putBe32(prefix + 8, std::uint32_t(std::min(estimate + 13 + estimate / 100, kMaxOffset)));
        check(file.write(prefix, sizeof prefix) == sizeof prefix, "cannot write header");
        output = openOutputStream(Zlib, file, level);
        unsigned char block[kBlockSize1];
        putLe32(block, kMagicVersion1Body);
        putLe32(block + 4, count);
        check(output->write(block, sizeof block) == sizeof block, "cannot write header2");
        std::uint64_t offset = kBlockSize1 + std::uint64_t(kEntrySize1) * count;
        for (const PackageArchiveFile &entry : files) {
            unsigned char raw[kEntrySize1] = {};
            std::copy(entry.name().begin(), entry.name().end(), raw);
            putLe32(raw + kNameField1, std::uint32_t(offset));
            putLe32(raw + kNameField1 + 4, entry.size());
            putLe32(raw + kNameField1 + 8, (entry.mode() & kWriteBits) == 0 ? 1 : 0);
            putLe32(raw + kNameField1 + 12, entry.modificationTime());
            check(output->write(raw, sizeof raw) == sizeof raw, "cannot write table of contents");
            offset += entry.size();
        }
    }

    quint64 done = 0;
    emit progress(done, total);
    for (const PackageArchiveFile &entry : files) {
        readContents(entry, [&](const char *data, std::size_t size) {
            check(output->write(data, size) == size, "cannot write file");
            done += size;
            emit progress(done, total);
        });
    }
    output->finish();
}
