// Loads arbitrary bytes as a solution file whose directory also holds two small solutions to
// import (one importing the input back). A load either fails with a SolutionLoadError or
// gives a tree that saves; the saved file loads again and saves to the same bytes. A load
// command is never run.
#include "project/macroexpander.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

[[noreturn]] void fault(const std::string &what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        fault("couldn't write " + path);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string &directory() {
    static const std::string made = [] {
        char pattern[] = "/tmp/solution-fuzz-XXXXXX";
        if (!mkdtemp(pattern))
            fault("couldn't make a scratch directory");
        const std::string dir = pattern;
        const std::string head =
            "<?xml version=\"1.0\"?>\n<!DOCTYPE Palindor_Project_File>\n<solution Name=\"L\">";
        writeFile(dir + "/lib.qzProject",
                  head + "<project Name=\"Lib\"><configuration Name=\"Common\" x=\"$(M)\"/>"
                         "<file file_name=\"a.c\"/></project></solution>\n");
        writeFile(dir + "/back.qzProject",
                  head + "<import file_name=\"main.qzProject\"/></solution>\n");
        return dir;
    }();
    return made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string &dir = directory();
    const std::string input = dir + "/main.qzProject";
    writeFile(input, std::string(reinterpret_cast<const char *>(data), size));

    MacroExpander macros;
    macros.setGlobalMacro("LibDir", dir);
    StandardProjectSystem system(macros);
    system.setWarningHandler([](const std::string &) {});
    ProjectElement *root = nullptr;
    try {
        root = system.loadSolution(input);
    } catch (const SolutionLoadError &) {
        return 0;
    }
    const std::string first = dir + "/first.qzProject";
    const std::string second = dir + "/second.qzProject";
    if (!system.saveSolution(*root, first, false))
        fault("a loaded solution did not save: " + system.lastError());
    system.closeSolution();

    StandardProjectSystem again(macros);
    again.setWarningHandler([](const std::string &) {});
    try {
        root = again.loadSolution(first);
    } catch (const SolutionLoadError &error) {
        fault(std::string("a saved solution did not load: ") + error.what());
    }
    if (!again.saveSolution(*root, second, true) || !again.saveSolution(*root, second, false))
        fault("a reloaded solution did not save: " + again.lastError());
    if (readFile(first) != readFile(second))
        fault("a saved solution changed when loaded and saved again");
    return 0;
}
