#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The in-memory record of one package: what its description says, where its archive comes
// from, what is installed, and the action chosen for it.
struct PackageRecord {
    enum Kind {
        Cpu = 0,
        Board = 1,
        Library = 2,
        Core = 3,
        Staging = 4,
        OperatingSystem = 5,
        Other = 6
    };
    enum Action {
        NoAction = 0,
        Install = 1,
        DownloadOnly = 2,
        Remove = 3,
        Reinstall = 4,
        Update = 5
    };

    // One file the package put on disk; `fileName` may hold macros.
    struct InstalledFile {
        std::string fileName;
        std::uint32_t crc32 = 0;
    };

    std::string name;
    std::string title;
    std::string description;
    std::string version;
    std::string author;
    int kind = Other;
    std::string fileType;
    std::string installationDirectory;
    std::string installationDirectoryPrompt;
    std::string installationDirectoryGlobalMacroName;
    std::string buildVersion;
    std::string tovVersions;
    std::string cpuManufacturer, cpuName, cpuFamily;
    std::string boardManufacturer, boardName;
    bool legacy = false;
    std::vector<std::string> dependencies;

    // Where the archive comes from: its file name, URL (relative to the list), size and sums.
    std::string fileName;
    std::string url;
    std::uint64_t size = 0;
    std::string md5;
    std::string sha256;

    std::string installedVersion; // empty when not installed
    std::string latestVersion;    // from the available list
    std::vector<InstalledFile> installedFiles;
    int action = NoAction;

    bool isInstalled() const { return !installedVersion.empty() || !installedFiles.empty(); }
    bool hasUpdate() const;
    // The title, or one made from the device attributes when the description has none.
    std::string displayTitle() const;
    std::string displayDescription() const;
};

// Orders records by title, then by name so that equal titles still sort the same way.
struct PackageRecordTitleLess {
    bool operator()(const PackageRecord &a, const PackageRecord &b) const;
};

// Compares dotted versions number by number ("1.10" > "1.9", "1.0" == "1"); a segment that is
// not a number compares as text. Negative, zero or positive.
int compareVersions(std::string_view a, std::string_view b);

// The kind table: display names and "type" words.
std::string packageKindName(int kind);
std::string packageKindWord(int kind);
int packageKindFromWord(std::string_view word); // Other for an unknown word

std::string packageActionName(int action);

// Package names become file names: refuse the ones that could name something else.
bool isValidPackageName(std::string_view name);
// Throws HException("invalid package name: NAME") for a name that is not valid.
void checkPackageName(std::string_view name);

// "a;b;;c" -> {"a", "b", "c"}, and back.
std::vector<std::string> splitDependencies(std::string_view text);
std::string joinDependencies(const std::vector<std::string> &names);
