// dova: writes a linker script from a memory map (or a segment list) and an optional section
// placement, for the GNU linker or the Vantrel linker.

#include "app/dovaoptions.h"
#include "app/toolrun.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Every failure ends here: "error: MESSAGE" and status 1. A failed run (`output` given) also
// takes away what it may have left of the script; option errors leave the files alone.
int failed(const std::string &message, const std::string *output = nullptr) {
    if (output)
        removeFailedOutput(*output);
    std::fflush(stdout);
    std::fputs(("error: " + message + "\n").c_str(), stderr);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    // A file-size limit must end in a write error we can report, not in a signal.
    std::signal(SIGXFSZ, SIG_IGN);

    DovaOptions options;
    try {
        options = parseDovaOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &error) {
        return failed(error.what());
    }
    if (options.help) {
        std::fputs(dovaUsage().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!options.complete()) {
        std::fputs(dovaUsage().c_str(), stderr);
        return 1;
    }
    const std::string &output = options.outputFile();
    // Removing the output after a failure would otherwise destroy an input.
    for (const std::string *input : {&options.memoryMapFile, &options.sectionPlacementFile}) {
        if (isSameFile(output, *input))
            return failed("output file " + output + " is also an input file");
    }

    try {
        runDova(options, argc > 0 ? argv[0] : "");
        if (std::fflush(stdout) != 0 || std::ferror(stdout))
            throw std::runtime_error("cannot write standard output");
    } catch (const std::bad_alloc &) {
        return failed("out of memory", &output);
    } catch (const std::exception &error) {
        return failed(error.what(), &output);
    }
    return 0;
}
