#pragma once

#include "project/propertyclass.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class PropertyNode;
class PropertyValueGroupClass;

// Every project property definition, owned for the life of the project system. Names map to
// definitions; a later registration under a name replaces the earlier mapping, except that a
// definition made for one project type (build_output_file_name for Library projects) stands
// beside the general one instead of replacing it. Build actions keep their own sets.
class PropertyRegistry {
public:
    enum BuildAction { CompileC, CompileCpp, Assemble, Link, Archive, BuildActionCount };
    static constexpr unsigned actionBit(BuildAction action) { return 1u << action; }

    PropertyRegistry();
    PropertyRegistry(const PropertyRegistry &) = delete;
    PropertyRegistry &operator=(const PropertyRegistry &) = delete;
    ~PropertyRegistry();

    // Registers the definition and adds it to the sets of its build actions.
    PropertyClass *add(std::unique_ptr<PropertyClass> definition);

    // The definition that applies to `node` (null: the general one): one made for the node's
    // project type first, then the general one, then a property group of the node's project.
    const PropertyClass *findPropertyClass(const PropertyNode *node, std::string_view name) const;
    // The general definition of the name, or null.
    const PropertyClass *find(std::string_view name) const;
    // Every definition in registration order, replaced ones included.
    const std::vector<std::unique_ptr<PropertyClass>> &definitions() const { return m_owned; }
    // The definitions the name maps to now, the general one first.
    std::vector<const PropertyClass *> mapped(std::string_view name) const;
    const std::set<const PropertyClass *> &actionSet(BuildAction action) const {
        return m_actions[action];
    }

    // Makes `groups` the property groups of `project` (replacing those it had). A group named
    // like a registered property is refused with a warning, and so is a second group of a
    // name: groups never change what other projects or the built-in names mean.
    void setPropertyGroups(const PropertyNode *project,
                           std::vector<std::unique_ptr<PropertyValueGroupClass>> groups,
                           const PropertyWarning &warn);
    void removePropertyGroups(const PropertyNode *project);
    // The group definitions of the project, in file order.
    std::vector<const PropertyValueGroupClass *> propertyGroups(const PropertyNode *project) const;

    // The environment settings' definitions, kept apart from the project's.
    PropertyClass *addEnvironment(std::unique_ptr<PropertyClass> definition);
    const PropertyClass *findEnvironment(std::string_view name) const;
    const std::vector<std::unique_ptr<PropertyClass>> &environmentDefinitions() const {
        return m_environment;
    }

private:
    void unmap(const PropertyClass *definition);

    std::vector<std::unique_ptr<PropertyClass>> m_owned;
    // Name -> the mapped definitions, at most one per project type ("" for the general one).
    std::map<std::string, std::vector<const PropertyClass *>, std::less<>> m_names;
    std::set<const PropertyClass *> m_actions[BuildActionCount];
    std::map<const PropertyNode *, std::vector<std::unique_ptr<PropertyValueGroupClass>>> m_groups;
    std::vector<std::unique_ptr<PropertyClass>> m_environment;
    std::map<std::string, const PropertyClass *, std::less<>> m_environmentNames;
};
