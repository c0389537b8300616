// qzterm: a raw bridge between the terminal and a serial port.

#include "core/hexception.h"
#include "debug/hseriallink.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char kEscape = 0x1d; // Ctrl-]
// After the end of input, what the device still sends is shown until it is quiet this long.
constexpr int kQuietMs = 200;

class UsageError : public std::exception {
public:
    explicit UsageError(std::string message) : m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

struct Choice {
    const char *option;
    const char *text;
    int value;
};

// The words each option takes, once for parsing and for the help text.
constexpr Choice kChoices[] = {
    {"--parity", "none", HSerialLink::NoParity},
    {"--parity", "even", HSerialLink::EvenParity},
    {"--parity", "odd", HSerialLink::OddParity},
    {"--stop", "1", 0},
    {"--stop", "2", 1},
    {"--flow", "none", HSerialLink::NoFlowControl},
    {"--flow", "xonxoff", HSerialLink::SoftwareFlowControl},
    {"--flow", "rtscts", HSerialLink::HardwareFlowControl},
};

struct Settings {
    std::string device;
    std::uint32_t baud = 115200;
    int dataBits = 8;
    int parity = HSerialLink::NoParity;
    int stopBits = 0;
    int flow = HSerialLink::NoFlowControl;
    bool help = false;
};

void printUsage(std::FILE *stream) {
    std::fputs("usage: qzterm DEVICE [--baud N] [--data N] [--parity none|even|odd]\n"
               "              [--stop 1|2] [--flow none|xonxoff|rtscts]\n"
               "\nCopies the terminal's input to the serial port and the port's input to the\n"
               "terminal, byte for byte. Ends on Ctrl-] or at the end of input.\n"
               "\noptions:\n"
               "  --baud N       bits per second (default 115200; any rate the port takes)\n"
               "  --data N       bits per character, 5 to 8 (default 8)\n"
               "  --parity P     none, even or odd (default none)\n"
               "  --stop N       stop bits, 1 or 2 (default 1)\n"
               "  --flow F       none, xonxoff or rtscts (default none)\n"
               "  --help         show this help\n"
               "\nErrors are reported as \"error: MESSAGE\" with exit status 1.\n",
               stream);
}

std::uint32_t parseNumber(const std::string &text, const char *what) {
    char *end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || text[0] == '-' || value == 0 || value > 100000000)
        throw UsageError(std::string("invalid ") + what + " '" + text + "'");
    return std::uint32_t(value);
}

Settings parseSettings(int argc, char **argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            settings.help = true;
            return settings;
        }
        if (word.rfind("--", 0) != 0) {
            if (!settings.device.empty())
                throw UsageError("unexpected argument '" + word + "'");
            settings.device = word;
            continue;
        }
        if (word != "--baud" && word != "--data" && word != "--parity" && word != "--stop" &&
            word != "--flow")
            throw UsageError("unknown option " + word);
        if (i + 1 >= argc)
            throw UsageError("option " + word + " needs a value");
        const std::string value = argv[++i];
        if (word == "--baud") {
            settings.baud = parseNumber(value, "baud rate");
        } else if (word == "--data") {
            settings.dataBits = int(parseNumber(value, "data bits"));
            if (settings.dataBits < 5 || settings.dataBits > 8)
                throw UsageError("invalid data bits '" + value + "' (5 to 8)");
        } else {
            const Choice *found = nullptr;
            std::string allowed;
            for (const Choice &choice : kChoices) {
                if (word != choice.option)
                    continue;
                allowed += (allowed.empty() ? "" : ", ") + std::string(choice.text);
                if (value == choice.text)
                    found = &choice;
            }
            if (!found)
                throw UsageError("invalid " + word.substr(2) + " '" + value + "' (" + allowed +
                                 ")");
            (word == "--parity" ? settings.parity
             : word == "--stop" ? settings.stopBits
                                : settings.flow) = found->value;
        }
    }
    if (settings.device.empty())
        throw UsageError("no device given; see qzterm --help");
    return settings;
}

// Puts a terminal on standard input into raw mode for the session and restores it after.
class RawTerminal {
public:
    RawTerminal() {
        if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios raw = m_saved;
        ::cfmakeraw(&raw);
        m_active = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawTerminal() {
        if (m_active)
            ::tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }

private:
    termios m_saved{};
    bool m_active = false;
};

bool writeAll(int fd, const char *bytes, std::size_t count) {
    while (count > 0) {
        ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd waiting{fd, POLLOUT, 0};
            ::poll(&waiting, 1, 1000);
            continue;
        }
        if (written <= 0)
            return false;
        bytes += written;
        count -= std::size_t(written);
    }
    return true;
}

int bridge(HSerialLink &link, const std::string &device) {
    RawTerminal terminal;
    const int port = link.fileDescriptor();
    bool inputOpen = true;
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{port, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = ::poll(fds, inputOpen ? 2 : 1, inputOpen ? -1 : kQuietMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw HException(std::string("poll error ") + std::strerror(errno));
        if (ready == 0)
            return 0; // input ended and the device has gone quiet
        if (fds[0].revents) {
            const ssize_t got = ::read(port, buffer, sizeof buffer);
            if (got > 0) {
                if (!writeAll(STDOUT_FILENO, buffer, std::size_t(got)))
                    throw HException("cannot write standard output");
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                throw HException(device + " hung up");
            }
        }
        if (inputOpen && fds[1].revents) {
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            std::size_t count = got > 0 ? std::size_t(got) : 0;
            const char *escape = static_cast<const char *>(std::memchr(buffer, kEscape, count));
            if (escape)
                count = std::size_t(escape - buffer);
            if (count > 0 && !writeAll(port, buffer, count))
                throw HException("cannot write to " + device);
            if (escape)
                return 0;
            if (got <= 0)
                inputOpen = false;
        }
    }
}

int fail(const char *message) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    try {
        const Settings settings = parseSettings(argc, argv);
        if (settings.help) {
            printUsage(stdout);
            return 0;
        }
        HSerialLink link(settings.device, settings.baud, settings.dataBits, settings.parity,
                         settings.stopBits, settings.flow);
        return bridge(link, settings.device);
    } catch (const HException &error) {
        return fail(error.what());
    } catch (const UsageError &error) {
        return fail(error.what());
    }
}
