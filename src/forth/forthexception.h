#pragma once

#include <exception>
#include <string>

// The error of the Forth engine: a THROW code and an optional text. CATCH hands the code back
// to the program; anything uncaught reaches the console, which prints message().
class ForthException : public std::exception {
public:
    explicit ForthException(long code, std::string text = {});

    long code() const noexcept { return m_code; }
    const std::string &text() const noexcept { return m_text; }

    // The code's message followed by the text: for -1 and -2 (the aborting words) a text
    // replaces the generic message.
    const std::string &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_message.c_str(); }

    // Where an included file failed; empty for console and string input.
    const std::string &file() const noexcept { return m_file; }
    long line() const noexcept { return m_line; }
    bool hasLocation() const noexcept { return m_line > 0; }
    void setLocation(std::string file, long line);

    // The engine's message for a THROW code ("%ld THROW undefined" for codes it does not know).
    static std::string codeMessage(long code);

private:
    long m_code;
    std::string m_text;
    std::string m_message;
    std::string m_file;
    long m_line = 0;
};

// The request to leave the console (BYE). Deliberately not a ForthException: CATCH must not
// stop it.
class ForthBye : public std::exception {
public:
    const char *what() const noexcept override { return "bye"; }
};

// QUIT: back to the top level with the data stack kept. Not a ForthException either: CATCH
// frames are dropped, not taken.
class ForthQuit : public std::exception {
public:
    const char *what() const noexcept override { return "quit"; }
};

[[noreturn]] void forthThrow(long code, std::string text = {});

// THROW codes the engine raises itself.
enum ForthError : long {
    kErrAbort = -1,
    kErrAbortQuote = -2,
    kErrStackUnderflow = -3,
    kErrStackOverflow = -4,
    kErrReturnOverflow = -5,
    kErrLoopOverflow = -7,
    kErrInvalidAddress = -9,
    kErrDivideByZero = -10,
    kErrUndefinedWord = -13,
    kErrCompileOnly = -14,
    kErrStringOverflow = -17,
    kErrUnsupported = -21,
    kErrControlMismatch = -22,
    kErrInvalidArgument = -24,
    kErrLoopParameters = -26,
    kErrInterrupt = -28,
    kErrBody = -31,
    kErrFileIO = -37,
    kErrUnexpectedEof = -39,
    kErrOrderOverflow = -49,
    kErrOrderUnderflow = -50,
    kErrExceptionOverflow = -53,
    kErrNoDefinition = -256,
    kErrInvalidWordlist = -266,
    kErrNoStoreMethod = -268,
};
