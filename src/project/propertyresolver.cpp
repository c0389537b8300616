#include "project/propertyresolver.h"

#include "project/projectelement.h"

#include <algorithm>
#include <array>

namespace {

using Kind = PropertyNode::Kind;

// Appends a found text. An empty text marks the value as found without adding an item, so
// that an explicit "" never turns into a bare option ("-D") on a command line.
void combine(std::optional<std::string> &result, std::string_view found) {
    if (!result) {
        result.emplace(found);
    } else if (!found.empty()) {
        if (result->empty())
            result->assign(found);
        else
            result->insert(0, std::string(found) + ";");
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

} // namespace

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
    const auto attribute = child->getAttributeList().attribute(name);
    if (!attribute || attribute->value.isNull())
        return std::nullopt;
    return std::string(attribute->value.view());
}

std::string PropertyResolver::resolve(const ProjectElement &node, const PropertyClass &definition,
                                      const std::string &configuration, ResolutionTrace *trace) {
    return resolve(node, definition.name(), definition.type(), definition.defaultValue(),
                   configuration, trace);
}

std::string PropertyResolver::resolve(const ProjectElement &node, std::string_view name,
                                      PropertyType type, std::string_view defaultText,
                                      const std::string &configuration, ResolutionTrace *trace) {
    if (isIdentityAttribute(node, name)) {
        const auto attribute = node.getAttributeList().attribute(name);
        if (attribute && !attribute->value.isNull()) {
            if (trace)
                trace->push_back({&node, {}, std::string(attribute->value.view())});
            return std::string(attribute->value.view());
        }
        if (trace)
            trace->push_back({nullptr, {}, std::string(defaultText)});
        return std::string(defaultText);
    }

    const bool isList = type == PropertyType::StringList;
    const bool isCommon = configuration == kCommon;
    std::optional<std::string> result;
    // Looks one configuration child up; true when the search is over.
    auto consult = [&](const ProjectElement &level, std::string_view child) {
        const auto found = rawValue(level, child, name);
        if (!found)
            return false;
        if (trace)
            trace->push_back({&level, std::string(child), *found});
        combine(result, *found);
        return !isList;
    };

    for (const XMLNode *at = &node; at; at = at->parent()) {
        const ProjectElement *level = ProjectElement::from(at);
        if (!level || level->configurations().empty())
            continue;
        if (consult(*level, configuration))
            break;
        if (isCommon)
            continue;
        // A name may appear twice (a list naming "Common" or the configuration itself):
        // each child is consulted once per level, so no list item is counted twice.
        bool commonSeen = false;
        bool done = false;
        if (const std::vector<std::string> *inherited = inheritedList(*level, configuration)) {
            for (std::size_t i = 0; i < inherited->size() && !done; ++i) {
                const std::string &parent = (*inherited)[i];
                if (parent == configuration ||
                    std::find(inherited->begin(), inherited->begin() + long(i), parent) !=
                        inherited->begin() + long(i))
                    continue;
                commonSeen = commonSeen || parent == kCommon;
                done = consult(*level, parent);
            }
        }
        if (done || (!commonSeen && consult(*level, kCommon)))
            break;
    }
    if (!result) {
        if (trace)
            trace->push_back({nullptr, {}, std::string(defaultText)});
        return std::string(defaultText);
    }
    return std::move(*result);
}
