#pragma once

#include "build/stepplan.h"

#include <QSet>
#include <QStringList>

#include <string>
#include <vector>

class NodeMacros;
class ProjectElement;
class PropertyRegistry;

// The steps of a project that does not compile and link: one copy per file for Staging, one
// command over all files for Combining, the project's own command for the Externally Built
// types.
struct StagePlan {
    std::vector<StepPlan> steps;     // independent of each other; may run in parallel
    std::vector<StepPlan> finishing; // in order, once every step succeeded (post-stage command)
    // Why the project must not be built at all, one line each, such as "Output file PATH is
    // a source file of the project".
    QStringList errors;
};

class StagePlanner {
public:
    StagePlanner(const PropertyRegistry &registry, const NodeMacros &macros);

    // Whether `project_type` makes the project one of these kinds.
    static bool handles(const std::string &projectType);

    // The build of a Staging, Combining or Externally Built project.
    StagePlan plan(const ProjectElement &project, const std::string &configuration) const;

    // What cleaning it takes: the Externally Built types' clean command; the other kinds
    // have their outputs removed by the engine and return no steps.
    StagePlan cleanPlan(const ProjectElement &project, const std::string &configuration) const;

    // The paths of every file node of the solution, excluded or not, cleaned and absolute,
    // and also with links resolved where the file exists: an output that lands on one of them
    // would overwrite or remove a source.
    static QSet<QString> solutionSources(const ProjectElement &solution, const NodeMacros &macros,
                                         const std::string &configuration);
    // Whether `path` (absolute) names one of `sources`, directly or through a link.
    static bool isSource(const QSet<QString> &sources, const QString &path);

private:
    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
};
