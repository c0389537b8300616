#pragma once

#include "project/projectelement.h"
#include "project/projectsystem.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MacroExpander;
class MacroMap;

// How a load treats what the file asks for.
struct SolutionLoadOptions {
    // A solution's `load_command` names a program to run when the file opens. Files come from
    // colleagues and downloads, so it runs only when the user allowed it for this load.
    bool allowLoadCommand = false;
    // How long the command may run before it is stopped and the load fails.
    int loadCommandTimeoutMs = 60000;
};

// The project system of solution files (".qzProject"): loads a file with its imports into a
// tree of ProjectElements, keeps it while the solution is open and writes it back.
//
// Every walk over a tree keeps its own stack or follows XMLNode::nextInTree, so neither deep
// nesting nor many siblings reach the machine stack; imports nest at most kMaxImportDepth.
class StandardProjectSystem : public ProjectSystem {
public:
    static constexpr const char *kExtension = ".qzProject";
    static constexpr const char *kSaveAsTitle = "Save Solution As";
    static constexpr const char *kSaveAsFilter = "Solution Files (*.qzProject)";
    static constexpr const char *kExternalChangeTitle = "Project modified externally";
    static constexpr int kMaxImportDepth = 32;
    // Imports a whole load may follow (a file importing another twice, which does the
    // same ... would otherwise multiply).
    static constexpr int kMaxImports = 4096;

    // Progress of long work: a text, then counts of work done against the total.
    using ProgressHandler = std::function<void(const std::string &text, long done, long total)>;
    using MessageHandler = std::function<void(const std::string &message)>;

    explicit StandardProjectSystem(const MacroExpander &macros);
    ~StandardProjectSystem() override;

    void setLoadOptions(const SolutionLoadOptions &options) { m_options = options; }
    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }
    // Warnings of a load: preprocessor warnings, duplicate configurations, a load command
    // that was not run. They never stop the load.
    void setWarningHandler(MessageHandler handler) { m_warning = std::move(handler); }
    // Called with the path after every successful save.
    void addSavedListener(MessageHandler listener) {
        m_savedListeners.push_back(std::move(listener));
    }
    void setTargetNumber(int target) { m_target = target; }

    // ProjectSystem
    ProjectElement *solution() const override { return m_solution.get(); }
    // The previous solution is closed only once the new one has loaded completely.
    ProjectElement *loadSolution(const std::string &path) override;
    // On failure lastError() says why and the tree, its flags and the old file stay as they
    // were.
    bool saveSolution(ProjectElement &root, const std::string &path, bool sort) override;
    int targetNumber() const override { return m_target; }

    // Saves the open solution to its file, then every modifiable imported solution that has
    // unsaved edits to its own file. False when any save failed (lastError() names it).
    bool saveAll(bool sort = false);
    // The "Save Solution As" command with the name the user chose: the extension is added
    // when missing, and the open solution takes the new path. On failure lastError() is
    // "Can't open PATH for writing" (or the refusal of a save over conditional sections).
    bool saveSolutionAs(const std::string &chosenPath, bool sort = false);
    static std::string withSolutionExtension(const std::string &path);

    const std::string &lastError() const { return m_lastError; }

    // Closes the open solution, unless a build, a debug session or a script is running: then
    // the refusal's text.
    std::optional<std::string> closeSolution(bool building = false, bool debugging = false,
                                             bool scriptRunning = false);
    static std::optional<std::string> closeRefusal(bool building, bool debugging,
                                                   bool scriptRunning);
    // Whether the open solution's file changed on disk since it was loaded or saved, and the
    // question to ask then.
    bool changedOnDisk() const;
    static std::string externalChangeQuestion(bool modifiedHere, const std::string &programName);

    // Whether any node of the open solution has unsaved edits.
    bool isModified() const;

    // The open solution's `environment_variables`: child processes get them on top of the
    // process environment, which itself is never changed.
    const std::map<std::string, std::string> &environmentOverlay() const { return m_environment; }
    // The process environment with the overlay applied, as "NAME=VALUE" items.
    std::vector<std::string> childEnvironment() const;

    // Names of the elements with a `template_name` in the solution and its templates file.
    const std::vector<std::string> &templateNames() const { return m_templateNames; }
    // The templates file the open solution names (expanded and resolved), or empty.
    const std::string &templatesFile() const { return m_templatesFile; }

private:
    struct LoadChain;
    struct LoadState;

    std::unique_ptr<ProjectElement> loadFile(const std::string &path, const MacroMap &macros,
                                             const LoadChain &chain, LoadState &state);
    void runLoadCommand(const ProjectElement &root, const std::string &path);
    void resolveImports(ProjectElement &root, const std::string &path, const LoadChain &chain,
                        LoadState &state);
    void loadTemplates(const ProjectElement &root, const std::string &path, LoadState &state);
    void warn(const std::string &message) const;
    void progress(const std::string &text, long done = 0, long total = 0) const;

    const MacroExpander &m_macros;
    SolutionLoadOptions m_options;
    ProgressHandler m_progress;
    MessageHandler m_warning;
    std::vector<MessageHandler> m_savedListeners;
    int m_target = 0;

    std::unique_ptr<ProjectElement> m_solution;
    std::string m_canonicalPath;
    std::map<std::string, std::string> m_environment;
    std::vector<std::string> m_templateNames;
    std::string m_templatesFile;
    std::string m_lastError;
};
