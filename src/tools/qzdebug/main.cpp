// qzdebug: runs debugger commands, in order, against a GDB remote protocol server.

#include "core/hexception.h"
#include "debug/htcplink.h"
#include "debug/memorytransfer.h"
#include "debug/remoteserialprotocoltarget.h"
#include "debug/standarddebugger.h"
#include "expr/parserexception.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace {

class UsageError : public std::exception {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

struct Session {
    StandardDebugger &debugger;
    ConsoleDebuggerHelpers &helpers;
    int timeoutMs; // 0: continue waits until the target stops
};

using Arguments = std::vector<std::string>;

void runRead(Session &session, const Arguments &arguments);
void runWrite(Session &session, const Arguments &arguments);
void runRegs(Session &session, const Arguments &arguments);
void runBreak(Session &session, const Arguments &arguments);
void runContinue(Session &session, const Arguments &arguments);
void runStep(Session &session, const Arguments &arguments);
void runEval(Session &session, const Arguments &arguments);
void runSave(Session &session, const Arguments &arguments);
void runLoad(Session &session, const Arguments &arguments);

struct Command {
    const char *name;
    std::size_t arguments;
    const char *synopsis;
    const char *summary;
    void (*run)(Session &, const Arguments &);
};

constexpr Command kCommands[] = {
    {"read", 2, "read ADDRESS LENGTH", "hex dump of LENGTH bytes of memory", runRead},
    {"write", 2, "write ADDRESS HEXBYTES", "write bytes given as one hex string (0102a0ff)",
     runWrite},
    {"regs", 0, "regs", "print the core registers", runRegs},
    {"break", 1, "break SYMBOL|ADDRESS", "set a breakpoint", runBreak},
    {"continue", 0, "continue", "run until the target stops (see --timeout)", runContinue},
    {"step", 0, "step", "execute one instruction", runStep},
    {"eval", 1, "eval EXPRESSION", "evaluate a C expression (symbols from --elf)", runEval},
    {"save", 3, "save START END FILE",
     "save memory [START, END) in the format FILE's ending names\n"
     "(.bin .hex .srec .lst .txt .tek)",
     runSave},
    {"load", 1, "load FILE", "write a load file (.bin at 0) into memory", runLoad},
};

volatile std::sig_atomic_t g_interrupted = 0;

void printUsage(std::FILE *stream) {
    std::fputs("usage: qzdebug --remote HOST:PORT [--elf FILE] [--timeout SECONDS] COMMAND...\n"
               "\nConnects to a GDB remote protocol server (QEMU -gdb, OpenOCD, pyOCD, a probe's\n"
               "GDB server) and runs the commands in order. Numbers are decimal or 0x hex;\n"
               "addresses may also be symbols of the ELF file. The target is left halted.\n"
               "\ncommands:\n",
               stream);
    for (const Command &command : kCommands) {
        std::string summary = command.summary;
        for (std::size_t at = summary.find('\n'); at != std::string::npos;
             at = summary.find('\n', at + 1))
            summary.insert(at + 1, 6, ' ');
        std::fprintf(stream, "  %s\n      %s\n", command.synopsis, summary.c_str());
    }
    std::fputs("\noptions:\n"
               "  --remote HOST:PORT  the server to connect to\n"
               "  --elf FILE          symbols for break, eval and addresses\n"
               "  --timeout SECONDS   longest wait of continue before the target is\n"
               "                      interrupted (default: until it stops; Ctrl-C stops it)\n"
               "  --help              show this help\n"
               "\nErrors are reported as \"error: MESSAGE\" with exit status 1.\n",
               stream);
}

std::uint64_t parseNumber(const std::string &text, const char *what) {
    const char *digits = text.c_str();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        digits += 2;
        base = 16;
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long long value =
        std::isxdigit(static_cast<unsigned char>(*digits)) ? std::strtoull(digits, &end, base) : 0;
    if (!end || *end || errno)
        throw UsageError(std::string("invalid ") + what + " '" + text + "'");
    return value;
}

std::uint64_t location(Session &session, const std::string &text) {
    return session.debugger.resolveLocation(text);
}

std::uint64_t programCounter(Session &session) {
    std::uint64_t pc = 0;
    session.debugger.getRegister(session.debugger.getProgramCounterName(), pc);
    return pc;
}

void runRead(Session &session, const Arguments &arguments) {
    const std::uint64_t address = location(session, arguments[0]);
    const std::uint64_t length = parseNumber(arguments[1], "length");
    if (length > 16 * 1024 * 1024)
        throw UsageError("length too large (at most 16 MiB)");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    const std::size_t got = session.debugger.readMemory(0, address, bytes.size(), bytes.data());
    for (std::size_t line = 0; line < got; line += 16) {
        std::printf("%08" PRIx64 ":", address + line);
        std::string text;
        for (std::size_t i = line; i < line + 16; ++i) {
            if (i < got) {
                std::printf(" %02x", bytes[i]);
                text += std::isprint(bytes[i]) ? char(bytes[i]) : '.';
            } else {
                std::fputs("   ", stdout);
            }
        }
        std::printf("  |%s|\n", text.c_str());
    }
    if (got < length) {
        throw HException(memoryAccessError(false, address + got));
    }
}

void runWrite(Session &session, const Arguments &arguments) {
    const std::uint64_t address = location(session, arguments[0]);
    std::string hex = arguments[1];
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X'))
        hex = hex.substr(2);
    if (hex.empty() || hex.size() % 2 != 0 ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError("invalid bytes '" + arguments[1] + "' (an even number of hex digits)");
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(std::uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    const std::size_t put = session.debugger.writeMemory(0, address, bytes.size(), bytes.data());
    if (put < bytes.size()) {
        throw HException(memoryAccessError(true, address + put));
    }
}

void runRegs(Session &session, const Arguments &) {
    for (const std::string &name : session.debugger.getRegisterNames()) {
        std::uint64_t value = 0;
        if (session.debugger.getRegister(name, value))
            std::printf("%-5s 0x%08" PRIx64 "\n", name.c_str(), value);
    }
}

void runBreak(Session &session, const Arguments &arguments) {
    const std::uint64_t address = location(session, arguments[0]);
    if (!session.debugger.setBreakpoint(address)) {
        char message[80];
        std::snprintf(message, sizeof message, "the target refused a breakpoint at 0x%08" PRIx64,
                      address);
        throw HException(message);
    }
    std::printf("breakpoint at 0x%08" PRIx64 "\n", address);
}

void reportStop(Session &session, const StopEvent &event, bool timedOut) {
    if (event.kind == StopEvent::Exited) {
        std::printf("exited with status %d\n", event.code);
        return;
    }
    if (event.kind == StopEvent::Terminated) {
        std::printf("terminated by signal %d\n", event.code);
        return;
    }
    std::printf("stopped at 0x%08" PRIx64 "%s\n", programCounter(session),
                timedOut ? " (interrupted)" : "");
}

void runContinue(Session &session, const Arguments &) {
    g_interrupted = 0;
    StopEvent event =
        session.debugger.continueFor(session.timeoutMs, [] { return g_interrupted != 0; });
    reportStop(session, event, event.interrupted);
}

void runStep(Session &session, const Arguments &) {
    StopEvent event = session.debugger.step();
    if (event.kind == StopEvent::TimedOut)
        throw HException("the step does not end");
    reportStop(session, event, false);
}

void runEval(Session &session, const Arguments &arguments) {
    std::printf("%s\n", session.debugger.evaluateExpression(arguments[0]).c_str());
}

void runSave(Session &session, const Arguments &arguments) {
    const std::uint64_t start = location(session, arguments[0]);
    const std::uint64_t end = location(session, arguments[1]);
    saveMemoryToFile(session.debugger, start, end, arguments[2], &session.helpers);
    std::printf("saved %" PRIu64 " bytes to %s\n", end - start, arguments[2].c_str());
}

void runLoad(Session &session, const Arguments &arguments) {
    const std::uint64_t written =
        loadMemoryFromFile(session.debugger, arguments[0], std::nullopt, &session.helpers);
    std::printf("loaded %" PRIu64 " bytes from %s\n", written, arguments[0].c_str());
}

int fail(const char *message) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", message);
    return 1;
}

struct Invocation {
    std::string host;
    std::uint16_t port = 0;
    std::string elf;
    int timeoutMs = 0;
    std::vector<std::pair<const Command *, Arguments>> commands;
    bool help = false;
};

Invocation parseInvocation(int argc, char **argv) {
    Invocation invocation;
    bool remote = false;
    int i = 1;
    auto value = [&](const std::string &option) -> std::string {
        if (i + 1 >= argc)
            throw UsageError("option " + option + " needs a value");
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            invocation.help = true;
            return invocation;
        }
        if (word == "--remote") {
            const std::string where = value(word);
            const std::size_t colon = where.rfind(':');
            if (colon == std::string::npos || colon == 0)
                throw UsageError("invalid server '" + where + "' (use HOST:PORT)");
            const std::uint64_t port = parseNumber(where.substr(colon + 1), "port");
            if (port == 0 || port > 65535)
                throw UsageError("invalid port '" + where.substr(colon + 1) + "'");
            invocation.host = where.substr(0, colon);
            invocation.port = std::uint16_t(port);
            remote = true;
        } else if (word == "--elf") {
            invocation.elf = value(word);
        } else if (word == "--timeout") {
            const std::uint64_t seconds = parseNumber(value(word), "time-out");
            if (seconds > 86400)
                throw UsageError("time-out too long (at most 86400 seconds)");
            invocation.timeoutMs = int(seconds * 1000);
        } else if (word.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + word);
        } else {
            const Command *command = nullptr;
            for (const Command &candidate : kCommands) {
                if (word == candidate.name)
                    command = &candidate;
            }
            if (!command)
                throw UsageError("unknown command '" + word + "'; see qzdebug --help");
            if (argc - i - 1 < int(command->arguments))
                throw UsageError(std::string("usage: ") + command->synopsis);
            Arguments arguments(argv + i + 1, argv + i + 1 + command->arguments);
            i += int(command->arguments);
            invocation.commands.emplace_back(command, std::move(arguments));
        }
    }
    if (!remote)
        throw UsageError("no server given (use --remote HOST:PORT)");
    if (invocation.commands.empty())
        throw UsageError("no command given; see qzdebug --help");
    return invocation;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs("error: no command given\n", stderr);
        printUsage(stderr);
        return 1;
    }
    try {
        Invocation invocation = parseInvocation(argc, argv);
        if (invocation.help) {
            printUsage(stdout);
            return 0;
        }
        std::signal(SIGINT, [](int) { g_interrupted = 1; });
        ConsoleDebuggerHelpers helpers;
        auto link = std::make_unique<HTcpLink>(invocation.host, invocation.port);
        StandardDebugger debugger(std::make_unique<RemoteSerialProtocolTarget>(std::move(link)),
                                  &helpers);
        if (!invocation.elf.empty())
            debugger.loadSymbols(invocation.elf);
        Session session{debugger, helpers, invocation.timeoutMs};
        for (const auto &[command, arguments] : invocation.commands)
            command->run(session, arguments);
    } catch (const HException &error) {
        return fail(error.what());
    } catch (const ParserException &error) {
        return fail(error.what());
    } catch (const UsageError &error) {
        return fail(error.what());
    } catch (const std::bad_alloc &) {
        return fail("out of memory");
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail("cannot write standard output");
    return 0;
}
