#pragma once

#include <exception>
#include <string>
#include <utility>

// The error of the expression parser and evaluator: one short message for the user.
class ParserException : public std::exception {
public:
    explicit ParserException(std::string message) : m_message(std::move(message)) {}

    const char *what() const noexcept override { return m_message.c_str(); }
    const std::string &message() const noexcept { return m_message; }

private:
    std::string m_message;
};
