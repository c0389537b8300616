#pragma once

#include "build/stepplan.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NodeMacros;
class ProjectElement;
class PropertyRegistry;

// Works out the compile or assemble step of source files from their resolved, expanded
// properties: the toolchain driver with the source language, definitions, include
// directories, pass-on options, the dependency file, the source and the object. Runs on the
// thread that owns the tree; the plans it returns hold no reference into it.
class CompilePlanner {
public:
    // Named through the toolchain directory, whose default is the installation directory.
    static constexpr const char *kDriver = "$(ToolChainDir)/bin/cc";

    CompilePlanner(const PropertyRegistry &registry, const NodeMacros &macros);

    // The step of a file node, or nothing when the file is excluded from the build (itself,
    // a folder above it or its project), has no file name, or is not a C, C++ or assembly
    // source.
    std::optional<StepPlan> plan(const ProjectElement &file,
                                 const std::string &configuration) const;
    // The steps of every file below `node` (a solution, project or folder), in document
    // order; an excluded folder or project is skipped with everything in it.
    std::vector<StepPlan> plans(const ProjectElement &node, const std::string &configuration) const;

    // How a file is built: `file_type` "Assembly" assembles; "Default" goes by the extension
    // (".c" is C, or C++ when `c_files_are_cpp`; ".cpp", ".cc", ".cxx", ".c++", ".C" C++;
    // ".s", ".S", ".asm" assembly); anything else is not built (None).
    static BuildAction actionFor(std::string_view fileType, std::string_view fileName,
                                 bool cFilesAreCpp);

private:
    bool excluded(const ProjectElement &node, const std::string &configuration) const;

    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
};
