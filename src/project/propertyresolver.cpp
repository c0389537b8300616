#include "project/propertyresolver.h"

#include "project/projectelement.h"

#include <algorithm>
#include <array>

namespace {

// Appends a found text. An empty text marks the value as found without adding an item, so
// that an explicit "" never turns into a bare option ("-D") on a command line.
void combine(std::optional<std::string> &result, std::string_view found) {
    if (!result) {
        result.emplace(found);
    } else if (!found.empty()) {
        if (result->empty()) {
            result->assign(found);
        } else {
            result->insert(0, 1, ';');
            result->insert(0, found);
        }
    }
}

const std::vector<std::string> *inheritedList(const ProjectElement &node,
                                              std::string_view configuration) {
    for (const ProjectElement *solution = node.solution(); solution;) {
        const auto &map = solution->inheritedConfigurations();
        auto found = map.find(configuration);
        if (found != map.end() && !found->second.empty())
            return &found->second;
        const ProjectElement *parent = solution->parentElement();
        solution = parent ? parent->solution() : nullptr;
    }
    return nullptr;
}

// The attribute's text when it is present.
std::optional<std::string_view> attribute(const ProjectElement &element, std::string_view name) {
    const auto found = element.getAttributeList().attribute(name);
    if (!found || found->value.isNull())
        return std::nullopt;
    return found->value.view();
}

} // namespace

PropertyResolver::PropertyResolver(const ProjectElement &node, std::string configuration)
    : m_node(node), m_configuration(std::move(configuration)) {
    const bool isCommon = m_configuration == kCommon;
    // The inherited list comes from the nearest solution at or above each level: it changes
    // only where the walk leaves a solution.
    const std::vector<std::string> *inherited = nullptr;
    bool findInherited = !isCommon;
    for (const XMLNode *at = &node; at; at = at->parent()) {
        const ProjectElement *level = ProjectElement::from(at);
        if (!level)
            continue;
        if (findInherited) {
            inherited = inheritedList(*level, m_configuration);
            findInherited = false;
        }
        if (level->kind() == PropertyNode::Kind::Solution)
            findInherited = !isCommon;
        if (level->configurations().empty())
            continue;
        auto add = [&](std::string_view name) {
            if (const ProjectElement *child = level->configuration(name))
                m_steps.push_back({level, child, name});
        };
        add(m_configuration);
        if (isCommon)
            continue;
        // A name may appear twice (a list naming "Common" or the configuration itself):
        // each child is consulted once per level, so no list item is counted twice.
        bool commonSeen = false;
        if (inherited) {
            for (auto name = inherited->begin(); name != inherited->end(); ++name) {
                if (*name == m_configuration || std::find(inherited->begin(), name, *name) != name)
                    continue;
                commonSeen = commonSeen || *name == kCommon;
                add(*name);
            }
        }
        if (!commonSeen)
            add(kCommon);
    }
}

std::string PropertyResolver::resolve(const PropertyClass &definition,
                                      ResolutionTrace *trace) const {
    return resolve(definition.name(), definition.type(), definition.defaultValue(), trace);
}

std::string PropertyResolver::resolve(std::string_view name, PropertyType type,
                                      std::string_view defaultText, ResolutionTrace *trace) const {
    if (isIdentityAttribute(m_node, name)) {
        const auto own = attribute(m_node, name);
        const std::string_view text = own ? *own : defaultText;
        if (trace)
            trace->push_back({own ? &m_node : nullptr, {}, std::string(text)});
        return std::string(text);
    }
    const bool isList = type == PropertyType::StringList;
    std::optional<std::string> result;
    for (const Step &step : m_steps) {
        const auto found = attribute(*step.child, name);
        if (!found)
            continue;
        if (trace)
            trace->push_back({step.level, std::string(step.configuration), std::string(*found)});
        combine(result, *found);
        if (!isList)
            break;
    }
    if (!result) {
        if (trace)
            trace->push_back({nullptr, {}, std::string(defaultText)});
        return std::string(defaultText);
    }
    return std::move(*result);
}

std::string PropertyResolver::resolve(const ProjectElement &node, const PropertyClass &definition,
                                      const std::string &configuration, ResolutionTrace *trace) {
    return PropertyResolver(node, configuration).resolve(definition, trace);
}

std::string PropertyResolver::resolve(const ProjectElement &node, std::string_view name,
                                      PropertyType type, std::string_view defaultText,
                                      const std::string &configuration, ResolutionTrace *trace) {
    return PropertyResolver(node, configuration).resolve(name, type, defaultText, trace);
}

bool PropertyResolver::isIdentityAttribute(const ProjectElement &node, std::string_view name) {
    static constexpr std::array<std::string_view, 7> kAlways = {"Name",
                                                                "file_name",
                                                                "path",
                                                                "target",
                                                                "templates_file",
                                                                "load_command",
                                                                "load_command_environment"};
    if (std::find(kAlways.begin(), kAlways.end(), name) != kAlways.end())
        return true;
    return node.isDynamicFolder() && (name == "filter" || name == "recurse" || name == "exclude");
}

std::optional<std::string> PropertyResolver::rawValue(const ProjectElement &node,
                                                      std::string_view configuration,
                                                      std::string_view name) {
    const ProjectElement *child = node.configuration(configuration);
    if (!child)
        return std::nullopt;
    const auto found = attribute(*child, name);
    return found ? std::optional<std::string>(*found) : std::nullopt;
}
