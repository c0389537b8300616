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
// Resolution keeps no state; the tree's derived maps (configuration children, inherited
// lists) are all it reads besides the values.
class PropertyResolver {
public:
    static constexpr const char *kCommon = "Common";

    // Attributes that name or shape the node itself (`Name`, `file_name`, a dynamic folder's
    // `path`, ...). They live on the node's own element, are never inherited, and a
    // configuration child's copy (every child has a `Name`) is not a value of the node.
    static bool isIdentityAttribute(const ProjectElement &node, std::string_view name);

    // The text stored on the node for exactly that configuration, or nothing.
    static std::optional<std::string>
    rawValue(const ProjectElement &node, std::string_view configuration, std::string_view name);

    static std::string resolve(const ProjectElement &node, const PropertyClass &definition,
                               const std::string &configuration, ResolutionTrace *trace = nullptr);
    // The same for a name without a definition at hand.
    static std::string resolve(const ProjectElement &node, std::string_view name, PropertyType type,
                               std::string_view defaultText, const std::string &configuration,
                               ResolutionTrace *trace = nullptr);
};
