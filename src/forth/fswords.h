#pragma once

#include "forth/pcode.h"

#include <span>

enum class WordKind : std::uint8_t;

// One built-in word: the dictionary set-up, WORDS and the console's word listing all read the
// same table. Words the inner interpreter runs inline have an operation and no function.
struct FSWordDef {
    const char *name;
    WordKind kind;
    FSPrimitive fn;
    Op op;
};

std::span<const FSWordDef> builtinWords();
