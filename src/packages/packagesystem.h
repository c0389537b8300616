#pragma once

#include "packages/packagedownloader.h"
#include "packages/packagerecord.h"
#include "project/macroexpander.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PackageUserInterface;

namespace QTx {
class LockFile;
}

// The options the package system works with.
struct PackageSettings {
    std::string packagesDirectory; // $(PackagesDir): descriptions, the list, packages/ entries
    // Where available_packages.xml and the package files are: a directory, or the http(s)
    // URL of one. Relative package URLs in the list are taken from there.
    std::string sourceDirectory;
    std::string sourceUrl;
    bool verifyDownloads = true;
    bool deleteDownloads = false; // downloaded archives go once installed
    int downloadTimeoutMs = PackageDownloader::kDefaultTimeoutMs;
    int lockTimeoutMs = 300000; // how long an installer waits for another one
};

// Keeps the available and installed packages and installs, removes and verifies them. Every
// question and report goes through the user interface; nothing is left half installed.
class PackageSystem {
public:
    enum class Result { Done, Cancelled, Failed };

    struct FileStatus {
        enum Kind { Ok, Modified, Missing };
        std::string package;
        std::string path;
        Kind kind;
    };

    PackageSystem(PackageSettings settings, PackageUserInterface &ui);
    ~PackageSystem();

    const PackageSettings &settings() const { return m_settings; }
    MacroExpander &macros() { return m_macros; }

    // Every description file in the packages directory; unreadable ones are reported and
    // skipped.
    std::vector<PackageRecord> installedPackages() const;
    // The list kept in the packages directory (empty when there is none yet).
    std::vector<PackageRecord> availablePackages() const;
    // Available and installed packages merged by name, sorted by title.
    std::vector<PackageRecord> packageList() const;

    // Copies (or downloads) the source's list into the packages directory; a failure keeps
    // the previous one. Package URLs of a downloaded list are stored absolute.
    void refresh();

    // Installs a package archive. Errors are reported through the interface.
    Result installFile(const std::string &archivePath);
    // Installs packages by name from the available list (or local package files), with the
    // missing packages they depend on first. Every listed package is fetched and verified
    // before the first is installed; `downloadOnly` stops there.
    Result installNames(const std::vector<std::string> &names, bool downloadOnly = false);
    // Installs the newer listed version of the named (or every) installed package; files of
    // the old version that the new one no longer has are removed like on removal.
    Result update(const std::vector<std::string> &names);
    // A solution needs `required`: warns about the ones not installed and offers to install
    // them. Done when nothing is missing or they were installed.
    Result checkSolutionPackages(const std::vector<std::string> &required);
    // Ends a running download (from any thread); the command returns Cancelled.
    void cancel();
    // Removes installed packages, and on confirmation the installed packages needing them.
    Result remove(const std::vector<std::string> &names);
    // The state of every recorded file of the named (or all) installed packages.
    std::vector<FileStatus> verify(const std::vector<std::string> &names) const;

    // Whether this release can run a package; otherwise the version it requires (may be
    // empty when none is named).
    static std::optional<std::string> incompatibility(const PackageRecord &record);
    // Rewrites each "$(TovanDir)" reference that starts a path (after white space, a quote,
    // ">" or ";", or at the start) to `directory`, leaving the rest of the line alone.
    static std::string rewriteTovanDir(const std::string &text, const std::string &directory);

    std::string descriptionPath(const std::string &name) const;
    std::string listPath() const;
    std::string downloadsDirectory() const;

private:
    struct Installation;
    class InstallerLock;

    // Takes the installers' lock for one command; false after reporting why not.
    bool takeLock(std::optional<InstallerLock> &lock, const std::string &errorPrefix);
    std::map<std::string, PackageRecord> availableByName() const;

    Result install(Installation &installation);
    Result checkDownload(const PackageRecord &record, const std::string &path);
    // The local archive of a listed package, downloaded when it comes from a URL; nothing
    // after reporting why not.
    std::optional<std::string> fetch(const PackageRecord &record, Result &result,
                                     std::vector<std::string> &downloaded);
    bool isSystemRecord(const std::string &path) const;
    void removeOne(const PackageRecord &record);
    void removeFiles(const PackageRecord &record, const std::vector<std::string> &keep);
    std::optional<PackageRecord> installedPackage(const std::string &name) const;

    PackageSettings m_settings;
    PackageUserInterface &m_ui;
    MacroExpander m_macros;
    PackageDownloader m_downloader;
    std::string m_downloading; // the file the progress reports are about
    std::unique_ptr<QTx::LockFile> m_lock;
    int m_lockDepth = 0;
};
