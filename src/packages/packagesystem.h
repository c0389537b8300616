#pragma once

#include "packages/packagerecord.h"
#include "project/macroexpander.h"

#include <optional>
#include <string>
#include <vector>

class PackageUserInterface;

// The options the package system works with.
struct PackageSettings {
    std::string packagesDirectory; // $(PackagesDir): descriptions, the list, packages/ entries
    std::string sourceDirectory;   // holds available_packages.xml and the package files
    bool verifyDownloads = true;
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

    const PackageSettings &settings() const { return m_settings; }
    MacroExpander &macros() { return m_macros; }

    // Every description file in the packages directory; unreadable ones are reported and
    // skipped.
    std::vector<PackageRecord> installedPackages() const;
    // The list kept in the packages directory (empty when there is none yet).
    std::vector<PackageRecord> availablePackages() const;
    // Available and installed packages merged by name, sorted by title.
    std::vector<PackageRecord> packageList() const;

    // Copies the source's list into the packages directory; a failure keeps the previous one.
    void refresh();

    // Installs a package archive. Errors are reported through the interface.
    Result installFile(const std::string &archivePath);
    // Installs packages by name from the available list (or local package files), with the
    // missing packages they depend on first.
    Result installNames(const std::vector<std::string> &names);
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

private:
    struct Installation;

    Result install(Installation &installation);
    Result checkDownload(const PackageRecord &record, const std::string &path);
    bool isSystemRecord(const std::string &path) const;
    void removeOne(const PackageRecord &record);
    std::optional<PackageRecord> installedPackage(const std::string &name) const;

    PackageSettings m_settings;
    PackageUserInterface &m_ui;
    MacroExpander m_macros;
};
