#include "consoleinput.h"

#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Character mode without echo for as long as it lives; nothing on a file or pipe.
class CharacterMode {
public:
    CharacterMode(int fd, bool terminal) : m_fd(fd) {
        m_active = terminal && tcgetattr(fd, &m_saved) == 0;
        if (!m_active)
            return;
        termios raw = m_saved;
        raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &raw);
    }
    ~CharacterMode() {
        if (m_active)
            tcsetattr(m_fd, TCSANOW, &m_saved);
    }
    CharacterMode(const CharacterMode &) = delete;
    CharacterMode &operator=(const CharacterMode &) = delete;

private:
    int m_fd;
    bool m_active;
    termios m_saved{};
};

} // namespace

ConsoleInput::ConsoleInput(int fd, volatile std::sig_atomic_t *interrupted)
    : m_fd(fd), m_terminal(isatty(fd)), m_interrupted(interrupted) {}

int ConsoleInput::fill() {
    if (m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    }
    char chunk[4096];
    ssize_t got = read(m_fd, chunk, sizeof chunk);
    if (got < 0)
        return errno == EINTR ? -1 : 0;
    m_buffer.append(chunk, std::size_t(got));
    return int(got);
}

bool ConsoleInput::readLine(std::string &line) {
    line.clear();
    for (;;) {
        std::size_t end = m_buffer.find('\n', m_pos);
        if (end != std::string::npos) {
            line.append(m_buffer, m_pos, end - m_pos);
            m_pos = end + 1;
            return true;
        }
        line.append(m_buffer, m_pos);
        m_pos = m_buffer.size();
        int got = fill();
        if (got == 0)
            return !line.empty();
        if (got < 0) {
            // Ctrl-C at the prompt: drop the partial line and read on.
            *m_interrupted = 0;
            line.clear();
        }
    }
}

int ConsoleInput::key() {
    if (m_pos == m_buffer.size()) {
        CharacterMode mode(m_fd, m_terminal);
        if (fill() <= 0)
            return -1; // the end, or an interrupt the engine reports
    }
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

bool ConsoleInput::keyReady() {
    if (m_pos < m_buffer.size())
        return true;
    CharacterMode mode(m_fd, m_terminal);
    pollfd ready{m_fd, POLLIN, 0};
    return poll(&ready, 1, 0) > 0 && (ready.revents & (POLLIN | POLLHUP)) != 0;
}
