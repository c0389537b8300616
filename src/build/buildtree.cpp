#include "build/buildtree.h"

#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <vector>

void walkBuildTree(const ProjectElement &node,
                   const std::function<bool(const ProjectElement &)> &visit) {
    std::vector<const ProjectElement *> pending{&node};
    std::vector<const ProjectElement *> children;
    while (!pending.empty()) {
        const ProjectElement *at = pending.back();
        pending.pop_back();
        if (!visit(*at))
            continue;
        children.clear();
        for (const XMLNode *child = at->firstChild(); child; child = child->nextSibling())
            if (const ProjectElement *element = ProjectElement::from(child))
                if (element->kind() != PropertyNode::Kind::Configuration &&
                    element->kind() != ProjectElement::Unknown)
                    children.push_back(element);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

bool isExcludedFromBuild(const PropertyRegistry &registry, const ProjectElement &node,
                         const std::string &configuration) {
    const PropertyClass *definition = registry.findPropertyClass(&node, "build_exclude_from_build");
    const std::string value =
        definition ? PropertyResolver::resolve(node, *definition, configuration)
                   : PropertyResolver::resolve(node, "build_exclude_from_build",
                                               PropertyType::Boolean, "", configuration);
    return value == "Yes";
}
