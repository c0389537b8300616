#pragma once

#include <string>
#include <vector>

class ProjectElement;

// Names nodes of a solution tree for people and scripts: by path (the names of the nodes
// from the solution down, joined by "/"; a file by its `file_name` as written, which may
// itself hold "/"; an imported solution by its name or by the import's `file_name`), or by
// "#INDEX", the node's place in the tree's listing.
class NodePath {
public:
    // The solution, project, folder and file nodes in document order (imported solutions
    // with their contents); configuration children and unknown elements are left out.
    static std::vector<ProjectElement *> listing(ProjectElement &root);

    // The node a path or "#INDEX" names, or null. "" names the root. Where names alike
    // leave a choice, the first node in document order wins.
    static ProjectElement *find(ProjectElement &root, const std::string &path);

    // The name a listing shows: the display name, or the import's `file_name` for an
    // imported solution without a name.
    static std::string name(const ProjectElement &node);
};
