#pragma once

#include "packages/packagerecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class XMLDocument;
class XMLElement;

// A package description file: the first "package" element of an XML document, whose
// attributes describe the package and whose "installed_file" children, once installed,
// record each file put on disk with its CRC-32. Attributes this code does not know are kept.
class PackageDescription {
public:
    PackageDescription();
    ~PackageDescription();
    PackageDescription(PackageDescription &&) noexcept;
    PackageDescription &operator=(PackageDescription &&) noexcept;

    // Parses `text`; `source` names it in messages. Throws HException("cannot load package
    // description file: SOURCE - MESSAGE at line N") when it is not a description. With
    // `trustInstalledFiles` false (a description that came in an archive) the
    // "installed_file" records are dropped: removal must never act on what a download says.
    static PackageDescription parse(const std::string &text, const std::string &source,
                                    bool trustInstalledFiles);
    // The same for a file ("cannot open package description file: PATH").
    static PackageDescription load(const std::string &path, bool trustInstalledFiles);

    PackageRecord record() const;
    std::string attribute(const std::string &name) const;
    void setAttribute(const std::string &name, const std::string &value);
    void setInstalledFiles(const std::vector<PackageRecord::InstalledFile> &files);

    std::string toXml() const;

private:
    std::unique_ptr<XMLDocument> m_document;
    XMLElement *m_package = nullptr;
};

// The list of available packages: one "package" element per archive below a
// "package_list" root, with the description attributes and "file_name", "url" (relative to
// the list), "size", "md5" and "sha256".
std::vector<PackageRecord> parsePackageList(const std::string &text, const std::string &source);
std::string writePackageList(const std::vector<PackageRecord> &records);

// The CRC-32 of a file's contents; nothing when it cannot be read.
std::optional<std::uint32_t> fileCrc32(const std::string &path);
// Lower-case hexadecimal MD5 and SHA-256 sums of a file's contents; empty when it cannot be
// read.
std::string fileMd5(const std::string &path);
std::string fileSha256(const std::string &path);
// "%08x" and back; nothing for text that is not 1 to 8 hexadecimal digits.
std::string crc32Text(std::uint32_t crc);
std::optional<std::uint32_t> parseCrc32(std::string_view text);

// Writes `bytes` to `path` under a temporary name and renames it into place; false when
// either step fails, leaving what was there.
bool writeFileAtomically(const std::string &path, const std::string &bytes);
