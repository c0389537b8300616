// qzpackage: lists, installs, removes and verifies packages from the command line.

#include "core/hexception.h"
#include "core/userdirectories.h"
#include "core/version.h"
#include "packages/packagearchive.h"
#include "packages/packagedescription.h"
#include "packages/packagelink.h"
#include "packages/packagesystem.h"
#include "packages/packageuserinterface.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Arguments {
    std::map<std::string, std::string> options;
    std::vector<std::string> positional;
    bool has(const std::string &name) const { return options.count(name) != 0; }
};

using Runner = int (*)(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    std::vector<std::pair<const char *, bool>> options; // name, takes a value
    int minimumArguments;
    Runner run;
};

int runList(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runRefresh(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runInfo(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runInstall(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runUpdate(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runRemove(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runVerify(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runMakeList(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);
int runLink(const Arguments &, PackageSystem &, ConsolePackageUserInterface &);

// The one table behind dispatch, argument checks and help.
const Command kCommands[] = {
    {"list",
     "list [--available|--installed|--updates]",
     "  Prints one line per package: name, installed version, available version, title.\n",
     {{"--available", false}, {"--installed", false}, {"--updates", false}},
     0,
     runList},
    {"refresh",
     "refresh",
     "  Copies the source's available_packages.xml into the packages directory.\n",
     {},
     0,
     runRefresh},
    {"info", "info NAME", "  Prints what is known of one package.\n", {}, 1, runInfo},
    {"install",
     "install NAME|FILE... [--yes] [--overwrite ask|all|none] [--download-only] [--no-verify]",
     "  Installs packages from the source (with the packages they need) or package files.\n"
     "  --yes            answer every question yes (overwrite questions: all)\n"
     "  --overwrite      how to answer when a file newer than the package exists\n"
     "  --download-only  fetch and verify into DIR/downloads, install nothing\n"
     "  --no-verify      skip the size and sum checks of listed packages\n",
     {{"--yes", false}, {"--overwrite", true}, {"--download-only", false}, {"--no-verify", false}},
     1,
     runInstall},
    {"update",
     "update [NAME...] [--yes] [--overwrite ask|all|none] [--no-verify]",
     "  Installs the newer listed version of the named (or every) installed package.\n",
     {{"--yes", false}, {"--overwrite", true}, {"--no-verify", false}},
     0,
     runUpdate},
    {"remove",
     "remove NAME... [--yes]",
     "  Removes packages; files changed since installation are kept.\n",
     {{"--yes", false}},
     1,
     runRemove},
    {"verify",
     "verify [NAME...]",
     "  Checks every installed file: OK, MODIFIED or MISSING. Exit 1 when any is not OK.\n",
     {},
     0,
     runVerify},
    {"link",
     "link LINK [--yes]",
     "  Follows a package link: sw://install-package/NAME, sw://update-package/NAME,\n"
     "  sw://manage-packages, dynamic://packages/docs/NAME/FILE, dynamic://packages/status/,\n"
     "  dynamic://packages/all.\n",
     {{"--yes", false}, {"--overwrite", true}, {"--no-verify", false}},
     1,
     runLink},
    {"make-list",
     "make-list DIR [--base-url URL]",
     "  Writes DIR/available_packages.xml for the package files in DIR.\n",
     {{"--base-url", true}},
     1,
     runMakeList},
};

void printUsage(std::FILE *out) {
    std::fprintf(out, "usage: qzpackage [--dir DIR] [--source URL|DIR] COMMAND [ARGS]\n\n"
                      "  --dir DIR         the packages directory (default ~/.palindor/packages)\n"
                      "  --source URL|DIR  where available_packages.xml and package files are\n"
                      "                    (an http or https URL, or a directory)\n\n"
                      "commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  %s\n%s", command.synopsis, command.description);
}

int runList(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &) {
    for (const PackageRecord &record : system.packageList()) {
        if (args.has("--installed") && !record.isInstalled())
            continue;
        if (args.has("--available") && record.latestVersion.empty())
            continue;
        if (args.has("--updates") && !record.hasUpdate())
            continue;
        std::printf("%-24s %-10s %-10s %s\n", record.name.c_str(),
                    record.installedVersion.empty() ? "-" : record.installedVersion.c_str(),
                    record.latestVersion.empty() ? "-" : record.latestVersion.c_str(),
                    record.displayTitle().c_str());
    }
    return 0;
}

int runRefresh(const Arguments &, PackageSystem &system, ConsolePackageUserInterface &) {
    system.refresh();
    return 0;
}

int runInfo(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &) {
    for (const PackageRecord &record : system.packageList()) {
        if (record.name != args.positional[0])
            continue;
        std::printf("name: %s\ntitle: %s\nkind: %s\nversion: %s\ninstalled: %s\n"
                    "dependencies: %s\ndescription: %s\n",
                    record.name.c_str(), record.displayTitle().c_str(),
                    packageKindName(record.kind).c_str(),
                    (record.latestVersion.empty() ? record.version : record.latestVersion).c_str(),
                    record.installedVersion.empty() ? "no" : record.installedVersion.c_str(),
                    joinDependencies(record.dependencies).c_str(),
                    record.displayDescription().c_str());
        return 0;
    }
    throw HException("unknown package: " + PackageArchive::displayName(args.positional[0]));
}

void applyAnswers(const Arguments &args, ConsolePackageUserInterface &ui) {
    ui.setAssumeYes(args.has("--yes"));
    if (args.has("--overwrite")) {
        const std::string &policy = args.options.at("--overwrite");
        if (policy == "all")
            ui.setOverwritePolicy(PackageUserInterface::Overwrite::All);
        else if (policy == "none")
            ui.setOverwritePolicy(PackageUserInterface::Overwrite::None);
        else if (policy != "ask")
            throw HException("--overwrite takes ask, all or none");
    } else if (args.has("--yes")) {
        ui.setOverwritePolicy(PackageUserInterface::Overwrite::All);
    }
}

int runInstall(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &ui) {
    applyAnswers(args, ui);
    return system.installNames(args.positional, args.has("--download-only")) ==
                   PackageSystem::Result::Done
               ? 0
               : 1;
}

int runUpdate(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &ui) {
    applyAnswers(args, ui);
    return system.update(args.positional) == PackageSystem::Result::Done ? 0 : 1;
}

int runLink(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &ui) {
    const std::optional<PackageLink> link = PackageLink::parse(args.positional[0]);
    if (!link)
        throw HException("not a package link: " + PackageArchive::displayName(args.positional[0]));
    applyAnswers(args, ui);
    switch (link->kind) {
    case PackageLink::InstallPackage:
        return system.installNames({link->package}) == PackageSystem::Result::Done ? 0 : 1;
    case PackageLink::UpdatePackage:
        return system.update({link->package}) == PackageSystem::Result::Done ? 0 : 1;
    case PackageLink::Documents: {
        const std::optional<PackageRecord> record = [&]() -> std::optional<PackageRecord> {
            for (const PackageRecord &candidate : system.installedPackages())
                if (candidate.name == link->package)
                    return candidate;
            return std::nullopt;
        }();
        if (!record)
            throw HException("package " + link->package + " is not installed");
        std::printf("%s/%s\n", record->installationDirectory.c_str(), link->document.c_str());
        return 0;
    }
    case PackageLink::Status: {
        Arguments installed;
        installed.options["--installed"];
        return runList(installed, system, ui);
    }
    case PackageLink::ManagePackages:
    case PackageLink::AllPackages:
        return runList({}, system, ui);
    }
    return 1;
}

int runRemove(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &ui) {
    ui.setAssumeYes(args.has("--yes"));
    return system.remove(args.positional) == PackageSystem::Result::Done ? 0 : 1;
}

int runVerify(const Arguments &args, PackageSystem &system, ConsolePackageUserInterface &) {
    static const char *const kWords[] = {"OK", "MODIFIED", "MISSING"};
    int status = 0;
    for (const PackageSystem::FileStatus &file : system.verify(args.positional)) {
        std::printf("%-8s %s\n", kWords[file.kind], file.path.c_str());
        if (file.kind != PackageSystem::FileStatus::Ok)
            status = 1;
    }
    return status;
}

int runMakeList(const Arguments &args, PackageSystem &, ConsolePackageUserInterface &) {
    namespace fs = std::filesystem;
    const std::string dir = args.positional[0];
    std::string base = args.has("--base-url") ? args.options.at("--base-url") : "";
    if (!base.empty() && base.back() != '/')
        base += '/';
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        const auto endsWith = [&](const char *suffix) {
            return name.size() > std::strlen(suffix) &&
                   name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0;
        };
        if (entry.is_regular_file() && (endsWith(".qzPackage") || endsWith(".qzArchive")))
            files.push_back(name);
    }
    if (error)
        throw HException("cannot read directory " + dir);
    std::sort(files.begin(), files.end());
    std::vector<PackageRecord> records;
    for (const std::string &name : files) {
        const std::string path = dir + "/" + name;
        PackageArchive archive;
        archive.openArchive(path);
        const PackageArchiveFile description = archive.findDescriptionFile();
        if (!description)
            throw HException("cannot open package description file: " + path);
        PackageRecord record =
            PackageDescription::parse(archive.fileData(description), path, false).record();
        checkPackageName(record.name);
        record.fileName = name;
        record.url = base + name;
        struct stat info;
        if (::stat(path.c_str(), &info) != 0)
            throw HException("cannot read " + path);
        record.size = std::uint64_t(info.st_size);
        record.md5 = fileMd5(path);
        record.sha256 = fileSha256(path);
        if (record.md5.empty() || record.sha256.empty())
            throw HException("cannot read " + path);
        records.push_back(std::move(record));
        std::printf("%s %s\n", record.name.c_str(), name.c_str());
    }
    const std::string list = dir + "/available_packages.xml";
    if (!writeFileAtomically(list, writePackageList(records)))
        throw HException("cannot write " + list);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv); // the downloader's thread runs an event loop
    std::vector<std::string> words(argv + 1, argv + argc);
    PackageSettings settings;
    settings.packagesDirectory = hiddenApplicationDirectory(kProductName) + "/packages";
    const Command *command = nullptr;
    Arguments args;
    try {
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::string &word = words[i];
            if (word == "--help" || word == "-h") {
                printUsage(stdout);
                return 0;
            }
            if (!command && (word == "--dir" || word == "--source")) {
                if (i + 1 >= words.size())
                    throw HException(word + " needs a value");
                const std::string &value = words[++i];
                if (word == "--dir")
                    settings.packagesDirectory = value;
                else if (value.rfind("http://", 0) == 0 || value.rfind("https://", 0) == 0)
                    settings.sourceUrl = value;
                else
                    settings.sourceDirectory = value;
                continue;
            }
            if (!command) {
                for (const Command &candidate : kCommands)
                    if (word == candidate.name)
                        command = &candidate;
                if (!command)
                    throw HException("unknown command: " + word);
                continue;
            }
            if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
                const auto option = std::find_if(command->options.begin(), command->options.end(),
                                                 [&](const auto &o) { return word == o.first; });
                if (option == command->options.end())
                    throw HException("unknown option for " + std::string(command->name) + ": " +
                                     word);
                if (option->second) {
                    if (i + 1 >= words.size())
                        throw HException(word + " needs a value");
                    args.options[word] = words[++i];
                } else {
                    args.options[word];
                }
                continue;
            }
            args.positional.push_back(word);
        }
        if (!command) {
            printUsage(stderr);
            return 1;
        }
        if (int(args.positional.size()) < command->minimumArguments)
            throw HException(std::string("usage: qzpackage ") + command->synopsis);
        // Installed descriptions record absolute paths, whatever the current directory.
        for (std::string *dir : {&settings.packagesDirectory, &settings.sourceDirectory})
            if (!dir->empty())
                *dir = std::filesystem::absolute(*dir).lexically_normal().string();
        if (args.has("--no-verify"))
            settings.verifyDownloads = false;
        ConsolePackageUserInterface ui(stdin, stdout, stderr);
        PackageSystem system(settings, ui);
        const int status = command->run(args, system, ui);
        std::fflush(stdout);
        return status;
    } catch (const std::exception &e) {
        std::fflush(stdout);
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
