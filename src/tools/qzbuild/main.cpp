// qzbuild: the build tool. A solution builds (or cleans, or answers whether it is up to date)
// in a configuration; -parse-log reads a build log and prints its diagnostics the way the
// build log counts them.
#include "buildcommand.h"

#include "build/bookmark.h"
#include "build/buildlogitem.h"
#include "build/outputlinesplitter.h"
#include "build/standarddiagnosticparser.h"

#include <QDir>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int parseLog(const std::vector<std::string> &arguments);
int help(const std::vector<std::string> &arguments);

struct Mode {
    const char *name;
    const char *argument; // for the usage text; empty when the mode takes none
    const char *description;
    int (*run)(const std::vector<std::string> &arguments);
};

// Every mode the tool has, once: dispatch and usage both read this table.
const Mode kModes[] = {
    {"-parse-log", "FILE|-",
     "read a build log (- for standard input) and print each diagnostic as\n"
     "FILE:LINE:COLUMN: KIND: MESSAGE, then the log's summary",
     parseLog},
    {"--help", "", "print this text", help},
};

void printUsage(std::FILE *out) {
    std::fputs("usage: qzbuild SOLUTION -config NAME [-project NAME]\n"
               "               [-buildonly|-rebuild|-clean|-batch|-file PATH|-uptodate]\n"
               "               [-j N] [-k] [-echo] [-D NAME=VALUE]... [-allow-load-command]\n"
               "               [-export-makefile FILE] [-export-compile-commands [FILE]]\n"
               "       qzbuild -server SOLUTION [-D NAME=VALUE]... [-allow-load-command]\n"
               "       qzbuild MODE [ARGUMENT]\n\nmodes:\n",
               out);
    for (const Mode &mode : kModes) {
        std::string head = std::string(mode.name) + (*mode.argument ? " " : "") + mode.argument;
        std::string description = mode.description;
        std::string indent(24, ' ');
        for (size_t at = description.find('\n'); at != std::string::npos;
             at = description.find('\n', at + 1))
            description.insert(at + 1, indent), at += indent.size();
        std::fprintf(out, "  %-21s %s\n", head.c_str(), description.c_str());
    }
    std::fputs(
        "\nBuilding: every project of the solution, or the project -project names with the\n"
        "projects it depends on (-buildonly: without them), in the configuration -config\n"
        "names; only what is out of date is rebuilt. -rebuild cleans first, -clean removes\n"
        "the outputs, -batch builds the configurations of batch_build_configurations, -file\n"
        "compiles one file, -uptodate prints \"Project up to date\" (exit 0) or \"Project out\n"
        "of date\" (exit 1) and builds nothing. -j N runs N tools at once (0, the default:\n"
        "one per processor), -k goes on after a failure as far as it can, -echo prints each\n"
        "command line. -D NAME=VALUE sets a global macro; -allow-load-command runs the\n"
        "solution's load command. Tool output goes through verbatim; the last line is\n"
        "\"Build complete\", \"Build up to date\", \"Build failed\" or \"Build terminated\".\n"
        "The exit status is 0 when the build completed or was up to date, 1 when it failed\n"
        "or the request was bad (\"error: MESSAGE\"), 130 after an interrupt.\n"
        "\n"
        "-server reads the requests of the external builder protocol on standard input\n"
        "(\"build NODE 'CONFIGURATION' THREADS\", \"buildonly ...\", \"batchbuild ...\",\n"
        "\"modified NODE 'PROPERTY' VALUE\" for the node's Common configuration, \"reload\";\n"
        "NODE is the node's place in the solution's listing) and answers each build with its\n"
        "output and final status line.\n"
        "\n"
        "-export-makefile FILE writes a make file with every step of the build instead of\n"
        "building; the user build steps run under make when they would run in the build.\n"
        "-export-compile-commands writes compile_commands.json (or FILE) for the\n"
        "files of the solution or project, beside the solution unless FILE is given, and\n"
        "leaves it alone when its content would not change; it builds nothing.\n"
        "\n"
        "In -parse-log, a relative file name in the log is taken from the current directory;\n"
        "a missing line or column prints as 0. The exit status is 1 when the log holds an\n"
        "error.\n",
        out);
}

int help(const std::vector<std::string> &) {
    printUsage(stdout);
    return 0;
}

const char *kindName(int kind) {
    switch (kind) {
    case Bookmark::Error:
        return "error";
    case Bookmark::Warning:
        return "warning";
    default:
        return "note";
    }
}

int parseLog(const std::vector<std::string> &arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "error: -parse-log needs one file name, or - for standard input\n");
        return 1;
    }
    const std::string &name = arguments.front();
    std::FILE *in = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "error: cannot open %s: %s\n", name.c_str(), std::strerror(errno));
        return 1;
    }

    StandardDiagnosticParser parser;
    parser.setWorkingDirectory(QDir::currentPath());
    DiagnosticCounts counts;
    QList<Bookmark> records;
    std::string out;
    OutputLineSplitter lines([&](const QString &line) {
        records.clear();
        if (parser.filterOut(line) || !parser.parse(line, records))
            return;
        for (const Bookmark &record : records) {
            if (record.kind() == Bookmark::Plain)
                continue;
            counts.add(record.kind());
            out += record.file().toStdString();
            out += ':' + std::to_string(record.line() < 0 ? 0 : record.line());
            out += ':' + std::to_string(record.column() < 0 ? 0 : record.column());
            out += ": ";
            out += kindName(record.kind());
            out += ": ";
            out += record.text().toStdString();
            out += '\n';
        }
    });

    std::vector<char> buffer(1 << 16);
    for (;;) {
        size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got > 0)
            lines.feed(buffer.data(), qsizetype(got));
        if (out.size() >= buffer.size()) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        if (got < buffer.size())
            break;
    }
    bool failed = std::ferror(in);
    int readError = errno;
    if (in != stdin)
        std::fclose(in);
    if (failed) {
        std::fflush(stdout);
        std::fprintf(stderr, "error: cannot read %s: %s\n",
                     name == "-" ? "standard input" : name.c_str(), std::strerror(readError));
        return 1;
    }
    lines.finish();
    for (const QString &summary : counts.summaries())
        out += summary.toStdString() + '\n';
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "error: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return counts.errors > 0 ? 1 : 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 1;
    }
    std::string name = argv[1];
    if (name == "-h")
        name = "--help";
    for (const Mode &mode : kModes) {
        if (name == mode.name)
            return mode.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (name.rfind('-', 0) != 0 || isBuildOption(name))
        return runBuildCommand(std::vector<std::string>(argv + 1, argv + argc), argv[0]);
    std::fprintf(stderr, "error: unknown mode %s\n", name.c_str());
    printUsage(stderr);
    return 1;
}
