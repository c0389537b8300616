// qzimage: lists and converts load files (raw binary, Intel HEX, hex listings, TI-TXT,
// Motorola S-records; Extended Tektronix hex on output).

#include "core/hexception.h"
#include "loadfile/binaryloadfile.h"
#include "loadfile/codebuffer.h"
#include "loadfile/loadfile.h"
#include "loadfile/loadfilefactory.h"
#include "loadfile/tekhexbuffer.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Arguments {
    std::vector<std::string> files;
    std::string from;
    std::string to;
    std::optional<std::uint32_t> base;
    std::optional<std::uint8_t> fill;
    bool help = false;
};

enum OptionFlag : unsigned { From = 1, To = 2, Base = 4, Fill = 8 };

struct OptionSpec {
    OptionFlag flag;
    const char *name;
    const char *value;
    const char *help;
};

constexpr OptionSpec kOptions[] = {
    {From, "--from", "KIND",
     "kind of the input: bin, ihex, hex (a listing), tihex or srec;\n"
     "by default taken from the file name (.bin .rom .hex .lst .txt .srec .s19)"},
    {To, "--to", "FORMAT",
     "output format: hex (Intel HEX), srec, lst, txt (TI-TXT), bin or tek\n"
     "(Extended Tektronix); by default taken from OUT's ending"},
    {Base, "--base", "ADDRESS", "load address of a binary input (default 0)"},
    {Fill, "--fill", "BYTE",
     "make the image one contiguous section, gaps filled with BYTE;\n"
     "binary output fills its gaps with 0xff otherwise"},
};

int runInfo(const Arguments &arguments);
int runConvert(const Arguments &arguments);

struct Command {
    const char *name;
    const char *synopsis;
    const char *summary;
    std::size_t files;
    unsigned options;
    int (*run)(const Arguments &);
};

constexpr Command kCommands[] = {
    {"info", "info FILE [--from KIND] [--base ADDRESS]",
     "print each section (start, length in bytes, name) in file order, then the entry point", 1,
     From | Base, runInfo},
    {"convert", "convert IN OUT [--from KIND] [--to FORMAT] [--base ADDRESS] [--fill BYTE]",
     "write the sections of IN in address order to OUT, then the entry point (or 0)", 2,
     From | To | Base | Fill, runConvert},
};

// Output formats: the writer names plus Extended Tektronix, and the endings that select them.
struct OutputFormat {
    const char *name;
    const char *endings[4];
};

constexpr OutputFormat kOutputFormats[] = {
    {"hex", {".hex", ".HEX"}}, {"srec", {".srec", ".SREC", ".s19", ".S19"}},
    {"lst", {".lst", ".LST"}}, {"txt", {".txt", ".TXT"}},
    {"bin", {".bin", ".BIN"}}, {"tek", {".tek", ".TEK"}},
};

class UsageError : public std::exception {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

void printUsage(std::FILE *stream, const Command *only = nullptr) {
    std::fputs("usage: qzimage COMMAND [ARGUMENTS] [OPTIONS]\n", stream);
    if (!only)
        std::fputs("\nLists and converts load files: raw binary, Intel HEX, hex listings, TI-TXT\n"
                   "and Motorola S-records; Extended Tektronix hex on output.\n",
                   stream);
    std::fputs("\ncommands:\n", stream);
    for (const Command &command : kCommands) {
        if (only && only != &command)
            continue;
        std::fprintf(stream, "  qzimage %s\n      %s\n", command.synopsis, command.summary);
    }
    std::fputs("\noptions:\n", stream);
    for (const OptionSpec &option : kOptions) {
        if (only && !(only->options & option.flag))
            continue;
        std::string help = option.help;
        for (std::size_t at = help.find('\n'); at != std::string::npos;
             at = help.find('\n', at + 1))
            help.insert(at + 1, 20, ' ');
        std::fprintf(stream, "  %-8s %-9s %s\n", option.name, option.value, help.c_str());
    }
    std::fprintf(stream, "  %-18s %s\n", "--help", "show this help");
    if (!only)
        std::fputs("\nErrors are reported as \"error: MESSAGE\" with exit status 1; a failed\n"
                   "conversion leaves no output file.\n",
                   stream);
}

// A number in decimal or, with 0x, in hexadecimal, at most `maximum`.
std::optional<std::uint32_t> parseNumber(const std::string &text, std::uint32_t maximum) {
    const char *digits = text.c_str();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits += 2;
        base = 16;
    }
    if (*digits == '\0' || !std::isxdigit(static_cast<unsigned char>(*digits)))
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    unsigned long long value = std::strtoull(digits, &end, base);
    if (errno != 0 || *end != '\0' || value > maximum)
        return std::nullopt;
    return std::uint32_t(value);
}

Arguments parseArguments(const Command &command, int argc, char **argv) {
    Arguments arguments;
    for (int i = 2; i < argc; ++i) {
        std::string_view word = argv[i];
        if (word == "--help" || word == "-h") {
            arguments.help = true;
            continue;
        }
        if (word.size() < 2 || word.substr(0, 2) != "--") {
            arguments.files.emplace_back(word);
            continue;
        }
        std::string_view name = word.substr(0, word.find('='));
        const OptionSpec *option = nullptr;
        for (const OptionSpec &candidate : kOptions) {
            if (name == candidate.name)
                option = &candidate;
        }
        if (!option)
            throw UsageError("unknown option " + std::string(name));
        if (!(command.options & option->flag))
            throw UsageError("option " + std::string(name) + " does not apply to " + command.name);
        std::string value;
        if (name.size() < word.size())
            value = word.substr(name.size() + 1);
        else if (i + 1 < argc)
            value = argv[++i];
        else
            throw UsageError("option " + std::string(name) + " needs a value");
        switch (option->flag) {
        case From:
            arguments.from = value;
            break;
        case To:
            arguments.to = value;
            break;
        case Base:
            arguments.base = parseNumber(value, 0xffffffff);
            if (!arguments.base)
                throw UsageError("invalid address '" + value + "'");
            break;
        case Fill:
            if (auto fill = parseNumber(value, 0xff))
                arguments.fill = std::uint8_t(*fill);
            else
                throw UsageError("invalid fill byte '" + value + "'");
            break;
        }
    }
    if (!arguments.help && arguments.files.size() < command.files)
        throw UsageError(std::string(command.name) + " needs " +
                         (command.files == 1 ? "a file" : "an input and an output file"));
    if (arguments.files.size() > command.files)
        throw UsageError("unexpected argument '" + arguments.files[command.files] + "'");
    return arguments;
}

std::unique_ptr<LoadFileInterface> openInput(const std::string &path, const Arguments &arguments) {
    LoadFileFactory factory;
    const char *kind =
        arguments.from.empty() ? factory.kindForFileName(path) : arguments.from.c_str();
    if (!kind)
        throw UsageError("cannot tell the kind of " + path + " from its name; use --from");
    std::unique_ptr<LoadFileInterface> loadFile = factory.create(path, kind);
    if (!loadFile)
        throw UsageError("unknown input kind '" + arguments.from +
                         "' (use bin, ihex, hex, tihex or srec)");
    if (arguments.base) {
        if (loadFile->hasLoadAddresses())
            throw UsageError("--base applies to binary input only");
        // Addresses are 32 bits: an image placed there must end within them.
        auto *binary = dynamic_cast<BinaryLoadFile *>(loadFile.get());
        if (binary && std::uint64_t(*arguments.base) + binary->fileSize() > 0x100000000u) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "%" PRIu32 " bytes at --base 0x%08" PRIx32
                          " pass the end of the 4 GiB address space",
                          binary->fileSize(), *arguments.base);
            throw UsageError(text);
        }
        loadFile->setBaseAddress(*arguments.base);
    }
    return loadFile;
}

const char *outputFormat(const std::string &path, const Arguments &arguments) {
    std::string_view name = path;
    for (const OutputFormat &format : kOutputFormats) {
        if (!arguments.to.empty()) {
            if (arguments.to == format.name)
                return format.name;
            continue;
        }
        for (const char *ending : format.endings) {
            if (ending && name.size() > std::strlen(ending) && name.ends_with(ending))
                return format.name;
        }
    }
    if (!arguments.to.empty())
        throw UsageError("unknown output format '" + arguments.to +
                         "' (use hex, srec, lst, txt, bin or tek)");
    throw UsageError("cannot tell the output format of " + path + " from its name; use --to");
}

int runInfo(const Arguments &arguments) {
    std::unique_ptr<LoadFileInterface> loadFile = openInput(arguments.files[0], arguments);
    for (const LoadFileSectionList::Item &section : loadFile->sections()) {
        std::printf("0x%08" PRIx32 " %" PRIu32, section->address(), section->length());
        if (!section->name().empty())
            std::printf(" %s", section->name().c_str());
        std::putchar('\n');
    }
    if (loadFile->hasEntryPoint())
        std::printf("entry 0x%08" PRIx32 "\n", loadFile->entryPoint());
    return 0;
}

int runConvert(const Arguments &arguments) {
    const std::string &input = arguments.files[0];
    const std::string &output = arguments.files[1];
    std::string format = outputFormat(output, arguments);
    std::unique_ptr<LoadFileInterface> loadFile = openInput(input, arguments);
    if (arguments.fill)
        loadFile->makeContiguous(*arguments.fill);
    loadFile->sortSections();
    std::unique_ptr<CodeBuffer> writer =
        format == "tek" ? std::make_unique<TekHexBuffer>(output) : createWriter(format, output);
    for (const LoadFileSectionList::Item &section : loadFile->sections()) {
        writer->setAddress(section->address());
        writer->putBytes(section->data(false), section->length());
    }
    writer->finish(loadFile->hasEntryPoint() ? loadFile->entryPoint() : 0);
    return 0;
}

int fail(const char *message) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs("error: no command given\n", stderr);
        printUsage(stderr);
        return 1;
    }
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands) {
        if (name == candidate.name)
            command = &candidate;
    }
    if (!command)
        return fail(("unknown command '" + std::string(name) + "'; see qzimage --help").c_str());
    int status;
    try {
        Arguments arguments = parseArguments(*command, argc, argv);
        if (arguments.help) {
            printUsage(stdout, command);
            return 0;
        }
        status = command->run(arguments);
    } catch (const HException &error) {
        return fail(error.what());
    } catch (const UsageError &error) {
        return fail(error.what());
    } catch (const std::bad_alloc &) {
        return fail("out of memory");
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail("cannot write standard output");
    return status;
}
