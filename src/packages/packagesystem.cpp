#include "packages/packagesystem.h"

#include "core/hexception.h"
#include "core/qtxlockfile.h"
#include "core/version.h"
#include "packages/packagearchive.h"
#include "packages/packagedescription.h"
#include "packages/packagefilescan.h"
#include "packages/packagesums.h"
#include "packages/packageuserinterface.h"

#include <QFile>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

const char kDescriptionSuffix[] = "_package.xml";
const char kListName[] = "available_packages.xml";
const char kLockName[] = ".lock";
const char kPackagesPrefix[] = "packages/";
const char kBackupSuffix[] = ".qzbackup-";
// How much of a package's contents an install keeps in memory between reading them all
// (before anything is written) and extracting them.
constexpr std::uint64_t kKeptContentsLimit = 256 << 20;

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// Whether `real` lies strictly below `base`, both canonical.
bool isBelow(const fs::path &real, const fs::path &base) {
    auto r = real.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++r) {
        if (b->empty())
            continue; // the trailing "" of a path ending in "/"
        if (r == real.end() || *r != *b)
            return false;
    }
    return r != real.end();
}

// Whether `path` lies below `root` once symbolic links in the existing part are followed.
bool isInside(const std::string &path, const std::string &root) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(fs::path(path), error);
    if (error)
        return false;
    const fs::path base = fs::weakly_canonical(fs::path(root), error);
    return !error && isBelow(real, base);
}

// isInside for the thousands of files of one package, which lie in a few directories: each
// directory is resolved once, and a file costs one lstat instead of a walk of its path.
class InsideCheck {
public:
    bool operator()(const std::string &path, const std::string &root) {
        const fs::path file(path);
        struct stat info;
        const bool plain =
            ::lstat(path.c_str(), &info) == 0 ? !S_ISLNK(info.st_mode) : errno == ENOENT;
        if (!plain) // where a link points is what counts
            return isInside(path, root);
        const std::optional<fs::path> &base = resolved(root);
        const std::optional<fs::path> &parent = resolved(file.parent_path().string());
        return base && parent && isBelow(*parent / file.filename(), *base);
    }

private:
    const std::optional<fs::path> &resolved(const std::string &directory) {
        auto [it, added] = m_directories.try_emplace(directory);
        if (added) {
            std::error_code error;
            fs::path real = fs::weakly_canonical(fs::path(directory), error);
            if (!error)
                it->second = std::move(real);
        }
        return it->second;
    }

    std::map<std::string, std::optional<fs::path>> m_directories;
};

bool exists(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// The missing directories above `path`, outermost first.
std::vector<std::string> missingDirectories(const std::string &path) {
    std::vector<std::string> missing;
    for (fs::path dir = fs::path(path).parent_path(); !dir.empty() && dir != dir.root_path();
         dir = dir.parent_path()) {
        if (exists(dir.string()))
            break;
        missing.push_back(dir.string());
    }
    std::reverse(missing.begin(), missing.end());
    return missing;
}

bool isHttpUrl(const std::string &text) {
    return text.rfind("http://", 0) == 0 || text.rfind("https://", 0) == 0;
}

} // namespace

// One installation in progress: what the archive holds, where each entry goes, and what
// this run changed so that a failure or Cancel can undo it.
struct PackageSystem::Installation {
    std::string archivePath;
    PackageArchive archive;
    struct Entry {
        PackageArchiveFile file;
        std::string destination;
    };
    std::vector<Entry> entries;
    std::string installDirectory;

    std::vector<std::string> createdFiles;
    std::vector<std::string> createdDirectories;              // outermost first
    std::vector<std::pair<std::string, std::string>> backups; // original, backup

    void rollBack() {
        for (const std::string &file : createdFiles)
            ::unlink(file.c_str());
        for (const auto &[original, backup] : backups)
            ::rename(backup.c_str(), original.c_str());
        for (auto dir = createdDirectories.rbegin(); dir != createdDirectories.rend(); ++dir)
            ::rmdir(dir->c_str());
        createdFiles.clear();
        backups.clear();
        createdDirectories.clear();
    }

    void commit() {
        for (const auto &[original, backup] : backups)
            ::unlink(backup.c_str());
        backups.clear();
    }
};

// Serialises installers across processes. Nested commands (an update installs) share the
// outermost command's lock.
class PackageSystem::InstallerLock {
public:
    explicit InstallerLock(PackageSystem &system) : m_system(system) {
        if (m_system.m_lockDepth++ > 0)
            return;
        const std::string &directory = m_system.m_settings.packagesDirectory;
        std::error_code ignored;
        fs::create_directories(directory, ignored);
        m_system.m_lock =
            std::make_unique<QTx::LockFile>(QString::fromStdString(directory + "/" + kLockName));
        if (!m_system.m_lock->lock(m_system.m_settings.lockTimeoutMs)) {
            m_system.m_lock.reset();
            --m_system.m_lockDepth;
            throw HException("another installer is using " + directory);
        }
    }
    ~InstallerLock() {
        if (--m_system.m_lockDepth == 0)
            m_system.m_lock.reset();
    }
    InstallerLock(const InstallerLock &) = delete;
    InstallerLock &operator=(const InstallerLock &) = delete;

private:
    PackageSystem &m_system;
};

bool PackageSystem::takeLock(std::optional<InstallerLock> &lock, const std::string &errorPrefix) {
    try {
        lock.emplace(*this);
        return true;
    } catch (const HException &e) {
        m_ui.error(errorPrefix + e.message());
        return false;
    }
}

std::map<std::string, PackageRecord> PackageSystem::availableByName() const {
    std::map<std::string, PackageRecord> available;
    for (PackageRecord &record : availablePackages())
        available.emplace(record.name, std::move(record));
    return available;
}

PackageSystem::PackageSystem(PackageSettings settings, PackageUserInterface &ui)
    : m_settings(std::move(settings)), m_ui(ui) {
    // Descriptions are matched by path: one spelling of the directory only.
    while (m_settings.packagesDirectory.size() > 1 && m_settings.packagesDirectory.back() == '/')
        m_settings.packagesDirectory.pop_back();
    m_macros.addSystemMacro("PackagesDir", m_settings.packagesDirectory,
                            "Path to the users packages directory.");
    while (!m_settings.sourceUrl.empty() && m_settings.sourceUrl.back() == '/')
        m_settings.sourceUrl.pop_back();
    m_downloader.setTimeout(m_settings.downloadTimeoutMs);
    m_downloader.setProgressHandler([this](const PackageDownloader::Progress &progress) {
        m_ui.progress(m_downloading, progress.bytes, progress.total, progress.rate);
    });
}

PackageSystem::~PackageSystem() = default;

void PackageSystem::cancel() {
    m_downloader.cancel();
}

std::string PackageSystem::downloadsDirectory() const {
    return m_settings.packagesDirectory + "/downloads";
}

std::string PackageSystem::descriptionPath(const std::string &name) const {
    return m_settings.packagesDirectory + "/" + name + kDescriptionSuffix;
}

std::string PackageSystem::listPath() const {
    return m_settings.packagesDirectory + "/" + kListName;
}

std::vector<PackageRecord> PackageSystem::installedPackages() const {
    std::vector<PackageRecord> records;
    std::error_code error;
    std::vector<std::string> paths;
    for (const auto &entry : fs::directory_iterator(m_settings.packagesDirectory, error)) {
        const std::string file = entry.path().filename().string();
        if (endsWith(file, kDescriptionSuffix) && entry.is_regular_file())
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string &path : paths) {
        try {
            PackageRecord record = PackageDescription::load(path, true).record();
            // The file name is the key: a description that names another package is not ours.
            if (path != descriptionPath(record.name))
                continue;
            record.installedVersion = record.version.empty() ? "0" : record.version;
            records.push_back(std::move(record));
        } catch (const HException &e) {
            m_ui.error(e.message());
        }
    }
    return records;
}

std::optional<PackageRecord> PackageSystem::installedPackage(const std::string &name) const {
    if (!isValidPackageName(name) || !exists(descriptionPath(name)))
        return std::nullopt;
    PackageRecord record = PackageDescription::load(descriptionPath(name), true).record();
    record.installedVersion = record.version.empty() ? "0" : record.version;
    return record;
}

std::vector<PackageRecord> PackageSystem::availablePackages() const {
    QFile file(QString::fromStdString(listPath()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parsePackageList(file.readAll().toStdString(), listPath());
}

std::vector<PackageRecord> PackageSystem::packageList() const {
    std::map<std::string, PackageRecord> byName;
    for (PackageRecord &record : availablePackages())
        byName.emplace(record.name, std::move(record));
    for (PackageRecord &installed : installedPackages()) {
        auto found = byName.find(installed.name);
        if (found == byName.end()) {
            byName.emplace(installed.name, std::move(installed));
        } else {
            found->second.installedVersion = installed.installedVersion;
            found->second.installedFiles = std::move(installed.installedFiles);
        }
    }
    std::vector<PackageRecord> records;
    for (auto &[name, record] : byName)
        records.push_back(std::move(record));
    std::sort(records.begin(), records.end(), PackageRecordTitleLess());
    return records;
}

void PackageSystem::refresh() {
    if (m_settings.sourceDirectory.empty() && m_settings.sourceUrl.empty())
        throw HException("no package source given");
    InstallerLock lock(*this);
    std::string text;
    if (!m_settings.sourceUrl.empty()) {
        const std::string url = m_settings.sourceUrl + "/" + kListName;
        PackageDownloader::Request request;
        request.url = url;
        request.destination = downloadsDirectory() + "/" + kListName;
        request.name = kListName;
        request.verify = false;
        m_downloading = kListName;
        const PackageDownloader::Result got = m_downloader.download(request);
        if (got.status == PackageDownloader::Result::Cancelled)
            throw HException("download of the package list cancelled");
        if (got.status != PackageDownloader::Result::Done)
            throw HException("cannot download package list " + url + " (" + got.reason + ")");
        QFile file(QString::fromStdString(request.destination));
        if (!file.open(QIODevice::ReadOnly))
            throw HException("cannot read package list " + request.destination);
        text = file.readAll().toStdString();
        file.close();
        file.remove();
        // Stored with absolute URLs: later commands need not name the source again.
        std::vector<PackageRecord> records = parsePackageList(text, url);
        const QUrl base(QString::fromStdString(url));
        for (PackageRecord &record : records)
            if (!record.url.empty())
                record.url = base.resolved(QUrl(QString::fromStdString(record.url)))
                                 .toString()
                                 .toStdString();
        text = writePackageList(records);
    } else {
        const std::string source = m_settings.sourceDirectory + "/" + kListName;
        QFile file(QString::fromStdString(source));
        if (!file.open(QIODevice::ReadOnly))
            throw HException("cannot read package list " + source);
        text = file.readAll().toStdString();
        parsePackageList(text, source); // a broken list must not replace a good one
    }
    if (!writeFileAtomically(listPath(), text))
        throw HException("cannot write package list " + listPath());
}

std::optional<std::string> PackageSystem::incompatibility(const PackageRecord &record) {
    if (!record.buildVersion.empty() && compareVersions(kReleaseString, record.buildVersion) < 0)
        return record.buildVersion;
    const std::vector<std::string> versions = splitDependencies(record.tovVersions);
    if (versions.empty())
        return std::nullopt;
    // Each listed version is a release prefix: "1" takes every 1.x, "1.0" every 1.0.x.
    for (const std::string &version : versions) {
        std::string_view release = kReleaseString;
        const std::size_t segments = std::count(version.begin(), version.end(), '.') + 1;
        std::size_t cut = 0;
        for (std::size_t i = 0; i < segments && cut != std::string_view::npos; ++i)
            cut = release.find('.', cut == 0 && i == 0 ? 0 : cut + 1);
        if (compareVersions(release.substr(0, cut), version) == 0)
            return std::nullopt;
    }
    return std::string();
}

std::string PackageSystem::rewriteTovanDir(const std::string &text, const std::string &directory) {
    static const std::string reference = "$(TovanDir)/";
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(reference); at != std::string::npos;
         at = text.find(reference, at + 1)) {
        const char before = at == 0 ? ' ' : text[at - 1];
        if (at != 0 && before != ' ' && before != '\t' && before != '\n' && before != '\r' &&
            before != '"' && before != '>' && before != ';')
            continue;
        out.append(text, from, at - from);
        out += directory;
        from = at + reference.size() - 1; // keep the "/"
    }
    out.append(text, from, std::string::npos);
    return out;
}

bool PackageSystem::isSystemRecord(const std::string &path) const {
    const fs::path file = fs::path(path).lexically_normal();
    const fs::path root = fs::path(m_settings.packagesDirectory).lexically_normal();
    const fs::path relative = file.lexically_relative(root);
    if (relative.empty() || *relative.begin() == "..")
        return false;
    const std::string first = relative.begin()->string();
    if (first == "downloads" || first == kListName || first == kLockName)
        return true;
    return std::distance(relative.begin(), relative.end()) == 1 &&
           (endsWith(first, kDescriptionSuffix) || first.front() == '.');
}

PackageSystem::Result PackageSystem::installFile(const std::string &archivePath) {
    std::optional<InstallerLock> lock;
    if (!takeLock(lock, "Package installation error: "))
        return Result::Failed;
    Installation installation;
    installation.archivePath = archivePath;
    const Result result = install(installation);
    if (result == Result::Cancelled)
        m_ui.error("Package installation cancelled");
    return result;
}

PackageSystem::Result PackageSystem::install(Installation &in) {
    PackageDescription description;
    PackageRecord record;
    std::optional<PackageRecord> previous; // the version this one replaces
    try {
        in.archive.openArchive(in.archivePath);
        const PackageArchiveFile descriptionFile = in.archive.findDescriptionFile();
        if (!descriptionFile)
            throw HException("cannot open package description file: " + in.archivePath);
        description =
            PackageDescription::parse(in.archive.fileData(descriptionFile),
                                      in.archivePath + ":" + descriptionFile.name(), false);
        record = description.record();
        checkPackageName(record.name);
        try {
            previous = installedPackage(record.name);
        } catch (const HException &) {
            // An unreadable old description records nothing that could be cleaned up.
        }

        if (const std::optional<std::string> required = incompatibility(record)) {
            std::string question =
                required->empty()
                    ? "The package you are installing is incompatible with this release of "
                      "Palindor.\n"
                    : "The package you are installing is incompatible with this release of "
                      "Palindor -\nversion " +
                          *required + " is required.\n";
            question += "We recommend that you terminate the installation as it is unlikely "
                        "that the\npackage will function correctly.\nContinue [Y/n]?\n";
            if (!m_ui.confirm(question))
                return Result::Cancelled;
        }

        std::string directory = record.installationDirectory.empty()
                                    ? m_settings.packagesDirectory + "/" + record.name
                                    : m_macros.globalExpand(record.installationDirectory);
        if (!record.installationDirectoryPrompt.empty()) {
            std::optional<std::string> answer =
                m_ui.askText(record.installationDirectoryPrompt, directory);
            if (!answer)
                return Result::Cancelled;
            directory = *answer;
        }
        if (directory.empty() || directory.front() != '/' ||
            directory.find("$(") != std::string::npos)
            throw HException("invalid installation directory: " +
                             PackageArchive::displayName(directory));
        in.installDirectory = fs::path(directory).lexically_normal().string();
        while (in.installDirectory.size() > 1 && in.installDirectory.back() == '/')
            in.installDirectory.pop_back();
        if (!record.installationDirectoryGlobalMacroName.empty())
            m_macros.setGlobalMacro(record.installationDirectoryGlobalMacroName,
                                    in.installDirectory);

        // Every name is checked and every byte read before anything is written.
        std::set<std::string> seen;
        InsideCheck isInsideRoot;
        for (const PackageArchiveFile &file : in.archive.files()) {
            if (file == descriptionFile)
                continue;
            const std::string &name = file.name();
            const bool toPackages = name.rfind(kPackagesPrefix, 0) == 0;
            const std::string root =
                toPackages ? m_settings.packagesDirectory : in.installDirectory;
            const std::string destination = PackageArchive::extractionPath(
                root, toPackages ? name.substr(sizeof kPackagesPrefix - 1) : name);
            if (isSystemRecord(destination) || !isInsideRoot(destination, root))
                throw HException("refusing to extract \"" + PackageArchive::displayName(name) +
                                 "\": it would replace a file outside the package");
            if (!seen.insert(fs::path(destination).lexically_normal().string()).second)
                throw HException("refusing to extract \"" + PackageArchive::displayName(name) +
                                 "\": named twice");
            in.entries.push_back({file, destination});
        }
        // What is read here is kept, within reason, so that extracting it does not
        // decompress the archive a second time.
        std::uint64_t kept = 0;
        for (const Installation::Entry &entry : in.entries) {
            if (kept + entry.file.size() <= kKeptContentsLimit) {
                in.archive.keepContents(entry.file);
                kept += entry.file.size();
            } else {
                in.archive.readContents(entry.file, [](const char *, std::size_t) {});
            }
        }
    } catch (const HException &e) {
        m_ui.error("Package installation error: " + e.message());
        return Result::Failed;
    }

    struct stat archiveInfo;
    const time_t packageTime = ::stat(in.archivePath.c_str(), &archiveInfo) == 0
                                   ? archiveInfo.st_mtime
                                   : std::numeric_limits<time_t>::max();
    std::optional<PackageUserInterface::Overwrite> policy;
    std::set<fs::path> seenDirectories;
    std::vector<PackageRecord::InstalledFile> installed;
    std::string current;
    try {
        for (const Installation::Entry &entry : in.entries) {
            current = entry.destination;
            struct stat info;
            if (::lstat(entry.destination.c_str(), &info) == 0) {
                if (S_ISDIR(info.st_mode))
                    throw HException("a directory is in the way");
                if (info.st_mtime > packageTime) {
                    PackageUserInterface::Overwrite answer =
                        policy ? *policy : m_ui.askOverwrite(entry.destination);
                    if (answer == PackageUserInterface::Overwrite::All ||
                        answer == PackageUserInterface::Overwrite::None)
                        policy = answer;
                    if (answer == PackageUserInterface::Overwrite::Cancel) {
                        in.rollBack();
                        return Result::Cancelled;
                    }
                    if (answer == PackageUserInterface::Overwrite::No ||
                        answer == PackageUserInterface::Overwrite::None)
                        continue;
                }
                // A hard link keeps the old contents while the new file is renamed over it;
                // a name already taken is never reused, so no file of the user's is lost.
                std::string backup;
                for (int attempt = 0; backup.empty() && attempt < 100; ++attempt) {
                    const std::string candidate = entry.destination + kBackupSuffix +
                                                  std::to_string(::getpid()) + "-" +
                                                  std::to_string(attempt);
                    if (::link(entry.destination.c_str(), candidate.c_str()) == 0)
                        backup = candidate;
                    else if (errno != EEXIST)
                        break;
                }
                if (backup.empty())
                    throw HException("cannot keep a copy of the existing file");
                in.backups.emplace_back(entry.destination, backup);
            } else {
                // A directory already seen exists, or is created with the file before it.
                if (seenDirectories.insert(fs::path(entry.destination).parent_path()).second)
                    for (std::string &dir : missingDirectories(entry.destination))
                        in.createdDirectories.push_back(std::move(dir));
                in.createdFiles.push_back(entry.destination);
            }
            PackageFileScan scan;
            in.archive.extractFile(
                entry.file, entry.destination, true,
                [&scan](const char *data, std::size_t size) { scan.add(data, size); });

            // Text files that point into the environment's own directory are pointed at the
            // installed copy instead.
            std::uint32_t crc = scan.crc32();
            if (scan.referencesTovanDir() && entry.file.size() <= 16u << 20) {
                QFile file(QString::fromStdString(entry.destination));
                const std::string text =
                    file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
                if (text.size() != entry.file.size()) // never rewrite from a short read
                    throw HException("cannot read back");
                const std::string rewritten = rewriteTovanDir(text, in.installDirectory);
                if (rewritten != text && !writeFileAtomically(entry.destination, rewritten))
                    throw HException("cannot rewrite");
                ::chmod(entry.destination.c_str(), entry.file.mode() & 07777 & ~06000);
                crc = std::uint32_t(crc32_z(0, reinterpret_cast<const Bytef *>(rewritten.data()),
                                            rewritten.size()));
            }
            installed.push_back({entry.destination, crc});
        }
    } catch (const HException &) {
        in.rollBack();
        m_ui.error("Cannot create file '" + PackageArchive::displayName(current) + "'");
        m_ui.error("Package installation error: cannot create " +
                   PackageArchive::displayName(current));
        return Result::Failed;
    }

    // The description goes last: until it is written nothing claims the files.
    description.setAttribute("name", record.name);
    description.setAttribute("installation_directory", in.installDirectory);
    description.setAttribute("filetype", "package");
    description.setInstalledFiles(installed);
    const std::string path = descriptionPath(record.name);
    if (!writeFileAtomically(path, description.toXml())) {
        in.rollBack();
        m_ui.error("Package installation error: " +
                   std::string(exists(path) ? "cannot overwrite package description file "
                                            : "cannot write package description file ") +
                   path);
        return Result::Failed;
    }
    in.commit();
    if (previous) {
        std::vector<std::string> kept;
        for (const PackageRecord::InstalledFile &file : installed)
            kept.push_back(file.fileName);
        try {
            removeFiles(*previous, kept);
        } catch (const HException &e) {
            m_ui.error(e.message()); // the new version is in place; a stale file stays
        }
    }
    m_ui.message("Installed package '" + record.name + "'");
    return Result::Done;
}

PackageSystem::Result PackageSystem::checkDownload(const PackageRecord &record,
                                                   const std::string &path) {
    const std::string name = record.fileName.empty() ? record.name : record.fileName;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        m_ui.error("Cannot download package (" + path + " does not exist)");
        return Result::Failed;
    }
    if (!m_settings.verifyDownloads)
        return Result::Done;
    const PackageSums got{std::uint64_t(info.st_size), fileMd5(path), fileSha256(path)};
    const PackageSumCheck check =
        checkPackageSums(name, {record.size, record.md5, record.sha256}, got);
    for (const std::string &line : check.errors)
        m_ui.error(line);
    if (!check.ok)
        return Result::Failed;
    m_ui.message(check.verified);
    return Result::Done;
}

std::optional<std::string> PackageSystem::fetch(const PackageRecord &record, Result &result,
                                                std::vector<std::string> &downloaded) {
    result = Result::Failed;
    if (record.url.empty()) {
        m_ui.error("cannot install package " + record.name + " as no URL has been specified");
        return std::nullopt;
    }
    std::string url;
    if (record.url.find("://") != std::string::npos)
        url = record.url;
    else if (!m_settings.sourceUrl.empty())
        url = QUrl(QString::fromStdString(m_settings.sourceUrl + "/"))
                  .resolved(QUrl(QString::fromStdString(record.url)))
                  .toString()
                  .toStdString();
    if (url.empty()) {
        if (m_settings.sourceDirectory.empty()) {
            m_ui.error("cannot install package " + record.name + " as it is not a local file");
            return std::nullopt;
        }
        const std::string path = m_settings.sourceDirectory + "/" + record.url;
        if ((result = checkDownload(record, path)) != Result::Done)
            return std::nullopt;
        return path;
    }
    if (!isHttpUrl(url)) {
        m_ui.error("Cannot download package (not an http or https URL: " +
                   PackageArchive::displayName(url) + ")");
        return std::nullopt;
    }

    // The list names the file; a name that is not a plain file name is not used as one.
    const bool plainName =
        isValidPackageName(record.fileName) &&
        (endsWith(record.fileName, ".qzPackage") || endsWith(record.fileName, ".qzArchive"));
    const std::string fileName = plainName ? record.fileName : record.name + ".qzPackage";
    const std::string path = downloadsDirectory() + "/" + fileName;
    // A verified copy from an earlier download (or --download-only) is used as it is.
    if (m_settings.verifyDownloads && exists(path)) {
        struct stat info;
        const PackageSums got{::stat(path.c_str(), &info) == 0 ? std::uint64_t(info.st_size) : 0,
                              fileMd5(path), fileSha256(path)};
        const PackageSumCheck check =
            checkPackageSums(fileName, {record.size, record.md5, record.sha256}, got);
        if (check.ok) {
            m_ui.message(check.verified);
            result = Result::Done;
            return path;
        }
    }
    PackageDownloader::Request request;
    request.url = url;
    request.destination = path;
    request.name = fileName;
    request.sums = {record.size, record.md5, record.sha256};
    request.verify = m_settings.verifyDownloads;
    m_downloading = fileName;
    const PackageDownloader::Result got = m_downloader.download(request);
    if (got.status == PackageDownloader::Result::Cancelled) {
        result = Result::Cancelled;
        return std::nullopt;
    }
    if (got.status != PackageDownloader::Result::Done) {
        for (const std::string &line : got.log)
            m_ui.error(line);
        if (got.log.empty())
            m_ui.error("Cannot download package (" + got.reason + ")");
        return std::nullopt;
    }
    downloaded.push_back(path);
    if (!got.verified.empty())
        m_ui.message(got.verified);
    result = Result::Done;
    return path;
}

PackageSystem::Result PackageSystem::installNames(const std::vector<std::string> &names,
                                                  bool downloadOnly) {
    std::optional<InstallerLock> lock;
    if (!takeLock(lock, "Package installation error: "))
        return Result::Failed;
    std::map<std::string, PackageRecord> available = availableByName();

    std::vector<std::string> files;   // local package files, in the order given
    std::vector<std::string> ordered; // list packages, dependencies first
    std::set<std::string> visited;
    for (const std::string &name : names) {
        if (endsWith(name, ".qzPackage") || endsWith(name, ".qzArchive") ||
            name.find('/') != std::string::npos) {
            if (!exists(name)) {
                m_ui.error("cannot install package " + name + " as it is not a local file");
                return Result::Failed;
            }
            files.push_back(name);
            continue;
        }
        if (!available.count(name)) {
            m_ui.error("cannot install package " + name + " as no URL has been specified");
            return Result::Failed;
        }
        // Depth first with an explicit stack; the visited set stops cycles.
        std::vector<std::pair<std::string, bool>> stack{{name, false}};
        while (!stack.empty()) {
            auto [current, expanded] = stack.back();
            stack.pop_back();
            if (expanded) {
                ordered.push_back(current);
                continue;
            }
            if (!visited.insert(current).second)
                continue;
            stack.emplace_back(current, true);
            const auto found = available.find(current);
            if (found == available.end())
                continue;
            for (const std::string &dependency : found->second.dependencies)
                if (!visited.count(dependency) &&
                    (available.count(dependency) || !installedPackage(dependency)))
                    stack.emplace_back(dependency, false);
        }
    }

    // Everything is fetched and verified before anything is installed: a failed or
    // cancelled download leaves the installed tree as it was.
    std::vector<std::string> archives;
    std::vector<std::string> downloaded; // by this command, deleted again on Cancel
    for (const std::string &name : ordered) {
        const auto found = available.find(name);
        const bool requested = std::find(names.begin(), names.end(), name) != names.end();
        if (found == available.end()) {
            if (!installedPackage(name)) {
                m_ui.error("cannot install package " + name + " as no URL has been specified");
                return Result::Failed;
            }
            continue;
        }
        if (!requested) {
            const std::optional<PackageRecord> present = installedPackage(name);
            if (present && compareVersions(present->version, found->second.version) >= 0)
                continue; // a dependency that is already there
        }
        Result result = Result::Failed;
        const std::optional<std::string> archive = fetch(found->second, result, downloaded);
        if (!archive) {
            if (result == Result::Cancelled) {
                for (const std::string &file : downloaded)
                    ::unlink(file.c_str());
                m_ui.error("Package installation cancelled");
            }
            return result;
        }
        archives.push_back(*archive);
    }
    if (downloadOnly) {
        for (const std::string &archive : archives)
            m_ui.message("Downloaded " + archive);
        return Result::Done;
    }
    archives.insert(archives.end(), files.begin(), files.end());
    for (const std::string &archive : archives) {
        const Result result = installFile(archive);
        if (result != Result::Done)
            return result;
        if (m_settings.deleteDownloads &&
            std::find(downloaded.begin(), downloaded.end(), archive) != downloaded.end())
            ::unlink(archive.c_str());
    }
    return Result::Done;
}

PackageSystem::Result PackageSystem::update(const std::vector<std::string> &names) {
    std::optional<InstallerLock> lock;
    if (!takeLock(lock, "Package installation error: "))
        return Result::Failed;
    std::map<std::string, PackageRecord> available = availableByName();
    std::vector<PackageRecord> installed = installedPackages();
    for (const std::string &name : names)
        if (std::none_of(installed.begin(), installed.end(),
                         [&](const PackageRecord &record) { return record.name == name; })) {
            m_ui.error("package " + PackageArchive::displayName(name) + " is not installed");
            return Result::Failed;
        }
    std::vector<std::string> updates;
    for (const PackageRecord &record : installed) {
        if (!names.empty() && std::find(names.begin(), names.end(), record.name) == names.end())
            continue;
        const auto found = available.find(record.name);
        if (found != available.end() &&
            compareVersions(found->second.version, record.installedVersion) > 0)
            updates.push_back(record.name);
    }
    if (updates.empty()) {
        m_ui.message("No updates available");
        return Result::Done;
    }
    return installNames(updates);
}

PackageSystem::Result
PackageSystem::checkSolutionPackages(const std::vector<std::string> &required) {
    std::vector<std::string> missing;
    for (const std::string &name : required)
        if (std::find(missing.begin(), missing.end(), name) == missing.end() &&
            !installedPackage(name))
            missing.push_back(name);
    if (missing.empty())
        return Result::Done;
    std::string warning = "<b>Warning:</b></font> The following required packages have not "
                          "been installed:<ul>";
    for (const std::string &name : missing)
        warning += "<li>" + PackageArchive::displayName(name) + "</li>";
    warning += "</ul>";
    m_ui.message(warning);
    if (!m_ui.confirm("Do you want to install the missing packages"))
        return Result::Cancelled;
    return installNames(missing);
}

PackageSystem::Result PackageSystem::remove(const std::vector<std::string> &names) {
    std::optional<InstallerLock> lock;
    if (!takeLock(lock, ""))
        return Result::Failed;
    std::vector<PackageRecord> installed = installedPackages();
    const auto find = [&](const std::string &name) -> const PackageRecord * {
        for (const PackageRecord &record : installed)
            if (record.name == name)
                return &record;
        return nullptr;
    };
    std::vector<const PackageRecord *> targets;
    for (const std::string &name : names) {
        const PackageRecord *record = find(name);
        if (!record) {
            m_ui.error("package " + PackageArchive::displayName(name) + " is not installed");
            return Result::Failed;
        }
        targets.push_back(record);
    }

    // Installed packages that need a target, directly or through others; each is visited
    // once, so cycles end.
    std::set<std::string> going(names.begin(), names.end());
    std::vector<const PackageRecord *> dependents;
    for (bool grew = true; grew;) {
        grew = false;
        for (const PackageRecord &record : installed) {
            if (going.count(record.name))
                continue;
            for (const std::string &dependency : record.dependencies)
                if (going.count(dependency)) {
                    going.insert(record.name);
                    dependents.push_back(&record);
                    grew = true;
                    break;
                }
        }
    }

    for (const PackageRecord *target : targets) {
        std::string question;
        if (dependents.empty()) {
            question = "Are you sure you want to remove " + target->name + "\n";
        } else {
            question = "You are removing the package \"" + target->name +
                       "\".\nThis package is required by the following installed packages:\n\n";
            for (const PackageRecord *dependent : dependents)
                question += dependent->name + "\n";
            question += "\nDo you want to remove these packages as well?\n\n"
                        "Click Yes to remove the dependent packages or click No to cancel "
                        "removal of package.\n";
        }
        if (!m_ui.confirm(question)) {
            m_ui.error("Package removal cancelled");
            return Result::Cancelled;
        }
    }

    try {
        for (const PackageRecord *record : dependents)
            removeOne(*record);
        for (const PackageRecord *record : targets)
            removeOne(*record);
    } catch (const HException &e) {
        m_ui.error(e.message());
        return Result::Failed;
    }
    return Result::Done;
}

void PackageSystem::removeOne(const PackageRecord &record) {
    removeFiles(record, {});
    const std::string description = descriptionPath(record.name);
    if (::unlink(description.c_str()) != 0)
        throw HException("cannot remove " + description);
    m_ui.message("Removed package '" + record.name + "'");
}

void PackageSystem::removeFiles(const PackageRecord &record, const std::vector<std::string> &keep) {
    const std::string root = record.installationDirectory;
    const bool usableRoot = !root.empty() && root.front() == '/' && root != "/";
    const std::set<std::string> kept(keep.begin(), keep.end());
    std::set<std::string, std::greater<>> directories; // deepest first
    for (const PackageRecord::InstalledFile &file : record.installedFiles) {
        const std::string path = m_macros.globalExpand(file.fileName);
        if (kept.count(path))
            continue;
        const bool inPackages = isInside(path, m_settings.packagesDirectory);
        if (!(usableRoot && isInside(path, root)) && !inPackages) {
            m_ui.error("not removing " + PackageArchive::displayName(path) +
                       ": outside the installation directory");
            continue;
        }
        if (isSystemRecord(path))
            continue;
        const std::optional<std::uint32_t> crc = fileCrc32(path);
        if (!crc)
            continue;
        if (*crc != file.crc32) {
            m_ui.message("kept modified file " + path);
            continue;
        }
        if (::unlink(path.c_str()) != 0)
            throw HException("cannot remove " + path);
        const std::string stop = inPackages ? m_settings.packagesDirectory : root;
        for (fs::path dir = fs::path(path).parent_path(); isInside(dir.string(), stop);
             dir = dir.parent_path())
            directories.insert(dir.string());
        if (!inPackages && usableRoot)
            directories.insert(root);
    }
    for (const std::string &dir : directories)
        ::rmdir(dir.c_str()); // only empty ones go
}

std::vector<PackageSystem::FileStatus>
PackageSystem::verify(const std::vector<std::string> &names) const {
    std::vector<PackageRecord> packages;
    if (names.empty()) {
        packages = installedPackages();
    } else {
        for (const std::string &name : names) {
            std::optional<PackageRecord> record = installedPackage(name);
            if (!record)
                throw HException("package " + PackageArchive::displayName(name) +
                                 " is not installed");
            packages.push_back(std::move(*record));
        }
    }
    std::vector<FileStatus> statuses;
    for (const PackageRecord &record : packages)
        for (const PackageRecord::InstalledFile &file : record.installedFiles) {
            const std::string path = m_macros.globalExpand(file.fileName);
            const std::optional<std::uint32_t> crc = fileCrc32(path);
            statuses.push_back({record.name, path,
                                !crc                 ? FileStatus::Missing
                                : *crc == file.crc32 ? FileStatus::Ok
                                                     : FileStatus::Modified});
        }
    return statuses;
}
