#include "build/projectorder.h"

#include "build/builder.h"

#include <QSet>

// A project whose dependencies are being walked.
struct ProjectOrder::Visit {
    QString name;
    QStringList dependencies;
    qsizetype next = 0; // the dependency to look at next
    QStringList errors;
};

ProjectOrder::ProjectOrder(Lookup lookup, QString configuration)
    : m_lookup(std::move(lookup)), m_configuration(std::move(configuration)) {}

void ProjectOrder::add(const QString &project) {
    if (m_placed.contains(project))
        return;
    const ProjectNode *root = m_lookup(project);
    if (!root) {
        m_placed.insert(project, m_projects.size());
        m_projects.push_back({project, {QStringLiteral("Can't find project ") + project}});
        return;
    }

    // Depth first with a stack of our own, so that a long chain of dependencies cannot
    // exhaust the call stack.
    std::vector<Visit> stack;
    QSet<QString> onStack;
    stack.push_back({project, root->dependencies, 0, {}});
    onStack.insert(project);
    while (!stack.empty()) {
        Visit &visit = stack.back();
        if (visit.next == visit.dependencies.size()) {
            Visit done = std::move(visit);
            stack.pop_back();
            onStack.remove(done.name);
            // What depends on a project that cannot be built cannot be built either.
            if (!done.errors.isEmpty() && !stack.empty())
                stack.back().errors << QStringLiteral("Dependency error detected in ") + done.name;
            m_placed.insert(done.name, m_projects.size());
            m_projects.push_back({done.name, done.errors});
            continue;
        }
        QString name = visit.dependencies[visit.next++];
        if (onStack.contains(name)) {
            visit.errors << QStringLiteral("Circular dependency on project ") + name;
            continue;
        }
        if (auto placed = m_placed.constFind(name); placed != m_placed.cend()) {
            if (!m_projects[*placed].canBuild())
                visit.errors << QStringLiteral("Dependency error detected in ") + name;
            continue;
        }
        const ProjectNode *node = m_lookup(name);
        if (!node) {
            visit.errors << QStringLiteral("Can't find project ") + name;
            continue;
        }
        if (!node->hasConfiguration) {
            visit.errors << QStringLiteral("Configuration ") + m_configuration +
                                QStringLiteral(" doesn't apply to dependent project ") + name;
            continue;
        }
        onStack.insert(name);
        stack.push_back({name, node->dependencies, 0, {}});
    }
}

bool ProjectOrder::hasErrors() const {
    for (const OrderedProject &project : m_projects)
        if (!project.canBuild())
            return true;
    return false;
}

void ProjectOrder::report(const OrderedProject &project, Builder *log) {
    log->error(QStringLiteral("Dependency error detected in ") + project.name);
    for (const QString &line : project.errors)
        log->error(line);
}
