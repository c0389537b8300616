#pragma once

#include "forth/forthexception.h"
#include "forth/fscontext.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

// Interprets text in a context and keeps what it printed and how it failed.
struct ForthRun {
    std::string out;
    long code = 0; // 0 when no exception left the text
    std::string message;
    std::string text;
};

inline ForthRun runForth(FSContext &context, std::string_view source) {
    ForthRun run;
    context.setOutput([&run](std::string_view text) { run.out += text; });
    try {
        context.evaluate(source);
    } catch (const ForthException &error) {
        run.code = error.code();
        run.message = error.message();
        run.text = error.text();
        context.resetAfterError();
    }
    context.flushOutput();
    context.setOutput({});
    return run;
}

// A fresh context for one piece of text.
inline ForthRun runForth(std::string_view source) {
    FSContext context;
    return runForth(context, source);
}

// A program and what it must print, run in a fresh context without an error.
struct ForthCase {
    const char *source;
    const char *out;
};

inline void expectOutputs(std::initializer_list<ForthCase> cases) {
    for (const ForthCase &row : cases) {
        ForthRun run = runForth(row.source);
        EXPECT_EQ(run.code, 0) << row.source << ": " << run.message;
        EXPECT_EQ(run.out, row.out) << row.source;
    }
}

// A program that must fail with the code and the whole message.
inline void expectFailure(std::string_view source, long code, const std::string &message) {
    ForthRun run = runForth(source);
    EXPECT_EQ(run.code, code) << source;
    EXPECT_EQ(run.message, message) << source;
}
