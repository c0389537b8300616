// cc: the build's compiler driver. Turns the option words of compile, link and archive steps
// into a run of a GNU cross toolchain (arm-none-eabi- by default) and becomes that tool, so
// its output and exit status are the step's. Needs no Qt: it starts once per compile.

#include "core/version.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr char kDefaultPrefix[] = "arm-none-eabi-";
constexpr char kPrefixVariable[] = "PALINDOR_GNU_PREFIX";
constexpr char kLauncherVariable[] = "PALINDOR_COMPILER_LAUNCHER";

constexpr char kUsage[] =
    "Usage: cc [OPTION | FILE]...\n"
    "Runs the GNU cross toolchain for a compile, link or archive step of a build.\n"
    "\n"
    "The toolchain is named by its prefix: -gnu-prefix=PREFIX, else the environment\n"
    "variable PALINDOR_GNU_PREFIX, else arm-none-eabi- (RISC-V: riscv64-unknown-elf-).\n"
    "\n"
    "  -xc, -xc++, -xasm      the sources that follow are C, C++, assembly with the\n"
    "                         preprocessor; -xc++ also links with PREFIXg++\n"
    "  -Wc,OPT                OPT for the compiler (and the link: target options)\n"
    "  -Wa,OPT, -Wl,OPT       OPT for the assembler, the linker\n"
    "  -depend FILE           write the make-style list of included files to FILE\n"
    "  -we                    treat warnings as errors\n"
    "  -exceptions, -rtti     C++ exceptions, run-time type information (off without)\n"
    "  -l-                    link without the standard libraries and start files\n"
    "  -printf=LEVEL          printf support, e.g. int,float,width,wchar; with\n"
    "                         --specs=nano.specs floating point pulls in _printf_float\n"
    "  -scanf=LEVEL           scanf support, e.g. int,float,classes; with\n"
    "                         --specs=nano.specs floating point pulls in _scanf_float\n"
    "  -Rc,NAME, -Rd,NAME     compile code, initialised data into section NAME (and\n"
    "                         NAME.* for what the compiler puts in .text.*, .data.*)\n"
    "  -Rz,NAME, -Rk,NAME     the same for zeroed data (.bss), read-only data (.rodata)\n"
    "  -patch COMMAND         when the tool succeeded (the link), run COMMAND with\n"
    "                         /bin/sh; when it fails the output (-o) is removed\n"
    "  -ar                    archive the inputs into the library named by -o, afresh\n"
    "  -inputfiles FILE       read further inputs from FILE, one per line\n"
    "  -gnu-prefix=PREFIX     the toolchain prefix\n"
    "\n"
    "A compile runs behind the words of PALINDOR_COMPILER_LAUNCHER (one per line), such\n"
    "as ccache or distcc, which then see the compiler's own options.\n"
    "  --help                 show this text\n"
    "\n"
    "-D, -U, -I, -c, -o, -T, input files and any other word go to the tool unchanged.\n"
    "The tool's exit status is returned; 127 when it cannot be started.\n";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The sections the -R words rename, by the letter after -R.
struct SectionWord {
    char letter;
    const char *section;
};
constexpr SectionWord kSectionWords[] = {
    {'c', ".text"}, {'d', ".data"}, {'z', ".bss"}, {'k', ".rodata"}};

// The words of one run of the GNU tools, and what is done to its output after.
struct Translation {
    std::vector<std::string> command; // the program, then its arguments
    std::string removeFirst;          // an archive made afresh rather than updated
    std::string output;               // the file -o names
    std::string prefix;
    std::vector<std::pair<std::string, std::string>> renames; // section -> NAME, after a compile
    std::string patch;                                        // shell command, after a link
};

Translation translate(const std::vector<std::string> &words, std::string prefix,
                      const std::vector<std::string> &launcher) {
    bool compiles = false;
    bool object = false; // -c: the output is an object whose sections can be renamed
    bool archive = false;
    bool cpp = false;
    bool nano = false;
    for (const std::string &word : words) {
        compiles |= word == "-c" || word == "-S" || word == "-E";
        object |= word == "-c";
        archive |= word == "-ar";
        cpp |= word == "-xc++";
        nano |= word == "-Wc,--specs=nano.specs" || word == "--specs=nano.specs";
        if (startsWith(word, "-gnu-prefix="))
            prefix = word.substr(12);
    }

    bool exceptions = false;
    bool rtti = false;
    std::vector<std::pair<std::string, std::string>> renames;
    std::string patch;
    std::vector<std::string> out;
    std::string output;
    const auto value = [&](std::size_t &i) -> const std::string & {
        if (i + 1 == words.size())
            throw std::runtime_error(words[i] + " needs a value");
        return words[++i];
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (word == "-xc" || word == "-xc++" || word == "-xasm") {
            // A link compiles nothing; a language there would misread the objects.
            if (compiles)
                out.insert(out.end(), {"-x", word == "-xc"     ? "c"
                                             : word == "-xc++" ? "c++"
                                                               : "assembler-with-cpp"});
        } else if (startsWith(word, "-Wc,")) {
            if (word.size() > 4)
                out.push_back(word.substr(4));
        } else if (word == "-depend") {
            out.insert(out.end(), {"-MD", "-MP", "-MF", value(i)});
        } else if (word == "-we") {
            out.push_back("-Werror");
        } else if (word == "-exceptions") {
            exceptions = true;
        } else if (word == "-rtti") {
            rtti = true;
        } else if (word == "-l-") {
            out.push_back("-nostdlib");
        } else if (startsWith(word, "-printf=") || startsWith(word, "-scanf=")) {
            // The full C library formats everything; the reduced one needs its floating
            // point support pulled in.
            const bool printf = word[1] == 'p';
            const std::string level = "," + word.substr(printf ? 8 : 7) + ",";
            const bool floating = level.find(",float,") != std::string::npos ||
                                  level.find(",double,") != std::string::npos;
            if (nano && floating && !compiles)
                out.push_back(printf ? "-Wl,-u,_printf_float" : "-Wl,-u,_scanf_float");
        } else if (startsWith(word, "-R") && word.size() > 3 && word[3] == ',') {
            const SectionWord *section = nullptr;
            for (const SectionWord &entry : kSectionWords)
                if (entry.letter == word[2])
                    section = &entry;
            if (!section)
                throw std::runtime_error("unknown option " + word);
            const std::string name = word.substr(4);
            // objcopy reads "=" and "," in a new section name as its own syntax.
            if (name.find_first_of("=, \t\n") != std::string::npos)
                throw std::runtime_error("bad section name in " + word);
            // An empty name keeps the compiler's section; a link places, it renames nothing.
            if (!name.empty() && object)
                renames.emplace_back(section->section, name);
        } else if (word == "-patch") {
            patch = value(i);
        } else if (word == "-inputfiles") {
            out.push_back("@" + value(i));
        } else if (word == "-ar" || startsWith(word, "-gnu-prefix=")) {
        } else if (word == "-o") {
            output = value(i);
            out.insert(out.end(), {"-o", output});
        } else {
            out.push_back(word);
        }
    }

    Translation result;
    result.output = output;
    result.prefix = prefix;
    if (archive) {
        if (output.empty())
            throw std::runtime_error("-ar needs the library named with -o");
        result.command = {prefix + "ar", "rcs", output};
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] == "-o") {
                ++i;
            } else if (startsWith(out[i], "-")) {
                throw std::runtime_error("-ar takes no option " + out[i]);
            } else {
                result.command.push_back(out[i]);
            }
        }
        result.removeFirst = output;
        return result;
    }
    if (compiles)
        result.command = launcher;
    result.command.push_back(prefix + (cpp ? "g++" : "gcc"));
    if (cpp && compiles)
        result.command.insert(
            result.command.end(),
            {exceptions ? "-fexceptions" : "-fno-exceptions", rtti ? "-frtti" : "-fno-rtti"});
    result.command.insert(result.command.end(), out.begin(), out.end());
    if (!renames.empty() || !patch.empty()) {
        if (output.empty())
            throw std::runtime_error(std::string(renames.empty() ? "-patch" : "-R") +
                                     " needs the output named with -o");
        result.renames = std::move(renames);
        result.patch = std::move(patch);
    }
    return result;
}

// Runs a command and returns its exit status (128 + signal when killed, 127 when it could not
// be started, with the reason on standard error).
int runAndWait(const std::vector<std::string> &command) {
    std::vector<char *> arguments;
    for (const std::string &word : command)
        arguments.push_back(const_cast<char *>(word.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = -1;
    if (const int error =
            ::posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), environ)) {
        std::string text;
        for (const std::string &word : command)
            text += (text.empty() ? "" : " ") + word;
        std::fprintf(stderr, "Error starting process %s: %s\n", text.c_str(), std::strerror(error));
        return 127;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The names of the sections of an ELF object, or an error. Relocation sections are left out:
// they follow the section they belong to when it is renamed.
std::vector<std::string> sectionNames(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 52 ||
        bytes.compare(0, 4,
                      "\x7f"
                      "ELF") != 0 ||
        (bytes[4] != 1 && bytes[4] != 2) || (bytes[5] != 1 && bytes[5] != 2))
        throw std::runtime_error(path + " is not an ELF object");
    const bool wide = bytes[4] == 2;
    const bool little = bytes[5] == 1;
    const auto number = [&](std::uint64_t at, int size) -> std::uint64_t {
        if (at > bytes.size() || bytes.size() - at < std::uint64_t(size))
            throw std::runtime_error(path + " is a truncated ELF object");
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i) {
            const auto byte = std::uint8_t(bytes[at + (little ? size - 1 - i : i)]);
            value = value << 8 | byte;
        }
        return value;
    };
    const std::uint64_t headers = number(wide ? 0x28 : 0x20, wide ? 8 : 4);
    const std::uint64_t entry = number(wide ? 0x3A : 0x2E, 2);
    std::uint64_t count = number(wide ? 0x3C : 0x30, 2);
    std::uint64_t names = number(wide ? 0x3E : 0x32, 2);
    if (entry < (wide ? 0x40u : 0x28u))
        throw std::runtime_error(path + " has a bad section header size");
    const auto field = [&](std::uint64_t section, int at32, int at64, bool address) {
        return number(headers + section * entry + (wide ? at64 : at32), address && wide ? 8 : 4);
    };
    // Past 0xff00 sections the count and the string table's index live in section 0.
    if (count == 0)
        count = field(0, 0x14, 0x20, true);
    if (names == 0xffff)
        names = field(0, 0x18, 0x28, false);
    if (names >= count || count > bytes.size() / entry)
        throw std::runtime_error(path + " has a bad section table");
    const std::uint64_t strings = field(names, 0x10, 0x18, true);
    const std::uint64_t stringsSize = field(names, 0x14, 0x20, true);
    std::vector<std::string> result;
    for (std::uint64_t section = 1; section < count; ++section) {
        const std::uint64_t type = field(section, 0x04, 0x04, false);
        if (type == 4 || type == 9) // SHT_RELA, SHT_REL
            continue;
        const std::uint64_t name = field(section, 0x00, 0x00, false);
        if (name >= stringsSize || strings + name >= bytes.size())
            throw std::runtime_error(path + " has a bad section name");
        result.emplace_back(bytes.c_str() + strings + name);
    }
    return result;
}

// Renames the sections of a compiled object: SECTION becomes NAME and SECTION.x becomes
// NAME.x, which is what the generated linker scripts place for a section named NAME.
int renameSections(const Translation &translation) {
    std::vector<std::string> command{translation.prefix + "objcopy"};
    for (const std::string &section : sectionNames(translation.output)) {
        for (const auto &[from, to] : translation.renames) {
            if (section == from || startsWith(section, from + ".")) {
                command.push_back("--rename-section");
                command.push_back(section + "=" + to + section.substr(from.size()));
                break;
            }
        }
    }
    if (command.size() == 1)
        return 0;
    command.push_back(translation.output);
    return runAndWait(command);
}

} // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    for (const std::string &word : words) {
        if (word == "--help" || word == "-help") {
            std::printf("%s cc - Release %s\n%s", kProductName, kReleaseString, kUsage);
            return 0;
        }
    }
    if (words.empty()) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    const char *variable = std::getenv(kPrefixVariable);
    std::vector<std::string> launcher;
    if (const char *lines = std::getenv(kLauncherVariable)) {
        std::istringstream in(lines);
        for (std::string word; std::getline(in, word);)
            if (!word.empty())
                launcher.push_back(word);
    }
    Translation translation;
    try {
        translation = translate(words, variable && *variable ? variable : kDefaultPrefix, launcher);
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "cc: error: %s\n", error.what());
        return 1;
    }
    // An archive that is only updated keeps the members of objects that no longer exist.
    if (!translation.removeFirst.empty() && ::unlink(translation.removeFirst.c_str()) != 0 &&
        errno != ENOENT) {
        std::fprintf(stderr, "cc: error: cannot remove %s: %s\n", translation.removeFirst.c_str(),
                     std::strerror(errno));
        return 1;
    }
    if (!translation.renames.empty() || !translation.patch.empty()) {
        // The tool runs as a child, as something is done to its output after it.
        int status = runAndWait(translation.command);
        try {
            if (status == 0 && !translation.renames.empty())
                status = renameSections(translation);
        } catch (const std::runtime_error &error) {
            std::fprintf(stderr, "cc: error: %s\n", error.what());
            status = 1;
        }
        if (status == 0 && !translation.patch.empty())
            status = runAndWait({"/bin/sh", "-c", translation.patch});
        // Half done is not done: an unpatched program or an object with the compiler's
        // sections must not pass for current.
        if (status != 0)
            ::unlink(translation.output.c_str());
        return status;
    }
    std::vector<char *> arguments;
    for (std::string &word : translation.command)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    ::execvp(arguments[0], arguments.data());
    std::string command;
    for (const std::string &word : translation.command)
        command += (command.empty() ? "" : " ") + word;
    std::fprintf(stderr, "Error starting process %s: %s\n", command.c_str(), std::strerror(errno));
    return 127;
}
