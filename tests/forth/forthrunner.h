#pragma once

#include "forth/forthexception.h"
#include "forth/fscontext.h"

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
