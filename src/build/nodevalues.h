#pragma once

#include "project/macromap.h"
#include "project/macrotemplate.h"
#include "project/nodemacros.h"
#include "project/propertyresolver.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class NodeMacros;
class ProjectElement;
class PropertyRegistry;

// The properties of one node and configuration as a build reads them: resolved, then expanded
// with the node's macros, which are built once for all of them. A step adds its own build
// macros over them (expandForStep()) or to a copy of map().
class NodeValues {
public:
    // What the files of one folder that have no configuration of their own share: they
    // inherit every value from it, and their macros differ only in those naming the file
    // (unless another macro was made from those, which the first of them finds out).
    struct Siblings {
        std::map<std::string, std::string, std::less<>> texts; // resolved, by property name
        bool macrosShared = false;
        MacroMap macros; // all but NodeMacros::ownMacros(), when shared
        std::string projectDir;
        // Expanded lists, by property name, that no macro naming a file went into.
        std::map<std::string, QStringList, std::less<>> lists;
        // Resolved texts made from `macros` once, by property name; nothing for a text that
        // cannot be (it expands in full for each file).
        std::map<std::string, std::optional<MacroTemplate>, std::less<>> templates;
        // Values of `macros` as texts, by name, as they are asked for.
        std::map<std::string, QString, std::less<>> macroTexts;
    };

    // `siblings`, when given, is what the node shares with the files resolving like it;
    // identity attributes (`file_name`, ...) are the node's own and never go there.
    NodeValues(const PropertyRegistry &registry, const NodeMacros &macros,
               const ProjectElement &node, const std::string &configuration,
               std::shared_ptr<Siblings> siblings = nullptr);

    // Resolved, not expanded.
    std::string raw(std::string_view name) const;
    QString text(std::string_view name) const;
    // text(name) made absolute against the project directory; empty stays empty.
    QString path(std::string_view name) const;
    bool yes(std::string_view name) const { return raw(name) == "Yes"; }
    // The items of a list, each expanded; items that expand to nothing are dropped. Split
    // before expanding, so that a macro whose value holds ";" stays one item.
    QStringList list(std::string_view name) const;

    QString macro(std::string_view name) const;
    // Every macro of the node in one map.
    MacroMap map() const;
    QString expand(const MacroMap &map, const std::string &text) const;
    QString expand(const std::string &text) const;
    // Expanded with a step's own build macros over the node's.
    QString expandForStep(const MacroMap &stepMacros, const std::string &text) const;
    // Adds a macro to the node's own, for every text expanded after.
    void set(const char *name, const QString &value);

    // The input-file macros of a file the node stands for (the unity file of a folder): the
    // same names and forms a file node has.
    void setInput(const QString &path);

private:
    std::string resolved(std::string_view name) const;
    // Made when first needed: a file sharing its siblings' values has them resolved already.
    const PropertyResolver &resolver() const;
    // Made from m_ownValues when first needed.
    const MacroMap &own() const;

    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
    const ProjectElement &m_node;
    std::string m_configuration;
    mutable std::optional<PropertyResolver> m_resolver;
    std::shared_ptr<Siblings> m_siblings;
    // A file sharing its siblings' macros: its own values, without a map unless one is asked
    // for.
    std::optional<NodeMacros::FileOwnValues> m_ownValues;
    mutable std::optional<MacroMap> m_own; // those naming the node, and any set()
    MacroMap m_rest;                       // the others; no name of m_own
    // Whether m_rest is the siblings' and m_own holds only the names a sibling has too: then
    // what expands without m_own expands alike for all of them.
    bool m_expandsAsSiblings = false;
};
