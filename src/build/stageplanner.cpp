#include "build/stageplanner.h"

#include "build/buildtree.h"
#include "build/commandexpansion.h"
#include "build/nodevalues.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <map>

using Kind = PropertyNode::Kind;

namespace {

// The file nodes below `node` in document order; with `registry`, those a build takes only
// (an excluded folder or project takes its whole subtree out).
std::vector<const ProjectElement *> fileNodes(const ProjectElement &node,
                                              const std::string &configuration,
                                              const PropertyRegistry *registry) {
    std::vector<const ProjectElement *> files;
    walkBuildTree(node, [&](const ProjectElement &at) {
        if (at.kind() != Kind::Solution && registry &&
            isExcludedFromBuild(*registry, at, configuration))
            return false;
        if (at.kind() == Kind::File) {
            if (!at.attributeOr("file_name").empty())
                files.push_back(&at);
            return false;
        }
        return true;
    });
    return files;
}

bool excludedWithAncestors(const PropertyRegistry &registry, const ProjectElement &node,
                           const std::string &configuration) {
    for (const ProjectElement *at = &node; at && at->kind() != Kind::Solution;
         at = at->parentElement())
        if (isExcludedFromBuild(registry, *at, configuration))
            return true;
    return false;
}

// `chmod` words making `path` read-only ("Yes") or writable ("No"); nothing for "Don't".
std::vector<StepPlan> permissionSteps(const std::string &setting, const QString &path,
                                      const QString &name) {
    if (setting != "Yes" && setting != "No")
        return {};
    StepPlan step;
    step.action = BuildAction::UserCommand;
    const bool readOnly = setting == "Yes";
    step.description = QStringLiteral("Making ") + name +
                       (readOnly ? QStringLiteral(" read-only") : QStringLiteral(" writable"));
    step.arguments = {QStringLiteral("chmod"),
                      readOnly ? QStringLiteral("a-w") : QStringLiteral("u+w"),
                      QStringLiteral("--"), path};
    return {step};
}

// A read-only output left by the last build must not make the command that rewrites it fail.
std::vector<StepPlan> unlockSteps(const std::string &setting, const QString &path,
                                  const QString &name) {
    if (setting != "Yes")
        return {};
    StepPlan step;
    step.action = BuildAction::UserCommand;
    step.description = QStringLiteral("Making ") + name + QStringLiteral(" writable");
    step.arguments = {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                      QStringLiteral("test ! -e \"$1\" || chmod u+w -- \"$1\""),
                      QStringLiteral("sh"), path};
    return {step};
}

QString outputRefusal(const QString &path) {
    return QStringLiteral("Output file ") + path +
           QStringLiteral(" is a source file of the project");
}

} // namespace

StagePlanner::StagePlanner(const PropertyRegistry &registry, const NodeMacros &macros)
    : m_registry(registry), m_macros(macros) {}

bool StagePlanner::handles(const std::string &projectType) {
    return projectType == "Staging" || projectType == "Combining" ||
           projectType == "Externally Built Executable" ||
           projectType == "Externally Built Library" ||
           projectType == "Externally Built Object file";
}

QSet<QString> StagePlanner::solutionSources(const ProjectElement &solution,
                                            const NodeMacros &macros,
                                            const std::string &configuration) {
    QSet<QString> sources;
    std::map<const ProjectElement *, QDir> projectDirs;
    for (const ProjectElement *file : fileNodes(solution, configuration, nullptr)) {
        const ProjectElement *owner = file->nearest(Kind::Project);
        auto dir = projectDirs.find(owner);
        if (dir == projectDirs.end())
            dir = projectDirs
                      .emplace(owner, QDir(QString::fromStdString(
                                          macros.projectDirectory(*file, configuration))))
                      .first;
        const QString name =
            QString::fromStdString(macros.expander().globalExpand(file->attributeOr("file_name")));
        const QString path = QDir::cleanPath(dir->second.absoluteFilePath(name));
        sources.insert(path);
        if (const QString real = QFileInfo(path).canonicalFilePath(); !real.isEmpty())
            sources.insert(real);
    }
    return sources;
}

bool StagePlanner::isSource(const QSet<QString> &sources, const QString &path) {
    if (path.isEmpty())
        return false;
    if (sources.contains(QDir::cleanPath(path)))
        return true;
    const QString real = QFileInfo(path).canonicalFilePath();
    return !real.isEmpty() && sources.contains(real);
}

StagePlan StagePlanner::plan(const ProjectElement &project,
                             const std::string &configuration) const {
    StagePlan result;
    NodeValues values(m_registry, m_macros, project, configuration);
    const std::string type = values.raw("project_type");
    if (!handles(type) || excludedWithAncestors(m_registry, project, configuration))
        return result;
    const QString projectDir = values.macro("ProjectDir");

    if (type.starts_with("Externally Built")) {
        const std::string command = values.raw("external_build_command");
        if (command.empty())
            return result;
        StepPlan step;
        step.action = BuildAction::UserCommand;
        step.description = QStringLiteral("Running Build command ") + values.expand(command);
        step.arguments = CommandExpansion(values).arguments(command);
        step.workingDirectory = projectDir;
        result.steps.push_back(std::move(step));
        return result;
    }

    const std::vector<const ProjectElement *> files =
        fileNodes(project, configuration, &m_registry);
    QSet<QString> sources;
    bool sourcesKnown = false;
    auto landsOnSource = [&](const QString &path) {
        if (!sourcesKnown && project.solution())
            sources = solutionSources(*project.solution(), m_macros, configuration);
        sourcesKnown = true;
        return isSource(sources, path);
    };

    if (type == "Staging") {
        // Steps run in parallel: two copies to one file would leave either, or a mix of both.
        QSet<QString> staged;
        for (const ProjectElement *file : files) {
            NodeValues fileValues(m_registry, m_macros, *file, configuration);
            const std::string command = fileValues.raw("stage_command");
            if (command.empty())
                continue;
            const QString output = fileValues.path("stage_output_filepath");
            if (landsOnSource(output)) {
                result.errors << outputRefusal(output);
                continue;
            }
            if (!output.isEmpty() && staged.contains(output)) {
                result.errors << QStringLiteral("Output file ") + output +
                                     QStringLiteral(" is staged from more than one file");
                continue;
            }
            staged.insert(output);
            fileValues.set("StageOutputFilePath", output);
            const QString name = fileValues.macro("InputFileName");
            const std::string readOnly = fileValues.raw("stage_set_readonly");
            StepPlan step;
            step.action = BuildAction::Stage;
            step.description = QStringLiteral("Copying ") + name;
            step.arguments = CommandExpansion(fileValues).arguments(command);
            step.workingDirectory = fileValues.path("stage_command_wd");
            if (step.workingDirectory.isEmpty())
                step.workingDirectory = projectDir;
            step.inputs << fileValues.macro("InputPath");
            step.alwaysRebuild = fileValues.yes("build_always_rebuild");
            if (!output.isEmpty()) {
                step.outputs << output;
                step.before = unlockSteps(readOnly, output, name);
                step.after = permissionSteps(readOnly, output, name);
            }
            result.steps.push_back(std::move(step));
        }
        const std::string post = values.raw("stage_post_build_command");
        if (!post.empty()) {
            StepPlan step;
            step.action = BuildAction::UserCommand;
            step.description = QStringLiteral("Post-stage command");
            step.arguments = CommandExpansion(values).arguments(post);
            step.workingDirectory = values.path("stage_post_build_command_wd");
            if (step.workingDirectory.isEmpty())
                step.workingDirectory = projectDir;
            result.finishing.push_back(std::move(step));
        }
        return result;
    }

    // Combining: one command over every file.
    const std::string command = values.raw("combine_command");
    if (command.empty())
        return result;
    QStringList inputs;
    QStringList relativeInputs;
    for (const ProjectElement *file : files) {
        const MacroMap fileMacros = m_macros.build(*file, configuration);
        inputs << QString::fromStdString(fileMacros.value("InputPath"));
        relativeInputs << QString::fromStdString(fileMacros.value("RelInputPath"));
    }
    const QString output = values.path("combine_output_filepath");
    if (landsOnSource(output)) {
        result.errors << outputRefusal(output);
        return result;
    }
    values.set("CombiningOutputFilePath", output);
    values.set(CommandExpansion::kCombiningInputs, relativeInputs.join(u' '));
    const QString name = values.macro("ProjectName");
    const std::string readOnly = values.raw("combine_set_readonly");
    StepPlan step;
    step.action = BuildAction::Combine;
    step.description = QStringLiteral("Combining ") + name;
    step.arguments = CommandExpansion(values, relativeInputs).arguments(command);
    step.workingDirectory = values.path("combine_command_wd");
    if (step.workingDirectory.isEmpty())
        step.workingDirectory = projectDir;
    step.inputs = inputs;
    step.alwaysRebuild = values.yes("build_always_rebuild");
    if (!output.isEmpty()) {
        step.outputs << output;
        const QString outputName = QFileInfo(output).fileName();
        step.before = unlockSteps(readOnly, output, outputName);
        step.after = permissionSteps(readOnly, output, outputName);
    }
    result.steps.push_back(std::move(step));
    return result;
}

StagePlan StagePlanner::cleanPlan(const ProjectElement &project,
                                  const std::string &configuration) const {
    StagePlan result;
    const NodeValues values(m_registry, m_macros, project, configuration);
    if (!values.raw("project_type").starts_with("Externally Built"))
        return result;
    const std::string command = values.raw("external_clean_command");
    if (command.empty())
        return result;
    StepPlan step;
    step.action = BuildAction::Clean;
    step.description = QStringLiteral("Running Clean command ") + values.expand(command);
    step.arguments = CommandExpansion(values).arguments(command);
    step.workingDirectory = values.macro("ProjectDir");
    result.steps.push_back(std::move(step));
    return result;
}
