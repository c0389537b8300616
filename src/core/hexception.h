#pragma once

#include <exception>
#include <string>

// The error of the tools, the target formats, the serial link and the package archive:
// one short message, reported to the user as it stands.
class HException : public std::exception {
public:
    explicit HException(std::string message);

    const char *what() const noexcept override { return m_message.c_str(); }
    const std::string &message() const noexcept { return m_message; }

    // How many have been constructed since start-up; lets callers tell whether a step failed
    // somewhere below them even when the exception was caught on the way.
    static unsigned long count() noexcept { return m_count; }
    // The counter itself, under the name diagnostics and older callers use.
    static inline unsigned long m_count = 0;

private:
    std::string m_message;
};
