#pragma once

#include "project/macromap.h"

#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

// Replaces $(Name) references from three layers: a local map given with each call, the global
// macros the user sets, and the system macros fixed for the running program.
//
// $(Name) is replaced by the first layer that defines Name and stays as written when none does;
// $(Name:default) and $(Name::default) copy the default instead. "$$" gives one "$". A pass that
// copied a reference text holding "$" is followed by another pass (except after a "::" default),
// so defaults may themselves refer to macros.
//
// The const operations may run on several threads at once; the setters may not.
class MacroExpander {
public:
    static constexpr char kIntroducer = '$';

    // Computes a system macro's value at each expansion from the current time.
    using ComputedValue = std::string (*)(std::time_t now);
    using Clock = std::time_t (*)();

    struct SystemMacro {
        std::string value;       // unused when `compute` is set
        std::string description; // one line for the macro list; may be empty
        ComputedValue compute = nullptr;
    };
    using SystemMacros = std::map<std::string, SystemMacro, std::less<>>;

    // Expands `text` in place and returns whether it changed. A text without "$" is left alone
    // without allocating.
    bool expandInPlace(std::string &text, const MacroMap &local, bool useGlobal = true,
                       bool useSystem = true) const;

    // The same, returning the text; pass an rvalue to avoid a copy.
    std::string expand(std::string text, const MacroMap &local, bool useGlobal = true,
                       bool useSystem = true) const;
    // The same with several local maps, consulted in order before the global and system
    // layers (a step's own macros over those of its node), so that none is copied into
    // another. `firstUsed`, when given, is set when a value came from the first map.
    std::string expand(std::string text, std::initializer_list<const MacroMap *> locals,
                       bool *firstUsed = nullptr) const;

    // Global and system layers only.
    std::string globalExpand(std::string text) const;
    // System layer only.
    std::string systemExpand(std::string text) const;

    // The value a reference to `name` would take, without expanding anything.
    std::optional<std::string> lookup(std::string_view name, const MacroMap &local,
                                      bool useGlobal = true, bool useSystem = true) const;

    // The index of the ")" that closes the "(" at `open`, or npos. Nesting is only counted, so
    // deep parentheses cost no stack.
    static std::size_t closingParenthesis(std::string_view text, std::size_t open);

    // Adding a name again replaces its value and description.
    void addSystemMacro(std::string name, std::string value, std::string description = {});
    void addComputedSystemMacro(std::string name, ComputedValue compute, std::string description);
    const SystemMacros &systemMacros() const { return m_system; }

    void setGlobalMacros(MacroMap macros) { m_global = std::move(macros); }
    // Replaces the global macros by the items of a macro list, values as written.
    void setGlobalMacrosFromList(std::string_view list);
    void setGlobalMacro(std::string name, std::string value);
    void removeGlobalMacro(std::string_view name) { m_global.remove(name); }
    const MacroMap &globalMacros() const { return m_global; }

    // Where computed macros take the current time from; tests pin it.
    void setClock(Clock clock) { m_clock = clock; }

private:
    class Pass;
    // Runs passes over `text` until one changes nothing; whether any did.
    static bool runPasses(Pass &pass, std::string &text);

    SystemMacros m_system;
    MacroMap m_global;
    Clock m_clock = nullptr;
};
