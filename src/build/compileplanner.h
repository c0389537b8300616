#pragma once

#include "build/stepplan.h"

#include <QSet>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class NodeMacros;
class NodeValues;
class ProjectElement;
class PropertyRegistry;

// Works out the compile or assemble step of source files from their resolved, expanded
// properties: the toolchain driver with the source language, definitions, include
// directories, pass-on options, the dependency file, the source and the object; or the
// project's external compile command with the build macros of the step. The launcher
// (`build_compiler_launcher`), the per-file pre- and post-compile commands and the analyzer go
// with the step. Runs on the thread that owns the tree; the plans it returns hold no
// reference into it.
class CompilePlanner {
public:
    // Named through the toolchain directory, whose default is the installation directory.
    static constexpr const char *kDriver = "$(ToolChainDir)/bin/cc";

    CompilePlanner(const PropertyRegistry &registry, const NodeMacros &macros);

    // The "Disable Unity Build" setting: every source compiles on its own.
    void setUnityBuildDisabled(bool disabled) { m_unityBuildDisabled = disabled; }

    // The step of a file node, or nothing when the file is excluded from the build (itself,
    // a folder above it or its project), has no file name, or is not a C, C++ or assembly
    // source. A file of a unity folder gets its own step here: this is how one file compiles.
    std::optional<StepPlan> plan(const ProjectElement &file,
                                 const std::string &configuration) const;
    // The steps of every file below `node` (a solution, project or folder), in document
    // order; an excluded folder or project is skipped with everything in it.
    //
    // The outermost folder with a `unity_build_file_name` compiles in unity mode: one step
    // compiles a generated file with an `#include` of the absolute path of each source of the
    // folder and its subfolders that has the unity file's language. A relative unity file
    // name lies in the folder's intermediate directory. Sources matching a wildcard of
    // `unity_build_exclude_filter` (a pattern with "/" is matched against the
    // project-relative path, others against the file name), sources of another language and
    // paths an `#include` line cannot hold compile on their own after the unity step. A
    // unity file name that is not a C or C++ source, names a source file of the solution, or
    // that an earlier folder of the same call already uses, leaves the folder's sources
    // compiling one by one.
    std::vector<StepPlan> plans(const ProjectElement &node, const std::string &configuration) const;

    // A step of plans() holding what says whether it is current (the working directory,
    // inputs, outputs, dependency file, `build_always_rebuild` and generated files), which
    // gets its description and commands only when asked: a build with little to do need not
    // work them out for the files that are current. Keeps the values of the tree: complete it
    // on the tree's thread, before the tree changes.
    class Draft {
    public:
        StepPlan step;
        // Adds the description, the launcher, the command, its environment and the steps
        // before and after.
        void complete();

    private:
        friend class CompilePlanner;
        std::shared_ptr<const NodeValues> m_values;
    };
    // Hands the drafts of plans() to `visit` one by one, in order, so that each may be
    // checked and dropped before the next is made; false when `visit` returned false, which
    // ends the walk.
    bool forEachDraft(const ProjectElement &node, const std::string &configuration,
                      const std::function<bool(Draft &)> &visit) const;

    // How a file is built: `file_type` "Assembly" assembles; "Default" goes by the extension
    // (".c" is C, or C++ when `c_files_are_cpp`; ".cpp", ".cc", ".cxx", ".c++", ".C" C++;
    // ".s", ".S", ".asm" assembly); anything else is not built (None).
    static BuildAction actionFor(std::string_view fileType, std::string_view fileName,
                                 bool cFilesAreCpp);

private:
    // What one call of forEachDraft() keeps between files.
    struct Walk;

    bool excluded(const ProjectElement &node, const std::string &configuration) const;
    // Whether a folder or project above `node` is excluded from the build.
    bool aboveExcluded(const ProjectElement &node, const std::string &configuration) const;
    // plan() for a file whose folders and project are known to take part in the build.
    std::optional<Draft> planFile(const ProjectElement &file, const std::string &configuration,
                                  Walk *walk) const;
    // Hands the unity step of `folder` and the steps of its sources left out of it to the
    // walk's visitor; false when the folder does not compile in unity mode.
    bool unityPlans(const ProjectElement &folder, const std::string &configuration,
                    Walk &walk) const;
    // The absolute path of every file node of the solution `node` belongs to.
    QSet<QString> sourcePaths(const ProjectElement &node, const std::string &configuration) const;

    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
    bool m_unityBuildDisabled = false;
};
