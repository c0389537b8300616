#include "packages/packagesystem.h"

#include "core/hexception.h"
#include "core/version.h"
#include "packages/packagearchive.h"
#include "packages/packagedescription.h"
#include "packages/packageuserinterface.h"

#include <QFile>
#include <QLockFile>

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

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string lowerTrimmed(std::string text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.back()))
        text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && isSpace(text[start]))
        ++start;
    text.erase(0, start);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// Whether `path` lies below `root` once symbolic links in the existing part are followed.
bool isInside(const std::string &path, const std::string &root) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(fs::path(path), error);
    if (error)
        return false;
    const fs::path base = fs::weakly_canonical(fs::path(root), error);
    if (error)
        return false;
    auto r = real.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++r) {
        if (b->empty())
            continue; // the trailing "" of a path ending in "/"
        if (r == real.end() || *r != *b)
            return false;
    }
    return r != real.end();
}

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

class InstallerLock {
public:
    explicit InstallerLock(const std::string &directory)
        : m_lock(QString::fromStdString(directory + "/" + kLockName)) {
        std::error_code ignored;
        fs::create_directories(directory, ignored);
        m_lock.setStaleLockTime(0);
        if (!m_lock.tryLock(30000))
            throw HException("another installer is using " + directory);
    }

private:
    QLockFile m_lock;
};

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

PackageSystem::PackageSystem(PackageSettings settings, PackageUserInterface &ui)
    : m_settings(std::move(settings)), m_ui(ui) {
    // Descriptions are matched by path: one spelling of the directory only.
    while (m_settings.packagesDirectory.size() > 1 && m_settings.packagesDirectory.back() == '/')
        m_settings.packagesDirectory.pop_back();
    m_macros.addSystemMacro("PackagesDir", m_settings.packagesDirectory,
                            "Path to the users packages directory.");
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
    if (m_settings.sourceDirectory.empty())
        throw HException("no package source given");
    const std::string source = m_settings.sourceDirectory + "/" + kListName;
    QFile file(QString::fromStdString(source));
    if (!file.open(QIODevice::ReadOnly))
        throw HException("cannot read package list " + source);
    const std::string text = file.readAll().toStdString();
    parsePackageList(text, source); // a broken list must not replace a good one
    InstallerLock lock(m_settings.packagesDirectory);
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
    Installation installation;
    installation.archivePath = archivePath;
    const Result result = install(installation);
    if (result == Result::Cancelled)
        m_ui.error("Package installation cancelled");
    return result;
}

PackageSystem::Result PackageSystem::install(Installation &in) {
    std::optional<InstallerLock> lock;
    PackageDescription description;
    PackageRecord record;
    try {
        lock.emplace(m_settings.packagesDirectory);
        in.archive.openArchive(in.archivePath);
        const PackageArchiveFile descriptionFile = in.archive.findDescriptionFile();
        if (!descriptionFile)
            throw HException("cannot open package description file: " + in.archivePath);
        description =
            PackageDescription::parse(in.archive.fileData(descriptionFile),
                                      in.archivePath + ":" + descriptionFile.name(), false);
        record = description.record();
        checkPackageName(record.name);

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
        for (const PackageArchiveFile &file : in.archive.files()) {
            if (file == descriptionFile)
                continue;
            const std::string &name = file.name();
            const bool toPackages = name.rfind(kPackagesPrefix, 0) == 0;
            const std::string root =
                toPackages ? m_settings.packagesDirectory : in.installDirectory;
            const std::string destination = PackageArchive::extractionPath(
                root, toPackages ? name.substr(sizeof kPackagesPrefix - 1) : name);
            if (isSystemRecord(destination) || !isInside(destination, root))
                throw HException("refusing to extract \"" + PackageArchive::displayName(name) +
                                 "\": it would replace a file outside the package");
            if (!seen.insert(fs::path(destination).lexically_normal().string()).second)
                throw HException("refusing to extract \"" + PackageArchive::displayName(name) +
                                 "\": named twice");
            in.entries.push_back({file, destination});
        }
        for (const Installation::Entry &entry : in.entries)
            in.archive.readContents(entry.file, [](const char *, std::size_t) {});
    } catch (const HException &e) {
        m_ui.error("Package installation error: " + e.message());
        return Result::Failed;
    }

    struct stat archiveInfo;
    const time_t packageTime = ::stat(in.archivePath.c_str(), &archiveInfo) == 0
                                   ? archiveInfo.st_mtime
                                   : std::numeric_limits<time_t>::max();
    std::optional<PackageUserInterface::Overwrite> policy;
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
                for (std::string &dir : missingDirectories(entry.destination))
                    in.createdDirectories.push_back(std::move(dir));
                in.createdFiles.push_back(entry.destination);
            }
            in.archive.extractFile(entry.file, entry.destination, true);

            // Files that point into the environment's own directory are pointed at the
            // installed copy instead.
            if (entry.file.size() <= 16u << 20) {
                QFile file(QString::fromStdString(entry.destination));
                if (file.open(QIODevice::ReadOnly)) {
                    const std::string text = file.readAll().toStdString();
                    file.close();
                    if (text.find('\0') == std::string::npos &&
                        text.find("$(TovanDir)/") != std::string::npos) {
                        const std::string rewritten = rewriteTovanDir(text, in.installDirectory);
                        if (rewritten != text && !writeFileAtomically(entry.destination, rewritten))
                            throw HException("cannot rewrite");
                        ::chmod(entry.destination.c_str(), entry.file.mode() & 07777 & ~06000);
                    }
                }
            }
            const std::optional<std::uint32_t> crc = fileCrc32(entry.destination);
            if (!crc)
                throw HException("cannot read back");
            installed.push_back({entry.destination, *crc});
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
    m_ui.message("Installed package '" + record.name + "'");
    return Result::Done;
}

PackageSystem::Result PackageSystem::checkDownload(const PackageRecord &record,
                                                   const std::string &path) {
    if (!m_settings.verifyDownloads)
        return Result::Done;
    const std::string name = record.fileName.empty() ? record.name : record.fileName;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        m_ui.error("Cannot download package (" + path + " does not exist)");
        return Result::Failed;
    }
    if (record.size != 0 && std::uint64_t(info.st_size) != record.size) {
        m_ui.error("Incorrect size for " + name + " (expected " + std::to_string(record.size) +
                   " got " + std::to_string(info.st_size) + ")");
        m_ui.error("MD5 verification failed");
        return Result::Failed;
    }
    const std::string expected = lowerTrimmed(record.md5);
    if (expected.empty()) {
        m_ui.error("No MD5 sum given for " + name);
        m_ui.error("MD5 verification failed");
        return Result::Failed;
    }
    const std::string md5 = fileMd5(path);
    if (md5 != expected) {
        m_ui.error("Incorrect MD5 sum for " + name + " (expected " + expected + " got " + md5 +
                   ")");
        m_ui.error("MD5 verification failed");
        return Result::Failed;
    }
    m_ui.message("Verified correct MD5 sum for " + name + " (" + md5 + ")");
    const std::string sha = lowerTrimmed(record.sha256);
    if (!sha.empty()) {
        const std::string got = fileSha256(path);
        if (got != sha) {
            m_ui.error("Incorrect SHA-256 sum for " + name + " (expected " + sha + " got " + got +
                       ")");
            return Result::Failed;
        }
    }
    return Result::Done;
}

PackageSystem::Result PackageSystem::installNames(const std::vector<std::string> &names) {
    std::map<std::string, PackageRecord> available;
    for (PackageRecord &record : availablePackages())
        available.emplace(record.name, std::move(record));

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
        const PackageRecord &record = found->second;
        if (record.url.empty()) {
            m_ui.error("cannot install package " + name + " as no URL has been specified");
            return Result::Failed;
        }
        if (record.url.find("://") != std::string::npos || m_settings.sourceDirectory.empty()) {
            m_ui.error("cannot install package " + name + " as it is not a local file");
            return Result::Failed;
        }
        const std::string path = m_settings.sourceDirectory + "/" + record.url;
        if (Result result = checkDownload(record, path); result != Result::Done)
            return result;
        if (Result result = installFile(path); result != Result::Done)
            return result;
    }
    for (const std::string &file : files)
        if (Result result = installFile(file); result != Result::Done)
            return result;
    return Result::Done;
}

PackageSystem::Result PackageSystem::remove(const std::vector<std::string> &names) {
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
        InstallerLock lock(m_settings.packagesDirectory);
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
    const std::string root = record.installationDirectory;
    const bool usableRoot = !root.empty() && root.front() == '/' && root != "/";
    std::set<std::string, std::greater<>> directories; // deepest first
    for (const PackageRecord::InstalledFile &file : record.installedFiles) {
        const std::string path = m_macros.globalExpand(file.fileName);
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
    const std::string description = descriptionPath(record.name);
    if (::unlink(description.c_str()) != 0)
        throw HException("cannot remove " + description);
    m_ui.message("Removed package '" + record.name + "'");
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
