#pragma once

#include "script/esvalue.h"

#include <exception>
#include <string>

// A script error on its way to the host: the thrown value, normally an error object. Scripts
// cannot catch it; it ends the evaluation that raised it.
class ESException : public std::exception {
public:
    ESException(const ESValue &value, std::string message)
        : m_value(value), m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }
    const ESValue &value() const { return m_value; }

private:
    ESValue m_value;
    std::string m_message;
};

// An engine fault rather than a script error: resource exhaustion or an inconsistency
// ("virtual machine stack too small", "compiler error: patch constant too large").
class ESFatalError : public std::exception {
public:
    explicit ESFatalError(std::string message) : m_message(std::move(message)) {}
    const char *what() const noexcept override { return m_message.c_str(); }
    const std::string &message() const { return m_message; }

private:
    std::string m_message;
};
