#include "project/configurations.h"

#include "core/namevaluelist.h"
#include "project/projectelement.h"
#include "project/propertyresolver.h"

#include <algorithm>

namespace {

std::string joined(const std::vector<std::string> &items) {
    std::string text;
    for (const std::string &item : items) {
        if (!text.empty())
            text += ';';
        text += item;
    }
    return text;
}

// The inherited list of a configuration child with `from` replaced by `to`; nothing when
// the list does not name `from`.
std::optional<std::string> renamedList(const ProjectElement &child, const std::string &from,
                                       const std::string &to) {
    const char *list = child.getAttribute("inherited_configurations");
    if (!list)
        return std::nullopt;
    std::vector<std::string> items = splitEscapedList(list);
    if (std::find(items.begin(), items.end(), from) == items.end())
        return std::nullopt;
    std::replace(items.begin(), items.end(), from, to);
    return joined(items);
}

} // namespace

std::vector<std::string> Configurations::list(const ProjectElement &solution, unsigned mask,
                                              const PlatformFilter &filter) {
    std::vector<std::string> names;
    if (mask & Common)
        names.emplace_back(PropertyResolver::kCommon);
    for (const ProjectElement *at = solution.solution(); at;) {
        for (const auto &[name, child] : at->configurations()) {
            if (std::find(names.begin(), names.end(), name) != names.end())
                continue;
            if (child->attributeOr("hidden") == "Yes") {
                if (mask & Private)
                    names.push_back(name);
            } else if ((mask & Public) && name != PropertyResolver::kCommon &&
                       (!filter || filter(*at, name))) {
                names.push_back(name);
            }
        }
        const ProjectElement *parent = at->parentElement();
        at = parent ? parent->solution() : nullptr;
    }
    std::sort(names.begin(), names.end());
    if (names.empty())
        names.emplace_back(PropertyResolver::kCommon);
    return names;
}

void Configurations::setInherited(ProjectElement &solution, const std::string &configuration,
                                  const std::vector<std::string> &inherited) {
    ProjectElement *child = solution.configurationOrCreate(configuration);
    child->setAttribute("inherited_configurations", joined(inherited));
    solution.setModified(true);
    solution.setChanged(true);
}

std::optional<std::string> Configurations::rename(ProjectElement &node, const std::string &oldName,
                                                  const std::string &newName) {
    if (oldName == newName)
        return std::nullopt;
    if (oldName == PropertyResolver::kCommon || newName == PropertyResolver::kCommon)
        return std::string("configuration \"Common\" cannot be renamed");
    if (newName.empty())
        return std::string("a configuration name cannot be empty");
    if (newName.find(';') != std::string::npos)
        return "configuration name \"" + newName + "\" holds \";\"";

    // First find every change, so that a refusal leaves the tree as it was.
    std::vector<ProjectElement *> owners;
    std::vector<std::pair<ProjectElement *, std::string>> lists;
    for (XMLNode *at = &node; at; at = at->nextInTree(&node)) {
        ProjectElement *element = ProjectElement::from(at);
        if (!element || element->kind() == PropertyNode::Kind::Configuration)
            continue;
        bool changes = element->configuration(oldName) != nullptr;
        for (XMLNode *child = element->firstChild(); child; child = child->nextSibling()) {
            ProjectElement *configuration = ProjectElement::from(child);
            if (!configuration || configuration->kind() != PropertyNode::Kind::Configuration)
                continue;
            if (auto list = renamedList(*configuration, oldName, newName)) {
                lists.emplace_back(configuration, std::move(*list));
                changes = true;
            }
        }
        if (!changes)
            continue;
        if (element->configuration(oldName) && element->configuration(newName))
            return "configuration \"" + newName + "\" already exists";
        if (!element->isEditable())
            return "solution " + element->solution()->cachedPath() + " cannot be modified";
        owners.push_back(element);
    }
    if (owners.empty())
        return "no configuration \"" + oldName + "\"";

    for (ProjectElement *owner : owners) {
        // Every child of that name: a duplicate left behind would take the name back.
        for (XMLNode *child = owner->firstChild(); child; child = child->nextSibling()) {
            ProjectElement *configuration = ProjectElement::from(child);
            if (configuration && configuration->kind() == PropertyNode::Kind::Configuration &&
                configuration->attributeOr("Name") == oldName)
                configuration->setAttribute("Name", newName);
        }
        owner->setModified(true);
        owner->setChanged(true);
    }
    for (auto &[configuration, list] : lists)
        configuration->setAttribute("inherited_configurations", list);
    return std::nullopt;
}
