#include "packages/packagedescription.h"

#include "core/hexception.h"
#include "core/hexformat.h"
#include "core/replacementfile.h"
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"

#include "packages/packagedigest.h"

#include <charconv>
#include <fcntl.h>
#include <memory>
#include <sstream>
#include <unistd.h>
#include <zlib.h>

namespace {

const char kPackage[] = "package";
const char kInstalledFile[] = "installed_file";
constexpr std::size_t kHashChunk = 1 << 20;

// The first element named "package", the root included; the walk is iterative.
XMLElement *findPackageElement(XMLElement *root) {
    for (XMLNode *node = root; node; node = node->nextInTree(root)) {
        XMLElement *element = node->toElement();
        if (element && element->tagName() == kPackage)
            return element;
    }
    return nullptr;
}

std::string loadError(const std::string &source, const std::string &message, int line) {
    std::string text = "cannot load package description file: " + source + " - " + message;
    if (line > 0)
        text += " at line " + std::to_string(line);
    return text;
}

std::string attr(const XMLElement &element, const char *name) {
    return element.attributeOr(name);
}

PackageRecord recordFrom(const XMLElement &element) {
    PackageRecord record;
    record.name = attr(element, "name");
    record.title = attr(element, "title");
    record.description = attr(element, "description");
    record.version = attr(element, "version");
    record.author = attr(element, "author");
    record.kind = packageKindFromWord(attr(element, "type"));
    record.fileType = attr(element, "filetype");
    record.installationDirectory = attr(element, "installation_directory");
    record.installationDirectoryPrompt = attr(element, "installation_directory_prompt");
    record.installationDirectoryGlobalMacroName =
        attr(element, "installation_directory_global_macro_name");
    record.buildVersion = attr(element, "build_version");
    record.tovVersions = attr(element, "tov_versions");
    record.cpuManufacturer = attr(element, "cpu_manufacturer");
    record.cpuName = attr(element, "cpu_name");
    record.cpuFamily = attr(element, "cpu_family");
    record.boardManufacturer = attr(element, "board_manufacturer");
    record.boardName = attr(element, "board_name");
    const std::string legacy = attr(element, "legacy");
    record.legacy = legacy == "Yes" || legacy == "yes" || legacy == "1" || legacy == "true";
    record.dependencies = splitDependencies(attr(element, "dependencies"));
    return record;
}

void setIfPresent(XMLElement &element, const char *name, const std::string &value) {
    if (!value.empty())
        element.setAttribute(name, value);
}

std::uint64_t parseSize(const std::string &text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return value;
}

std::unique_ptr<XMLDocument> parseDocument(const std::string &text, const std::string &source) {
    auto document = std::make_unique<XMLDocument>();
    if (!document->parse(std::string_view(text)))
        throw HException(loadError(source, document->errorText(), document->errorLine()));
    return document;
}

} // namespace

PackageDescription::PackageDescription() = default;
PackageDescription::~PackageDescription() = default;
PackageDescription::PackageDescription(PackageDescription &&) noexcept = default;
PackageDescription &PackageDescription::operator=(PackageDescription &&) noexcept = default;

PackageDescription PackageDescription::parse(const std::string &text, const std::string &source,
                                             bool trustInstalledFiles) {
    PackageDescription description;
    description.m_document = parseDocument(text, source);
    description.m_package = findPackageElement(description.m_document->rootElement());
    if (!description.m_package)
        throw HException(loadError(source, "no package element", 0));
    if (!trustInstalledFiles)
        description.setInstalledFiles({});
    return description;
}

PackageDescription PackageDescription::load(const std::string &path, bool trustInstalledFiles) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw HException("cannot open package description file: " + path);
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(got));
    ::close(fd);
    if (got < 0)
        throw HException("cannot open package description file: " + path);
    return parse(text, path, trustInstalledFiles);
}

PackageRecord PackageDescription::record() const {
    PackageRecord record = recordFrom(*m_package);
    for (XMLElement *child = m_package->firstChildElement(); child;
         child = child->nextSiblingElement()) {
        if (child->tagName() != kInstalledFile)
            continue;
        PackageRecord::InstalledFile file;
        file.fileName = attr(*child, "file_name");
        file.crc32 = parseCrc32(attr(*child, "crc32")).value_or(0);
        if (!file.fileName.empty())
            record.installedFiles.push_back(std::move(file));
    }
    return record;
}

std::string PackageDescription::attribute(const std::string &name) const {
    return attr(*m_package, name.c_str());
}

void PackageDescription::setAttribute(const std::string &name, const std::string &value) {
    m_package->setAttribute(name, value);
}

void PackageDescription::setInstalledFiles(const std::vector<PackageRecord::InstalledFile> &files) {
    for (XMLNode *child = m_package->firstChild(); child;) {
        XMLNode *next = child->nextSibling();
        const XMLElement *element = child->toElement();
        if (element && element->tagName() == kInstalledFile)
            m_package->removeChild(child);
        child = next;
    }
    for (const PackageRecord::InstalledFile &file : files) {
        auto element = m_document->mkXMLElement(kInstalledFile);
        element->setAttribute("file_name", file.fileName);
        element->setAttribute("crc32", crc32Text(file.crc32));
        m_package->appendChild(std::move(element));
    }
}

std::string PackageDescription::toXml() const {
    std::ostringstream out;
    m_document->write(out, m_document->indentation(), m_document->wrapWidth());
    return out.str();
}

std::vector<PackageRecord> parsePackageList(const std::string &text, const std::string &source) {
    XMLDocument document;
    if (!document.parse(std::string_view(text))) {
        std::string message = "cannot load package list " + source + " - " + document.errorText();
        if (document.errorLine() > 0)
            message += " at line " + std::to_string(document.errorLine());
        throw HException(message);
    }
    std::vector<PackageRecord> records;
    XMLElement *root = document.rootElement();
    for (XMLNode *node = root; node; node = node->nextInTree(root)) {
        XMLElement *element = node->toElement();
        if (!element || element->tagName() != kPackage)
            continue;
        PackageRecord record = recordFrom(*element);
        if (!isValidPackageName(record.name))
            continue; // a list entry we could never install or record
        record.fileName = attr(*element, "file_name");
        record.url = attr(*element, "url");
        record.size = parseSize(attr(*element, "size"));
        record.md5 = attr(*element, "md5");
        record.sha256 = attr(*element, "sha256");
        record.latestVersion = record.version;
        records.push_back(std::move(record));
    }
    return records;
}

std::string writePackageList(const std::vector<PackageRecord> &records) {
    XMLDocument document;
    document.setVersion("1.0");
    document.setEncoding("UTF-8");
    auto root = document.mkXMLElement("package_list");
    for (const PackageRecord &record : records) {
        auto element = document.mkXMLElement(kPackage);
        element->setAttribute("name", record.name);
        setIfPresent(*element, "title", record.title);
        setIfPresent(*element, "description", record.description);
        setIfPresent(*element, "version", record.version);
        setIfPresent(*element, "author", record.author);
        element->setAttribute("type", packageKindWord(record.kind));
        setIfPresent(*element, "dependencies", joinDependencies(record.dependencies));
        setIfPresent(*element, "cpu_manufacturer", record.cpuManufacturer);
        setIfPresent(*element, "cpu_name", record.cpuName);
        setIfPresent(*element, "cpu_family", record.cpuFamily);
        setIfPresent(*element, "board_manufacturer", record.boardManufacturer);
        setIfPresent(*element, "board_name", record.boardName);
        if (record.legacy)
            element->setAttribute("legacy", "Yes");
        element->setAttribute("file_name", record.fileName);
        element->setAttribute("url", record.url);
        element->setAttribute("size", std::to_string(record.size));
        element->setAttribute("md5", record.md5);
        element->setAttribute("sha256", record.sha256);
        root->appendChild(std::move(element));
    }
    document.setRootElement(std::move(root));
    std::ostringstream out;
    document.write(out, document.indentation(), document.wrapWidth());
    return out.str();
}

std::optional<std::uint32_t> fileCrc32(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    uLong crc = crc32(0L, Z_NULL, 0);
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer), uInt(got));
    ::close(fd);
    if (got < 0)
        return std::nullopt;
    return std::uint32_t(crc);
}

namespace {

std::string fileHash(const std::string &path, PackageDigest::Algorithm algorithm) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    PackageDigest hash(algorithm);
    std::unique_ptr<char[]> buffer(new char[kHashChunk]);
    ssize_t got;
    while ((got = ::read(fd, buffer.get(), kHashChunk)) > 0)
        hash.addData(buffer.get(), std::size_t(got));
    ::close(fd);
    return got < 0 ? std::string() : hash.hexResult();
}

} // namespace

std::string fileMd5(const std::string &path) {
    return fileHash(path, PackageDigest::Md5);
}

std::string fileSha256(const std::string &path) {
    return fileHash(path, PackageDigest::Sha256);
}

std::string crc32Text(std::uint32_t crc) {
    return hex8(crc);
}

std::optional<std::uint32_t> parseCrc32(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool writeFileAtomically(const std::string &path, const std::string &bytes) {
    ReplacementFile file(path);
    const int fd = file.create(0644);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) {
            ::close(file.releaseDescriptor());
            return false;
        }
        done += std::size_t(wrote);
    }
    if (::fsync(fd) != 0 || ::close(file.releaseDescriptor()) != 0)
        return false;
    return file.commit(true);
}
