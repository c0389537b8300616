#include "build/projectorder.h"

#include "recordingbuilder.h"

#include <QMap>

#include <gtest/gtest.h>

namespace {

// A solution as a table: project name, its dependencies, whether the configuration applies.
class Solution {
public:
    Solution &project(const QString &name, const QStringList &dependencies = {},
                      bool hasConfiguration = true) {
        m_projects[name] = {dependencies, hasConfiguration};
        return *this;
    }
    ProjectOrder order(const QStringList &roots) const {
        ProjectOrder order(
            [this](const QString &name) -> const ProjectNode * {
                auto found = m_projects.find(name);
                return found == m_projects.end() ? nullptr : &found.value();
            },
            "Debug");
        for (const QString &root : roots)
            order.add(root);
        return order;
    }

private:
    QMap<QString, ProjectNode> m_projects;
};

QStringList names(const ProjectOrder &order) {
    QStringList result;
    for (const OrderedProject &project : order.projects())
        result << project.name;
    return result;
}

TEST(ProjectOrderTest, DependenciesFirstEachOnce) {
    Solution solution;
    solution.project("app", {"drivers", "rtos"})
        .project("drivers", {"hal"})
        .project("rtos", {"hal"})
        .project("hal")
        .project("tests", {"hal", "app"});
    ProjectOrder order = solution.order({"app"});
    EXPECT_EQ(names(order), (QStringList{"hal", "drivers", "rtos", "app"}));
    EXPECT_FALSE(order.hasErrors());

    // Every project of the solution: what is already placed is not placed again.
    order = solution.order({"app", "drivers", "hal", "rtos", "tests"});
    EXPECT_EQ(names(order), (QStringList{"hal", "drivers", "rtos", "app", "tests"}));
}

TEST(ProjectOrderTest, MissingProjectsAndConfigurations) {
    Solution solution;
    solution.project("app", {"gone", "lib", "host"})
        .project("lib")
        .project("host", {}, false)
        .project("other", {"lib"});
    ProjectOrder order = solution.order({"app", "other", "nowhere"});
    EXPECT_EQ(order.projects(),
              (std::vector<OrderedProject>{
                  {"lib", {}},
                  {"app",
                   {"Can't find project gone",
                    "Configuration Debug doesn't apply to dependent project host"}},
                  {"other", {}},
                  {"nowhere", {"Can't find project nowhere"}}}));
    EXPECT_TRUE(order.hasErrors());

    RecordingBuilder log;
    ProjectOrder::report(order.projects()[1], &log);
    EXPECT_EQ(
        log.events,
        (QStringList{"error: Dependency error detected in app", "error: Can't find project gone",
                     "error: Configuration Debug doesn't apply to dependent project host"}));
}

TEST(ProjectOrderTest, ErrorsSpreadToDependents) {
    // "lib" cannot be built, so neither can anything that needs it, however it is reached.
    Solution solution;
    solution.project("app", {"lib"}).project("lib", {"gone"}).project("tool", {"lib"});
    ProjectOrder order = solution.order({"app", "tool"});
    EXPECT_EQ(order.projects(),
              (std::vector<OrderedProject>{{"lib", {"Can't find project gone"}},
                                           {"app", {"Dependency error detected in lib"}},
                                           {"tool", {"Dependency error detected in lib"}}}));
}

TEST(ProjectOrderTest, CyclesFailInsteadOfRecursing) {
    Solution solution;
    solution.project("a", {"b"}).project("b", {"c"}).project("c", {"a"}).project("self", {"self"});
    ProjectOrder order = solution.order({"a", "self"});
    EXPECT_EQ(order.projects(),
              (std::vector<OrderedProject>{{"c", {"Circular dependency on project a"}},
                                           {"b", {"Dependency error detected in c"}},
                                           {"a", {"Dependency error detected in b"}},
                                           {"self", {"Circular dependency on project self"}}}));
}

TEST(ProjectOrderTest, LongChainsNeedNoDeepStack) {
    Solution solution;
    const int length = 20000;
    for (int i = 0; i < length; ++i)
        solution.project(QString::number(i), {QString::number(i + 1)});
    solution.project(QString::number(length), {"0"}); // and close it into a ring
    ProjectOrder order = solution.order({"0"});
    ASSERT_EQ(order.projects().size(), size_t(length + 1));
    EXPECT_EQ(order.projects().front().errors, QStringList{"Circular dependency on project 0"});
    EXPECT_FALSE(order.projects().back().canBuild());
}

} // namespace
