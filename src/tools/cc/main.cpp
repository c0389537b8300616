// cc: the build's compiler driver. Turns the option words of compile, link and archive steps
// into a run of a GNU cross toolchain (arm-none-eabi- by default) and becomes that tool, so
// its output and exit status are the step's. Needs no Qt: it starts once per compile.

#include "core/version.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

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

// The words of one run of the GNU tools.
struct Translation {
    std::vector<std::string> command; // the program, then its arguments
    std::string removeFirst;          // an archive made afresh rather than updated
};

Translation translate(const std::vector<std::string> &words, std::string prefix,
                      const std::vector<std::string> &launcher) {
    bool compiles = false;
    bool archive = false;
    bool cpp = false;
    bool nano = false;
    for (const std::string &word : words) {
        compiles |= word == "-c" || word == "-S" || word == "-E";
        archive |= word == "-ar";
        cpp |= word == "-xc++";
        nano |= word == "-Wc,--specs=nano.specs" || word == "--specs=nano.specs";
        if (startsWith(word, "-gnu-prefix="))
            prefix = word.substr(12);
    }

    bool exceptions = false;
    bool rtti = false;
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
    return result;
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
