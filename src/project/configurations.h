#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

class ProjectElement;

// The configurations of a solution: which names exist, which are offered for building
// (public) and which exist only to be inherited (private, `hidden` "Yes"), what each
// inherits, and renaming one throughout a tree.
class Configurations {
public:
    enum Mask : unsigned { Common = 1, Private = 2, Public = 4, All = 7 };

    // Whether a public configuration suits the current platform; the target layer supplies
    // it, and without one every public configuration passes.
    using PlatformFilter =
        std::function<bool(const ProjectElement &solution, const std::string &configuration)>;

    // The names on `solution` and the solutions above it, sorted; "Common" alone when none.
    static std::vector<std::string> list(const ProjectElement &solution, unsigned mask,
                                         const PlatformFilter &filter = {});

    // Writes `inherited_configurations` on the solution's child for `configuration`
    // (creating it), which rebuilds the solution's inherited map.
    static void setInherited(ProjectElement &solution, const std::string &configuration,
                             const std::vector<std::string> &inherited);

    // Renames the configuration on `node` and every node below it, and in every
    // `inherited_configurations` list there. Renaming a name onto itself changes nothing.
    // Refused, with nothing changed, when `newName` is empty, holds ";", is "Common" or is
    // already a configuration of a node that would change, when `oldName` is "Common", or
    // when a node that would change may not be modified: then the reason.
    static std::optional<std::string> rename(ProjectElement &node, const std::string &oldName,
                                             const std::string &newName);
};
