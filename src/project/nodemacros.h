#pragma once

#include "project/macromap.h"

#include <array>
#include <string>
#include <string_view>

class MacroExpander;
class ProjectElement;
class ProjectSystem;
class PropertyClass;
class PropertyRegistry;
class PropertyResolver;

// The macros of one node and configuration: the project's `macros`, the node's names and
// paths, the solution and input-file macros, the toolchain's, and the output directories.
// A map is built afresh for each expansion that needs one; nothing is cached, so an edit is
// seen at once.
class NodeMacros {
public:
    // `system` supplies the toolchain layer's macros and extensions; may be null.
    NodeMacros(const PropertyRegistry &registry, const MacroExpander &expander,
               const ProjectSystem *system = nullptr);

    MacroMap build(const ProjectElement &node, const std::string &configuration) const;
    // The same with a resolver of the node and configuration, which the caller may go on
    // using for the node's other properties.
    MacroMap build(const PropertyResolver &resolver) const;

    // The same map in two parts that share no name. `own` names the node itself: its
    // `ProjectNodeName` and a file's input macros. Unless a value of `rest` was made from
    // them (`restUsesOwn`: a project macro or output directory naming the input), `rest`
    // holds for every file of the folder that has no configuration of its own, and such a
    // file needs only ownMacros().
    struct Layers {
        MacroMap own;
        MacroMap rest;
        std::string projectDir; // absolute
        bool restUsesOwn = false;
    };
    Layers buildLayers(const PropertyResolver &resolver) const;
    MacroMap ownMacros(const ProjectElement &node, const std::string &projectDir) const;
    // The values of ownMacros() for a file, in the order of kFileOwnNames: a file that shares
    // the rest has them filled into texts made from the rest once, and needs no map.
    static constexpr std::array<std::string_view, 8> kFileOwnNames{
        "ProjectNodeName", "InputDir",  "InputFileName", "InputName",
        "InputExt",        "InputPath", "RelInputPath",  "RelInputDir"};
    using FileOwnValues = std::array<std::string, kFileOwnNames.size()>;
    FileOwnValues fileOwnValues(const ProjectElement &file, const std::string &projectDir) const;

    // `text` with every layer: the node map, global and system macros. A text without "$"
    // comes back as it is, and no map is built.
    std::string expand(const ProjectElement &node, const std::string &configuration,
                       std::string text) const;
    // The same with a map already built for the node (several texts of one node).
    std::string expand(const MacroMap &nodeMacros, std::string text) const;

    // A property as a build reads it: resolved, then expanded. Properties whose help says
    // they get "global macro expansion" (`file_name`, a dynamic folder's `path`) are
    // expanded with the global and system layers only.
    std::string expandedValue(const ProjectElement &node, const PropertyClass &definition,
                              const std::string &configuration) const;
    static bool takesGlobalExpansionOnly(const PropertyClass &definition);

    // The absolute project directory of the node: the project's `project_directory` made
    // absolute against the solution file's directory, or that directory when it is empty.
    std::string projectDirectory(const ProjectElement &node,
                                 const std::string &configuration) const;

    const MacroExpander &expander() const { return m_expander; }

private:
    std::string projectDirectory(const ProjectElement &node, const std::string &configuration,
                                 const std::string &solutionDir) const;
    std::string resolved(const PropertyResolver &resolver, const char *name) const;

    const PropertyRegistry &m_registry;
    const MacroExpander &m_expander;
    const ProjectSystem *m_system;
};
