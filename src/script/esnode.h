#pragma once

#include <cstdint>

class ESString;

// One node of the syntax tree: a kind (a token code or a node code), the source line,
// the forward-jump chains of a statement, literal data and up to four children. Lists
// (arguments, elements, statements) are chains of ',' or ';' nodes whose first child is
// the element and second child the rest. Nodes live in the compiler's arena for one
// compilation.
struct ESNode {
    static constexpr std::uint16_t kNoChain = 0xFFFF;

    int kind;
    int line;
    std::uint16_t breakChain = kNoChain;
    std::uint16_t continueChain = kNoChain;
    bool sideEffects = false;  // an assignment, ++, --, delete, call or new inside
    bool declaration = false;  // a hoisted function declaration
    bool hasArguments = false; // `new C()` rather than `new C`
    double number = 0;
    ESString *string = nullptr;
    ESString *temporary = nullptr; // for-in: the compiler temporary holding the enumeration
    int function = -1;             // function literal: its index in this compilation
    ESNode *child[4] = {nullptr, nullptr, nullptr, nullptr};
};
