// qzforth: the Forth console. Includes the files named on the command line, interprets -e
// code, or reads lines from standard input.
#include "consoleinput.h"
#include "forth/forthexception.h"
#include "forth/fscontext.h"
#include "forth/fswords.h"
#include "forth/pcolonchild.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) {
    g_interrupted = 1;
}

constexpr char kUsage[] =
    "usage: qzforth [-e CODE]... [FILE]...\n"
    "\n"
    "Interprets Forth. Each FILE is included in order; each -e CODE is interpreted in\n"
    "order with the files. Without -e, lines are then read from standard input; an\n"
    "error there is reported and interpretation goes on with the next line.\n"
    "\n"
    "options:\n"
    "  -e CODE     interpret CODE (standard input is not read)\n"
    "  --words     list the built-in words with their kind\n"
    "  --version   print the interpreter's version\n"
    "  --help      print this text\n"
    "\n"
    "An uncaught error in a file or in -e code ends the run with status 1.\n"
    "Leave the console with BYE or the end of input.\n";

struct Step {
    bool code; // -e CODE, otherwise a file
    std::string text;
};

// The console's form: the code's message followed by the exception's text, alone on its line
// so it reads the same wherever it came from; an included file's position follows it.
void printError(FSContext &context, const ForthException &error) {
    context.flushOutput();
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", error.message().c_str());
    if (error.hasLocation())
        std::fprintf(stderr, "  at %s:%ld\n", error.file().c_str(), error.line());
    std::fflush(stderr);
}

void listWords() {
    static const char *const kinds[] = {"ordinary", "primitive", "immediate"};
    for (const FSWordDef &word : builtinWords())
        std::printf("%-16s %s\n", word.name, kinds[int(word.kind)]);
}

// The exit status once everything is printed: output that could not be written is a failure,
// not a silent success.
int finish(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        int error = errno ? errno : EIO;
        std::fprintf(stderr, "error: cannot write standard output: %s\n", std::strerror(error));
        return 1;
    }
    return status;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<Step> steps;
    bool anyCode = false;
    for (int k = 1; k < argc; ++k) {
        std::string argument = argv[k];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return finish(0);
        }
        if (argument == "--version") {
            std::printf("%s\n", FSContext::banner().c_str());
            return finish(0);
        }
        if (argument == "--words") {
            listWords();
            return finish(0);
        }
        if (argument == "-e") {
            if (k + 1 >= argc) {
                std::fprintf(stderr, "error: -e needs an argument\n%s", kUsage);
                return 1;
            }
            steps.push_back({true, argv[++k]});
            anyCode = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "error: unknown option %s\n%s", argument.c_str(), kUsage);
            return 1;
        }
        steps.push_back({false, argument});
    }

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    FSContext context;
    context.setInterruptFlag(&g_interrupted);
    ConsoleInput input(STDIN_FILENO, &g_interrupted);
    context.setKeyboard(&input);
    bool atLineStart = true;
    context.setOutput([&atLineStart](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        atLineStart = text.back() == '\n';
    });

    try {
        for (const Step &step : steps) {
            try {
                if (step.code)
                    context.evaluate(step.text);
                else
                    context.includeFile(step.text);
            } catch (const ForthException &error) {
                printError(context, error);
                return finish(1);
            }
        }
        if (anyCode) {
            context.flushOutput();
            return finish(0);
        }

        const bool terminal = isatty(STDIN_FILENO);
        context.setConsoleReader([&input](std::string &line) { return input.readLine(line); });
        if (terminal)
            std::printf("%s\n", FSContext::banner().c_str());
        std::string line;
        for (;;) {
            if (terminal) {
                if (!atLineStart)
                    std::fputc('\n', stdout);
                std::fputs("> ", stdout);
                std::fflush(stdout);
            }
            if (!input.readLine(line))
                break;
            atLineStart = !terminal;
            try {
                context.interpretConsoleLine(line);
            } catch (const ForthException &error) {
                printError(context, error);
                context.resetAfterError();
                atLineStart = true;
            }
            std::fflush(stdout);
        }
        if (terminal && !atLineStart)
            std::fputc('\n', stdout);
    } catch (const ForthBye &) {
    }
    context.flushOutput();
    return finish(0);
}
