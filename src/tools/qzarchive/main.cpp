// qzarchive: creates, lists and unpacks package archives from the command line.

#include "core/hexception.h"
#include "packages/packagearchive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Option {
    const char *name; // "--level", "-C"
    bool takesValue;
};

struct Arguments {
    std::vector<std::pair<std::string, std::string>> options; // in the order given
    std::vector<std::string> positional;

    const std::string *option(const std::string &name) const {
        const std::string *found = nullptr;
        for (const auto &[key, value] : options)
            if (key == name)
                found = &value;
        return found;
    }
};

using Runner = int (*)(const Arguments &);

// More compressing threads than this only cost memory.
constexpr long kMaxThreads = 128;

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    std::vector<Option> options;
    int minimumArguments; // ARCHIVE included
    int maximumArguments; // -1: any number
    Runner run;
};

int runCreate(const Arguments &);
int runList(const Arguments &);
int runExtract(const Arguments &);
int runCat(const Arguments &);

// The one table behind dispatch, argument checks and help.
const Command kCommands[] = {
    {"create",
     "create ARCHIVE [--format 1|2] [--bzip2] [--level N] [--threads N] FILE...",
     "  Stores each FILE under its path as given (relative, \"/\" separators); a directory\n"
     "  stands for the files below it. The archive replaces ARCHIVE once it is complete.\n"
     "  --format 1|2  layout: 1, the older one (the default), or 2 (the default with --bzip2)\n"
     "  --bzip2       compress with bzip2 instead of zlib (format 2 only)\n"
     "  --level N     compression level 0 to 9 (default 7; larger values mean 9)\n"
     "  --threads N   compress on N threads (default: one per processor online); 1 writes\n"
     "                on one thread as before. The stream is the same for every reader.\n",
     {{"--format", true}, {"--bzip2", false}, {"--level", true}, {"--threads", true}},
     2,
     -1,
     runCreate},
    {"list",
     "list ARCHIVE",
     "  Prints one line per entry: mode in octal, size in bytes, modification time\n"
     "  (YYYY-MM-DD HH:MM:SS, UTC) and name.\n",
     {},
     1,
     1,
     runList},
    {"extract",
     "extract ARCHIVE [-C DIR] [--overwrite] [NAME...]",
     "  Writes every entry, or the entries named (a NAME may be a directory inside the\n"
     "  archive), below DIR (default: the current directory) with their times and modes.\n"
     "  Names that are absolute or contain \"..\" are refused.\n"
     "  -C DIR        extract below DIR, creating it when needed\n"
     "  --overwrite   replace files that exist (otherwise they are an error)\n",
     {{"-C", true}, {"--overwrite", false}},
     1,
     -1,
     runExtract},
    {"cat",
     "cat ARCHIVE NAME",
     "  Writes the contents of the entry NAME to standard output.\n",
     {},
     2,
     2,
     runCat},
};

void printUsage(std::FILE *out) {
    std::fprintf(out, "usage: qzarchive COMMAND ARCHIVE [ARGUMENTS...]\n\n"
                      "Creates, lists and unpacks package archives (.qzArchive).\n\n"
                      "commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  qzarchive %s\n", command.synopsis);
    std::fprintf(out, "\n'qzarchive COMMAND --help' describes a command; 'qzarchive --help' "
                      "prints this text.\n"
                      "Errors are printed as \"error: MESSAGE\" and exit with status 1.\n");
}

void printCommandHelp(const Command &command) {
    std::printf("usage: qzarchive %s\n\n%s", command.synopsis, command.description);
}

struct UsageError {
    std::string message;
};

Arguments parseArguments(const Command &command, int argc, char **argv) {
    Arguments result;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        std::string argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            result.positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = argument;
        std::string value;
        bool inlineValue = false;
        if (std::string::size_type equals = argument.find('=');
            argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            inlineValue = true;
        }
        auto known = std::find_if(command.options.begin(), command.options.end(),
                                  [&name](const Option &option) { return name == option.name; });
        if (known == command.options.end())
            throw UsageError{"unknown option " + argument + " for " + command.name};
        if (known->takesValue && !inlineValue) {
            if (i + 1 >= argc)
                throw UsageError{name + " needs a value"};
            value = argv[++i];
        } else if (!known->takesValue && inlineValue) {
            throw UsageError{name + " takes no value"};
        }
        result.options.emplace_back(name, value);
    }
    const int count = int(result.positional.size());
    if (count < command.minimumArguments ||
        (command.maximumArguments >= 0 && count > command.maximumArguments))
        throw UsageError{std::string("wrong number of arguments; usage: qzarchive ") +
                         command.synopsis};
    return result;
}

// Shows how far a long job has got, on a terminal only: piped output stays clean.
class Progress {
public:
    explicit Progress(std::string label) : m_label(std::move(label)), m_shown(isatty(2) == 1) {}
    ~Progress() { done(); }

    void update(unsigned long long done, unsigned long long total) {
        if (!m_shown)
            return;
        int percent = total ? int(done * 100 / total) : 100;
        if (percent == m_percent)
            return;
        m_percent = percent;
        std::fprintf(stderr, "\r%s %3d%%", m_label.c_str(), percent);
        std::fflush(stderr);
    }

    void done() {
        if (m_shown && m_percent >= 0)
            std::fprintf(stderr, "\r%*s\r", int(m_label.size()) + 5, "");
        m_percent = -1;
    }

private:
    std::string m_label;
    bool m_shown;
    int m_percent = -1;
};

// The name an argument is stored under: "/" separators, no "." or empty components.
std::string storedName(const std::string &path) {
    if (!path.empty() && path.front() == '/')
        throw HException("cannot store " + path + ": give a relative path");
    std::string name;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = std::min(path.find('/', start), path.size());
        std::string component = path.substr(start, end - start);
        if (component == "..")
            throw HException("cannot store " + path + ": \"..\" is not allowed in a name");
        if (!component.empty() && component != ".")
            name += (name.empty() ? "" : "/") + component;
        start = end + 1;
    }
    return name;
}

void warn(const std::string &message) {
    std::fflush(stdout);
    std::fprintf(stderr, "warning: %s\n", message.c_str());
}

// Whether `path` is `directory` or lies below it (both canonical).
bool isWithin(const std::filesystem::path &path, const std::filesystem::path &directory) {
    auto [end, unused] =
        std::mismatch(directory.begin(), directory.end(), path.begin(), path.end());
    return end == directory.end();
}

// The regular files an argument stands for, in a stable order. A symbolic link below a
// directory is stored (as the file it names) only when it stays inside that directory:
// an archive holds the tree given, not what links elsewhere reach.
std::vector<std::string> filesBelow(const std::string &path) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_directory(path, error))
        return {path};
    const fs::path root = fs::canonical(path, error);
    if (error)
        throw HException("cannot read directory " + path + ": " + error.message());
    std::vector<std::string> files, skipped;
    fs::recursive_directory_iterator it(path, error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code status;
        if (it->is_symlink(status)) {
            fs::path target = fs::canonical(it->path(), status);
            if (status || !isWithin(target, root)) {
                skipped.push_back("skipping " + it->path().string() +
                                  (status ? ": the link leads nowhere"
                                          : ": the link leads outside the tree being stored"));
                continue;
            }
        }
        if (it->is_regular_file(status))
            files.push_back(it->path().string());
    }
    if (error)
        throw HException("cannot read directory " + path + ": " + error.message());
    std::sort(skipped.begin(), skipped.end());
    for (const std::string &message : skipped)
        warn(message);
    std::sort(files.begin(), files.end());
    return files;
}

// An archive that is also an input, or is written inside a directory being stored, would
// contain itself.
void refuseSelfInclusion(const std::string &archivePath, const std::vector<std::string> &inputs) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path archive = fs::weakly_canonical(archivePath, error);
    if (error)
        return;
    for (const std::string &input : inputs) {
        const fs::path path = fs::weakly_canonical(input, error);
        if (error)
            continue;
        if (path == archive)
            throw HException("archive " + archivePath + " is also an input file");
        if (fs::is_directory(path, error) && isWithin(archive, path))
            throw HException("archive " + archivePath + " is inside the input directory " + input);
    }
}

int runCreate(const Arguments &arguments) {
    int format = 1;
    int algorithm = PackageArchive::Zlib;
    int level = -1;
    bool formatGiven = false;
    if (arguments.option("--bzip2")) {
        algorithm = PackageArchive::Bzip2;
        format = 2;
    }
    if (const std::string *value = arguments.option("--format")) {
        if (*value != "1" && *value != "2")
            throw UsageError{"--format must be 1 or 2, not '" + *value + "'"};
        format = *value == "1" ? 1 : 2;
        formatGiven = true;
    }
    if (formatGiven && format == 1 && algorithm == PackageArchive::Bzip2)
        throw UsageError{"--bzip2 needs format 2"};
    if (const std::string *value = arguments.option("--level")) {
        char *end = nullptr;
        errno = 0;
        long parsed = std::strtol(value->c_str(), &end, 10);
        if (value->empty() || *end || errno)
            throw UsageError{"--level needs a number, not '" + *value + "'"};
        level = int(std::clamp(parsed, -1L, 9L));
    }
    int threads = 0;
    if (const std::string *value = arguments.option("--threads")) {
        char *end = nullptr;
        errno = 0;
        long parsed = std::strtol(value->c_str(), &end, 10);
        if (value->empty() || *end || errno || parsed < 1 || parsed > kMaxThreads)
            throw UsageError{"--threads needs a number from 1 to " + std::to_string(kMaxThreads) +
                             ", not '" + *value + "'"};
        threads = int(parsed);
    }

    const std::string &archivePath = arguments.positional.front();
    PackageArchive archive;
    archive.setVersion(format);
    archive.setAlgorithm(algorithm);
    archive.setThreads(threads);
    refuseSelfInclusion(archivePath, std::vector<std::string>(arguments.positional.begin() + 1,
                                                              arguments.positional.end()));
    for (std::size_t i = 1; i < arguments.positional.size(); ++i) {
        for (const std::string &path : filesBelow(arguments.positional[i])) {
            std::string name = storedName(path);
            if (name.empty())
                throw HException("cannot store " + path + ": it names no file");
            archive.addFile(path, name);
        }
    }
    Progress progress("creating " + archivePath);
    QObject::connect(&archive, &PackageArchive::progress,
                     [&progress](quint64 done, quint64 total) { progress.update(done, total); });
    archive.saveArchive(archivePath, level);
    return 0;
}

std::string formatTime(std::uint32_t seconds) {
    std::time_t time = std::time_t(seconds);
    std::tm parts;
    char text[32] = "";
    if (gmtime_r(&time, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

int runList(const Arguments &arguments) {
    PackageArchive archive;
    archive.openArchive(arguments.positional.front());
    for (const PackageArchiveFile &file : archive.files())
        std::printf("%o %u %s %s\n", unsigned(file.mode()), unsigned(file.size()),
                    formatTime(file.modificationTime()).c_str(),
                    PackageArchive::displayName(file.name()).c_str());
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw HException("cannot write to standard output");
    // The table alone does not show a cut-off archive: the contents must reach as far as
    // the entries say, which reading the last of them proves.
    const PackageArchiveFile *last = nullptr;
    for (const PackageArchiveFile &file : archive.files())
        if (file.size() && (!last || std::uint64_t(file.offset()) + file.size() >
                                         std::uint64_t(last->offset()) + last->size()))
            last = &file;
    if (last)
        archive.readContents(*last, [](const char *, std::size_t) {});
    return 0;
}

bool selects(const std::string &wanted, const std::string &name) {
    return name == wanted ||
           (name.size() > wanted.size() && name.compare(0, wanted.size(), wanted) == 0 &&
            (wanted.back() == '/' || name[wanted.size()] == '/'));
}

void reportError(const std::string &message) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", message.c_str());
}

int runExtract(const Arguments &arguments) {
    PackageArchive archive;
    archive.openArchive(arguments.positional.front());
    const std::string *directoryOption = arguments.option("-C");
    const std::string directory = directoryOption ? *directoryOption : std::string();
    const bool overwrite = arguments.option("--overwrite") != nullptr;

    std::vector<PackageArchiveFile> chosen;
    if (arguments.positional.size() == 1) {
        chosen = archive.files();
    } else {
        // Every name must be found before anything is written.
        for (std::size_t i = 1; i < arguments.positional.size(); ++i) {
            const std::string &wanted = arguments.positional[i];
            bool found = false;
            for (const PackageArchiveFile &file : archive.files())
                if (!wanted.empty() && selects(wanted, file.name())) {
                    found = true;
                    if (std::find(chosen.begin(), chosen.end(), file) == chosen.end())
                        chosen.push_back(file);
                }
            if (!found)
                throw HException("cannot find " + wanted + " in archive");
        }
    }

    // In stream order: a seek back restarts the decompression from the beginning. Entries
    // sharing their start come longest first, so the others are read from what it left.
    std::stable_sort(
        chosen.begin(), chosen.end(), [](const PackageArchiveFile &a, const PackageArchiveFile &b) {
            return a.offset() != b.offset() ? a.offset() < b.offset() : a.size() > b.size();
        });
    unsigned long long total = 0, done = 0;
    for (const PackageArchiveFile &file : chosen)
        total += file.size();
    Progress progress("extracting " + arguments.positional.front());
    bool failed = false;
    // A file that cannot be written does not stop the others; the status tells.
    for (const PackageArchiveFile &file : chosen) {
        try {
            archive.extractFile(file, PackageArchive::extractionPath(directory, file.name()),
                                overwrite);
        } catch (const HException &error) {
            progress.done();
            reportError(error.message());
            failed = true;
        }
        done += file.size();
        progress.update(done, total);
    }
    return failed ? 1 : 0;
}

int runCat(const Arguments &arguments) {
    PackageArchive archive;
    archive.openArchive(arguments.positional[0]);
    const std::string &name = arguments.positional[1];
    PackageArchiveFile file = archive.findFile(name);
    if (!file)
        throw HException("cannot find " + name + " in archive");
    archive.readContents(file, [](const char *data, std::size_t size) {
        if (std::fwrite(data, 1, size, stdout) != size)
            throw HException("cannot write to standard output");
    });
    if (std::fflush(stdout) != 0)
        throw HException("cannot write to standard output");
    return 0;
}

bool isHelp(const char *argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    if (isHelp(argv[1]) || std::strcmp(argv[1], "help") == 0) {
        printUsage(stdout);
        return 0;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands)
        if (std::strcmp(argv[1], candidate.name) == 0)
            command = &candidate;
    if (!command) {
        reportError(std::string("unknown command '") + argv[1] +
                    "'; 'qzarchive --help' lists the commands");
        return 1;
    }
    for (int i = 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (isHelp(argv[i])) {
            printCommandHelp(*command);
            return 0;
        }
    try {
        return command->run(parseArguments(*command, argc - 2, argv + 2));
    } catch (const UsageError &error) {
        reportError(error.message);
    } catch (const HException &error) {
        reportError(error.message());
    } catch (const std::exception &error) {
        reportError(error.what());
    }
    return 1;
}
