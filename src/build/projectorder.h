#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class Builder;

// What the order needs to know of one project in the configuration being built.
struct ProjectNode {
    QStringList dependencies;     // project_dependencies, resolved in the configuration
    bool hasConfiguration = true; // the configuration applies to this project
};

// One project in build order; it is built only when nothing went wrong with its
// dependencies.
struct OrderedProject {
    QString name;
    QStringList errors; // the lines reported under "Dependency error detected in NAME"

    bool canBuild() const { return errors.isEmpty(); }
    bool operator==(const OrderedProject &) const = default;
};

// The order in which to build projects: each one after everything it depends on, each once.
// A missing project, a configuration that does not apply, a dependency cycle or a dependency
// that cannot be built keeps a project from being built; cycles end the walk instead of
// recursing, however the solution file was edited.
class ProjectOrder {
public:
    // The project of that name, or null when the solution has none.
    using Lookup = std::function<const ProjectNode *(const QString &name)>;

    ProjectOrder(Lookup lookup, QString configuration);

    // Adds `project` after its dependencies; projects already placed are not added again.
    // A root that is not in the solution is placed with "Can't find project NAME".
    void add(const QString &project);

    const std::vector<OrderedProject> &projects() const { return m_projects; }
    bool hasErrors() const;

    // Logs "Dependency error detected in NAME" and the lines recorded for it, as errors.
    static void report(const OrderedProject &project, Builder *log);

private:
    struct Visit;

    Lookup m_lookup;
    QString m_configuration;
    std::vector<OrderedProject> m_projects;
    QHash<QString, size_t> m_placed; // positions in m_projects by name
};
