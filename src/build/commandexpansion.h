#pragma once

#include "project/macromap.h"

#include <QStringList>

#include <string>
#include <string_view>

class NodeValues;

// Turns a command property into the words of a child process. Macro values never change how
// the command is read: a file name with blanks, quotes or ";" stays one word.
//
// A command of plain words and double quotes is split first and each word expanded after, so
// it runs without a shell. Anything a shell would read differently (pipes, redirections,
// "&&", single quotes, backslashes, "$VAR", globs, "NAME=value cmd") makes it run through
// /bin/sh -c, with every macro value quoted for the place it stands in.
class CommandExpansion {
public:
    // Expanded into one word per item when a word of the command is nothing but the reference.
    static constexpr const char *kCombiningInputs = "CombiningRelInputPaths";

    // Macros are expanded with the node's map, or with `map` (the node's and a step's own)
    // when given; `combiningInputs` are the items $(CombiningRelInputPaths) stands for: one
    // word each when a word of the command is nothing but that reference.
    explicit CommandExpansion(const NodeValues &values, QStringList combiningInputs = {},
                              const MacroMap *map = nullptr);

    QStringList arguments(const std::string &command) const;

    static bool needsShell(std::string_view text);

private:
    // The items of a list macro when `word` is exactly a reference to one.
    const QStringList *list(std::string_view word) const;
    QString script(std::string_view command) const;

    QString expand(const std::string &text) const;

    const NodeValues &m_values;
    const MacroMap m_map;
    QStringList m_combiningInputs;
};
