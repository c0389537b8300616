#pragma once

#include "forth/cell.h"
#include "forth/pcode.h"

#include <memory>
#include <string>
#include <vector>

class FWordList;

// What the outer interpreter does with a word while compiling: ordinary and primitive words
// are compiled, immediate words executed.
enum class WordKind : std::uint8_t { Ordinary = 0, Primitive = 1, Immediate = 2 };

// How a word runs.
enum class Behaviour : std::uint8_t {
    Colon,      // code
    Native,     // fn
    Create,     // region, then doesCode when DOES> gave it one
    Variable,   // region
    Constant,   // value
    Value,      // region (one cell)
    Vocabulary, // vocabulary
    Local,      // localIndex; only meaningful inside its definition
    Defer,      // region (one cell: the code address it runs)
    TwoValue,   // region (two cells, as 2! stores them)
    Marker,     // localIndex: the dictionary state it restores
};

// A dictionary header and the word behind it.
class PColonChild {
public:
    PColonChild(std::string name, WordKind kind, Behaviour behaviour)
        : kind(kind), behaviour(behaviour), m_name(std::move(name)) {}

    const std::string &name() const noexcept { return m_name; }
    // The name as listings show it; nameless definitions have a fixed tag.
    std::string displayName() const { return m_name.empty() ? "(NONAME-CHILD)" : m_name; }

    WordKind kind;
    Behaviour behaviour;
    bool builtIn = false;
    FSPrimitive fn = nullptr;
    std::vector<pcode> code;                     // Colon, and inline primitives as {op, Exit}
    std::vector<std::unique_ptr<Cell>> literals; // cells that `code` points at
    PMemory *region = nullptr;
    const pcode *doesCode = nullptr;
    Cell value;
    FWordList *vocabulary = nullptr;
    int localIndex = 0;
    std::string file; // where it was defined; empty for built-in words
    long line = 0;
    FWordList *list = nullptr;

private:
    std::string m_name;
};
