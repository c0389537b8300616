#pragma once

#include "project/propertyclass.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ProjectElement;

// One place a resolved value came from: the node and the configuration child that held it,
// or (node null) the definition's default. Identity attributes are read from the node's own
// element; their configuration is empty.
struct ResolutionRecord {
    const ProjectElement *node = nullptr;
    std::string configuration;
    std::string value;
};
using ResolutionTrace = std::vector<ResolutionRecord>;

// Finds the value of a property for a node and a configuration. From the node up to the root,
// each level is searched in the configuration asked for, then the configurations it inherits
// (in list order), then "Common". Any type but StringList takes the first value found; a
// StringList collects every value on the path, outermost first. A stored empty text counts as
// found: it stops the search (and the default) but adds no list item. Nothing is expanded.
//
// A resolver object finds the configuration children to consult once, for any number of
// properties of one node and configuration; it is valid until the tree changes.
class PropertyResolver {
public:
    static constexpr const char *kCommon = "Common";

    PropertyResolver(const ProjectElement &node, std::string configuration);
    // The steps point into the object itself.
    PropertyResolver(const PropertyResolver &) = delete;
    PropertyResolver &operator=(const PropertyResolver &) = delete;

    std::string resolve(const PropertyClass &definition, ResolutionTrace *trace = nullptr) const;
    // The same for a name without a definition at hand.
    std::string resolve(std::string_view name, PropertyType type, std::string_view defaultText,
                        ResolutionTrace *trace = nullptr) const;

    const ProjectElement &node() const { return m_node; }
    const std::string &configuration() const { return m_configuration; }

    // One property, once.
    static std::string resolve(const ProjectElement &node, const PropertyClass &definition,
                               const std::string &configuration, ResolutionTrace *trace = nullptr);
    static std::string resolve(const ProjectElement &node, std::string_view name, PropertyType type,
                               std::string_view defaultText, const std::string &configuration,
                               ResolutionTrace *trace = nullptr);

    // Attributes that name or shape the node itself (`Name`, `file_name`, a dynamic folder's
    // `path`, ...). They live on the node's own element, are never inherited, and a
    // configuration child's copy (every child has a `Name`) is not a value of the node.
    static bool isIdentityAttribute(const ProjectElement &node, std::string_view name);

    // The text stored on the node for exactly that configuration, or nothing.
    static std::optional<std::string>
    rawValue(const ProjectElement &node, std::string_view configuration, std::string_view name);

private:
    // A configuration child to consult, in search order.
    struct Step {
        const ProjectElement *level;
        const ProjectElement *child;
        std::string_view configuration;
    };

    const ProjectElement &m_node;
    std::string m_configuration;
    std::vector<Step> m_steps;
};
