#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the property system needs of a project-tree node: its kind and project, the values
// stored on its configuration children, and its modified flag. The project tree implements it.
class PropertyNode {
public:
    enum class Kind { Solution = 0, Configuration = 1, Project = 2, Folder = 3, File = 4 };

    virtual ~PropertyNode() = default;

    virtual Kind kind() const = 0;
    // The project the node belongs to (the node itself for a project), or null.
    virtual PropertyNode *project() const = 0;
    // The type of that project ("Executable", "Library", ...); empty outside a project.
    virtual std::string projectType() const = 0;

    // The attribute `name` of the node's configuration child `configuration`, without any
    // inheritance; nothing when the child or the attribute is absent.
    virtual std::optional<std::string> storedValue(const std::string &configuration,
                                                   std::string_view name) const = 0;
    // Stores the attribute on that child, creating the child when it does not exist; nothing
    // removes the attribute.
    virtual void storeValue(const std::string &configuration, std::string_view name,
                            const std::optional<std::string> &text) = 0;

    virtual bool isModified() const = 0;
    virtual void setModified(bool modified) = 0;

    // The `macros` value of the node changed: the enclosing project's cached macros are stale.
    virtual void projectMacrosChanged() = 0;
};
