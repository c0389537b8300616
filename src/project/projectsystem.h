#pragma once

#include <string>

class MacroMap;
class ProjectElement;

// What the rest of the environment asks of the project system: the open solution, and
// loading and saving solution files.
class ProjectSystem {
public:
    virtual ~ProjectSystem() = default;

    // The open solution's root, or null.
    virtual ProjectElement *solution() const = 0;
    // Opens the solution file; throws SolutionLoadError and leaves the open solution alone
    // on failure.
    virtual ProjectElement *loadSolution(const std::string &path) = 0;
    // Writes the tree below `root` (a solution node) to `path`; false on failure.
    virtual bool saveSolution(ProjectElement &root, const std::string &path, bool sort) = 0;
    // The target family written into solutions that name none.
    virtual int targetNumber() const = 0;

    // The toolchain layer's part of the node macros: the default extensions with their dot
    // (".o", ".elf", ".a"; empty when it defines none) and macros of its own, added after
    // the project system's. The base defines nothing. A build takes them once for the files
    // of a folder that have no configuration of their own: they may not depend on which file.
    enum class FileExtension { Object, Executable, Library };
    virtual std::string defaultExtension(FileExtension) const { return {}; }
    virtual void addToolchainMacros(const ProjectElement & /*node*/,
                                    const std::string & /*configuration*/,
                                    MacroMap & /*macros*/) const {}
};
