#include "project/propertyregistry.h"

#include "project/propertynode.h"
#include "project/propertyvaluegroupclass.h"

#include <algorithm>

PropertyRegistry::PropertyRegistry() = default;
PropertyRegistry::~PropertyRegistry() = default;

void PropertyRegistry::unmap(const PropertyClass *definition) {
    for (std::set<const PropertyClass *> &set : m_actions)
        set.erase(definition);
}

PropertyClass *PropertyRegistry::add(std::unique_ptr<PropertyClass> definition) {
    PropertyClass *added = definition.get();
    m_owned.push_back(std::move(definition));
    std::vector<const PropertyClass *> &mapped = m_names[added->name()];
    auto same = std::find_if(mapped.begin(), mapped.end(), [&](const PropertyClass *existing) {
        return existing->projectType() == added->projectType();
    });
    if (same != mapped.end()) {
        unmap(*same);
        *same = added;
    } else if (added->projectType().empty()) {
        mapped.insert(mapped.begin(), added);
    } else {
        mapped.push_back(added);
    }
    for (int action = 0; action < BuildActionCount; ++action)
        if (added->buildActions() & actionBit(BuildAction(action)))
            m_actions[action].insert(added);
    return added;
}

const PropertyClass *PropertyRegistry::find(std::string_view name) const {
    auto found = m_names.find(name);
    if (found == m_names.end() || found->second.front()->projectType().size())
        return nullptr;
    return found->second.front();
}

std::vector<const PropertyClass *> PropertyRegistry::mapped(std::string_view name) const {
    auto found = m_names.find(name);
    return found == m_names.end() ? std::vector<const PropertyClass *>() : found->second;
}

const PropertyClass *PropertyRegistry::findPropertyClass(const PropertyNode *node,
                                                         std::string_view name) const {
    const PropertyNode *project = node ? node->project() : nullptr;
    auto found = m_names.find(name);
    if (found != m_names.end()) {
        // The project's type is itself a resolved property: look it up only for names that
        // have a definition per type.
        const auto typed = [](const PropertyClass *definition) {
            return !definition->projectType().empty();
        };
        if (project && std::any_of(found->second.begin(), found->second.end(), typed)) {
            const std::string type = project->projectType();
            for (const PropertyClass *definition : found->second)
                if (typed(definition) && definition->projectType() == type)
                    return definition;
        }
        if (found->second.front()->projectType().empty())
            return found->second.front();
    }
    if (project) {
        auto groups = m_groups.find(project);
        if (groups != m_groups.end())
            for (const std::unique_ptr<PropertyValueGroupClass> &group : groups->second)
                if (group->name() == name)
                    return group.get();
    }
    return nullptr;
}

void PropertyRegistry::setPropertyGroups(
    const PropertyNode *project, std::vector<std::unique_ptr<PropertyValueGroupClass>> groups,
    const PropertyWarning &warn) {
    std::vector<std::unique_ptr<PropertyValueGroupClass>> kept;
    for (std::unique_ptr<PropertyValueGroupClass> &group : groups) {
        const char *problem = nullptr;
        if (m_names.count(group->name()))
            problem = "a property of that name exists";
        else if (std::any_of(kept.begin(), kept.end(),
                             [&](const auto &other) { return other->name() == group->name(); }))
            problem = "a group of that name exists";
        if (problem) {
            if (warn)
                warn("property group " + group->name() + " ignored: " + problem);
            continue;
        }
        kept.push_back(std::move(group));
    }
    m_groups[project] = std::move(kept);
}

void PropertyRegistry::removePropertyGroups(const PropertyNode *project) {
    m_groups.erase(project);
}

std::vector<const PropertyValueGroupClass *>
PropertyRegistry::propertyGroups(const PropertyNode *project) const {
    std::vector<const PropertyValueGroupClass *> groups;
    auto found = m_groups.find(project);
    if (found != m_groups.end())
        for (const std::unique_ptr<PropertyValueGroupClass> &group : found->second)
            groups.push_back(group.get());
    return groups;
}

PropertyClass *PropertyRegistry::addEnvironment(std::unique_ptr<PropertyClass> definition) {
    PropertyClass *added = definition.get();
    m_environment.push_back(std::move(definition));
    m_environmentNames[added->name()] = added;
    return added;
}

const PropertyClass *PropertyRegistry::findEnvironment(std::string_view name) const {
    auto found = m_environmentNames.find(name);
    return found == m_environmentNames.end() ? nullptr : found->second;
}
