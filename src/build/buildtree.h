#pragma once

#include <functional>
#include <string>

class ProjectElement;
class PropertyRegistry;

// Calls `visit` on `node` and the project elements below it, in document order; `visit`
// returns whether to go into the element's children. An explicit stack: trees may nest
// folders deeply.
void walkBuildTree(const ProjectElement &node,
                   const std::function<bool(const ProjectElement &)> &visit);

// Whether `build_exclude_from_build` takes the node itself (with everything below it) out of
// the build in the configuration.
bool isExcludedFromBuild(const PropertyRegistry &registry, const ProjectElement &node,
                         const std::string &configuration);
