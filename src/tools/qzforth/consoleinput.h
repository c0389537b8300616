#pragma once

#include "forth/fscontext.h"

#include <csignal>
#include <string>

// Standard input of the console: whole lines for the interpreter and single characters for
// KEY, from one buffer so that neither loses what the other has read ahead. On a terminal KEY
// and KEY? switch it out of line mode (without echo) while they look.
class ConsoleInput : public FSKeyboard {
public:
    ConsoleInput(int fd, volatile std::sig_atomic_t *interrupted);

    // The next line without its line break; false at the end of input. An interrupt at the
    // prompt drops the partial line and reads on.
    bool readLine(std::string &line);
    int key() override;
    bool keyReady() override;

private:
    // Reads more into the buffer: >0 bytes read, 0 at the end, -1 interrupted.
    int fill();

    int m_fd;
    bool m_terminal;
    volatile std::sig_atomic_t *m_interrupted;
    std::string m_buffer;
    std::size_t m_pos = 0;
};
