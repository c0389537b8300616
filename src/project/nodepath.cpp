#include "project/nodepath.h"

#include "project/projectelement.h"

#include <charconv>

namespace {

bool isTreeNode(const ProjectElement *element) {
    return element && element->kind() != ProjectElement::Unknown &&
           element->kind() != PropertyNode::Kind::Configuration;
}

} // namespace

std::vector<ProjectElement *> NodePath::listing(ProjectElement &root) {
    std::vector<ProjectElement *> nodes;
    for (XMLNode *at = &root; at; at = at->nextInTree(&root)) {
        ProjectElement *element = ProjectElement::from(at);
        if (isTreeNode(element))
            nodes.push_back(element);
    }
    return nodes;
}

ProjectElement *NodePath::find(ProjectElement &root, const std::string &path) {
    if (path.empty())
        return &root;
    if (path.front() == '#') {
        std::size_t index = 0;
        const char *end = path.data() + path.size();
        const auto [rest, error] = std::from_chars(path.data() + 1, end, index);
        if (error != std::errc() || rest != end || path.size() == 1)
            return nullptr;
        std::size_t at = 0;
        for (XMLNode *node = &root; node; node = node->nextInTree(&root)) {
            ProjectElement *element = ProjectElement::from(node);
            if (isTreeNode(element) && at++ == index)
                return element;
        }
        return nullptr;
    }
    // Depth first over (node, where the rest of the path starts): a name holding "/" may
    // match more than one way.
    std::vector<std::pair<ProjectElement *, std::size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        auto [node, start] = pending.back();
        pending.pop_back();
        const std::string_view rest = std::string_view(path).substr(start);
        std::vector<std::pair<ProjectElement *, std::size_t>> next;
        for (XMLNode *child = node->firstChild(); child; child = child->nextSibling()) {
            ProjectElement *element = ProjectElement::from(child);
            if (!isTreeNode(element))
                continue;
            std::vector<std::string> names{element->displayName()};
            if (element->isImported())
                names.push_back(element->attributeOr("file_name"));
            for (const std::string &name : names) {
                if (name.empty() || rest.size() < name.size() ||
                    rest.compare(0, name.size(), name) != 0)
                    continue;
                if (rest.size() == name.size())
                    return element;
                if (rest[name.size()] == '/')
                    next.emplace_back(element, start + name.size() + 1);
            }
        }
        pending.insert(pending.end(), next.rbegin(), next.rend());
    }
    return nullptr;
}

std::string NodePath::name(const ProjectElement &node) {
    std::string shown = node.displayName();
    if (shown.empty() && node.isImported())
        shown = node.attributeOr("file_name");
    return shown;
}
