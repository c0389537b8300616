#include "forth/forthexception.h"

namespace {

struct CodeMessage {
    long code;
    const char *message;
};

// The engine's own table: -4 is overflow and -3 underflow.
constexpr CodeMessage kMessages[] = {
    {-1, "abort thrown"},
    {-2, "abort thrown"},
    {-3, "stack underflow"},
    {-4, "stack overflow"},
    {-5, "return stack overflow"},
    {-6, "return stack underflow"},
    {-7, "loop stack overflow"},
    {-9, "invalid address"},
    {-10, "divide by zero"},
    {-12, "argument type mismatch"},
    {-13, "undefined word"},
    {-14, "interpreting a compile-only word"},
    {-17, "string buffer overflow"},
    {-20, "write error"},
    {-21, "unsupported operation"},
    {-22, "control structure mismatch"},
    {-23, "misaligned address"},
    {-24, "invalid argument"},
    {-25, "return stack imbalance"},
    {-26, "loop parameters unavailable"},
    {-27, "invalid recursion"},
    {-28, "user interrupt"},
    {-30, "olsolescent feature"},
    {-31, ">BODY error"},
    {-36, "invalid file position"},
    {-37, "file I/O exception"},
    {-38, "non-existent file"},
    {-39, "unexpected EOF"},
    {-49, "search order overflow"},
    {-50, "search order underflow"},
    {-53, "exception stack overflow"},
    {-57, "receive/transmit exception"},
    {-256, "no current definition"},
    {-257, "LEAVE not in DO"},
    {-264, "no DO loop"},
    {-265, "host execution of this word not supported"},
    {-266, "invalid wordlist"},
    {-267, "unimplemented word"},
    {-268, "no store method defined"},
    {-269, "out of context"},
    {-270, "sealed definition"},
};

} // namespace

std::string ForthException::codeMessage(long code) {
    for (const CodeMessage &entry : kMessages) {
        if (entry.code == code)
            return entry.message;
    }
    return std::to_string(code) + " THROW undefined";
}

ForthException::ForthException(long code, std::string text)
    : m_code(code), m_text(std::move(text)) {
    if ((code == -1 || code == -2) && !m_text.empty())
        m_message = m_text;
    else if (m_text.empty())
        m_message = codeMessage(code);
    else
        m_message = codeMessage(code) + ": " + m_text;
}

void ForthException::setLocation(std::string file, long line) {
    m_file = std::move(file);
    m_line = line;
}

void forthThrow(long code, std::string text) {
    throw ForthException(code, std::move(text));
}
