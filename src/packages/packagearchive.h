#pragma once

#include "packages/packagearchivefile.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class PackageArchiveIOFile;
class PackageArchiveIOFileInterface;
class PackageArchiveCompressedOutputFile;

// What an archive holds in memory: its entries, the layout it is written in, and while an
// archive is open for reading, the stream its entries' contents come from.
struct PackageArchiveData {
    PackageArchiveData();
    ~PackageArchiveData();

    std::string name; // the archive last opened or saved
    std::vector<PackageArchiveFile> files;
    int version = 1;
    int algorithm = 0;
    // Threads compressing while saving: 1 the caller's alone, 0 one per processor online.
    int threads = 1;

    std::unique_ptr<PackageArchiveIOFile> inputFile;
    // The decompressed stream over inputFile; null for an uncompressed body.
    std::unique_ptr<PackageArchiveIOFileInterface> inputDecoder;
    PackageArchiveIOFileInterface *input = nullptr;
    std::uint64_t openSerial = 0;
    // Where the last entry's contents end in the input: reading them also checks the
    // stream's own checksums, which follow.
    std::uint64_t contentsEnd = 0;
    // The contents read last (when not too large) and where they start: entries that share
    // their bytes are then served without seeking the stream back.
    std::uint64_t recentOffset = 0;
    std::string recent;
};

// A package archive: a set of named files with sizes, permissions and modification times,
// compressed as one stream. Every failure throws HException with a short message.
class PackageArchive : public QObject {
    Q_OBJECT

public:
    enum Algorithm { Zlib = 0, Bzip2 = 1 };
    // The sizes of the readers' and writers' longest names.
    static constexpr std::size_t kMaxNameLengthVersion1 = 1023;
    static constexpr std::size_t kMaxNameLengthVersion2 = 65535;

    explicit PackageArchive(QObject *parent = nullptr);
    ~PackageArchive() override;

    // Reads the header and table of contents of the archive that starts `startOffset`
    // bytes into the file at `path`. No flags are defined yet: pass 0. On failure the
    // archive is left empty and closed.
    void openArchive(const std::string &path, std::uint64_t startOffset = 0, unsigned flags = 0);
    // Drops every entry and closes the input.
    void clear();

    // Adds the file at `path` as `name`, or makes the entry of that name refer to it.
    PackageArchiveFile addFile(const std::string &path, const std::string &name);
    // Adds (or replaces) an entry whose contents are `bytes`.
    PackageArchiveFile addData(const std::string &name, std::string bytes);

    // The contents of an entry; they are kept in the entry once loaded.
    std::string fileData(const PackageArchiveFile &file);
    // Loads an entry's contents into the entry, where later reads find them without going
    // back to the (compressed) stream.
    void keepContents(const PackageArchiveFile &file);
    // Hands an entry's contents to `sink` piece by piece, without keeping them.
    using Sink = std::function<void(const char *data, std::size_t size)>;
    void readContents(const PackageArchiveFile &file, const Sink &sink);

    // Writes an entry to `destination` with its modification time and mode. The file is
    // written under a temporary name and renamed into place, so a failure leaves no partial
    // file and keeps one that was there. `written`, when given, sees every piece as it is
    // written, so that a caller can sum the file without reading it back.
    void extractFile(const PackageArchiveFile &file, const std::string &destination, bool overwrite,
                     const Sink &written = {});
    // Where an entry named `name` belongs below `directory`. Names that would land outside
    // it (absolute, or with a ".." component) or that name no file are refused.
    static std::string extractionPath(const std::string &directory, const std::string &name);
    // A name fit for a terminal: control characters shown as "?".
    static std::string displayName(const std::string &name);

    // The first entry whose name matches "*_package.xml", or a null handle.
    PackageArchiveFile findDescriptionFile() const;
    PackageArchiveFile findFile(const std::string &name) const;
    const std::vector<PackageArchiveFile> &files() const { return m_data.files; }

    // Writes every entry in the version and algorithm of the data, at `level` (clamped to
    // at most 9; negative means 7). The archive replaces `path` only once it is complete.
    void saveArchive(const std::string &path, int level = -1);

    PackageArchiveData &data() { return m_data; }
    const PackageArchiveData &data() const { return m_data; }
    int version() const { return m_data.version; }
    void setVersion(int version) { m_data.version = version; }
    int algorithm() const { return m_data.algorithm; }
    void setAlgorithm(int algorithm) { m_data.algorithm = algorithm; }
    int threads() const { return m_data.threads; }
    void setThreads(int threads) { m_data.threads = threads; }

signals:
    // While saving: bytes of contents written so far, of `total`.
    void progress(quint64 done, quint64 total);

protected:
    virtual std::unique_ptr<PackageArchiveIOFileInterface>
    openInputStream(int algorithm, PackageArchiveIOFile &file);
    virtual std::unique_ptr<PackageArchiveCompressedOutputFile>
    openOutputStream(int algorithm, PackageArchiveIOFile &file, int level);
    // A derived archive may keep its own bytes in front of the archive proper; these are
    // called right after the file is opened, before the magic.
    virtual void writeUserHeader(PackageArchiveIOFile &file);
    virtual void readUserHeader(PackageArchiveIOFile &file);

private:
    void readArchive(const std::string &path, std::uint64_t startOffset);
    std::vector<PackageArchiveFile> readTableOfContents(PackageArchiveIOFileInterface &input,
                                                        int version, std::uint32_t count,
                                                        std::uint64_t serial);
    void readArchiveEntry(const PackageArchiveFile &file, const Sink &sink);
    void writeArchive(PackageArchiveIOFile &file, int level);
    std::shared_ptr<PackageArchiveFile::Record> recordFor(const std::string &name);

    PackageArchiveData m_data;
};
