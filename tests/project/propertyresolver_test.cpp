#include "project/propertyresolver.h"

#include "golden.h"
#include "project/builtinproperties.h"
#include "project/configurations.h"
#include "project/macroexpander.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"

#include <gtest/gtest.h>

namespace {

class ResolutionTest : public ::testing::Test {
protected:
    ResolutionTest() : m_system(m_macros) {
        registerBuiltinProperties(m_registry, nullptr);
        m_system.setWarningHandler([](const std::string &w) { ADD_FAILURE() << w; });
    }

    ProjectElement &load(const std::string &fixture) {
        return *m_system.loadSolution(testDataPath("project/resolution/" + fixture));
    }
    ProjectElement &node(const std::string &path) {
        ProjectElement *found = NodePath::find(*m_system.solution(), path);
        EXPECT_NE(found, nullptr) << path;
        return found ? *found : *m_system.solution();
    }
    std::string resolve(const std::string &path, const std::string &name,
                        const std::string &configuration, ResolutionTrace *trace = nullptr) {
        ProjectElement &at = node(path);
        const PropertyClass *definition = m_registry.findPropertyClass(&at, name);
        if (!definition)
            return PropertyResolver::resolve(at, name, PropertyType::String, "", configuration,
                                             trace);
        return PropertyResolver::resolve(at, *definition, configuration, trace);
    }

    MacroExpander m_macros;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
};

struct Row {
    const char *node;
    const char *name;
    const char *configuration;
    const char *expected;
    const char *why;
};

TEST_F(ResolutionTest, Table) {
    load("table.qzProject");
    const Row rows[] = {
        // Lists: every level contributes, outermost first; each level "Common", the
        // inherited ones in reverse list order, then the configuration itself.
        {"App/Source Files/main.c", "c_preprocessor_definitions", "Debug", "A;SA;SF;SD;B;C",
         "two inherited configurations, lists per level"},
        {"App/Source Files/main.c", "c_preprocessor_definitions", "Release", "SF;A;R;C",
         "an inherited list naming Common, itself and Flash twice counts each once"},
        {"App/Source Files/main.c", "c_preprocessor_definitions", "Common", "A;C",
         "Common consults only Common children"},
        {"App/Source Files/empty.c", "c_preprocessor_definitions", "Debug", "A;SA;SF;SD;B",
         "an explicit empty item adds no empty item"},
        {"App/Source Files/bare.c", "c_preprocessor_definitions", "Empty", "A",
         "an explicit empty value in the solution leaves its Common"},
        {"App/Source Files/bare.c", "clang_tidy_checks_c", "Empty", "",
         "an explicit empty list suppresses the default"},
        {"App/Source Files/bare.c", "clang_tidy_checks_c", "Debug",
         "clang-analyzer-*;-clang-analyzer-cplusplus*", "the default when nothing is stored"},
        // Scalars: the first hit wins.
        {"App/Source Files/main.c", "build_debug_information", "Debug", "No",
         "No on the file beats Yes on the project"},
        {"App/Source Files/bare.c", "build_debug_information", "Release", "Yes",
         "Common on the project holds for every configuration"},
        {"App/Source Files/bare.c", "build_debug_information", "Empty", "Yes",
         "Common on the project holds for every configuration"},
        {"App/Source Files/main.c", "c_enforce_ansi_checking", "Debug", "No",
         "an inherited configuration on the file beats Common on the file and the project"},
        {"App/Source Files/bare.c", "debug_initial_breakpoint", "Debug", "flash_main",
         "an inherited configuration of the project beats the solution"},
        {"App", "linker_map_file", "Debug", "No", "the first inherited configuration wins"},
        {"App", "linker_map_file", "Release", "No", "inherited through a list with duplicates"},
        {"App", "linker_map_file", "Common", "Yes", "the default for Common"},
        {"App/Source Files/empty.c", "build_quietly", "Debug", "",
         "an explicit empty text stops the search"},
        {"App/Source Files/main.c", "build_quietly", "Debug", "No", "found in solution Common"},
        {"App/Source Files/empty.c", "c_user_include_directories", "Debug", "",
         "a directory list is not combined"},
        {"App/Source Files/main.c", "c_user_include_directories", "Debug", "inc", ""},
        {"App/Source Files/bare.c", "gcc_optimization_level", "Release", "Level 2",
         "no definition: a text"},
        {"App/Source Files/bare.c", "project_type", "Debug", "Executable", ""},
        // Identity attributes belong to the node, not to its configuration children.
        {"App", "Name", "Debug", "App", "not the configuration child's Name"},
        {"App/Source Files/main.c", "Name", "Debug", "", "a file has no Name"},
        {"App/Source Files/main.c", "file_name", "Debug", "main.c", ""},
        {"", "Name", "Release", "Table", ""},
        {"", "target", "Debug", "8", ""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(resolve(row.node, row.name, row.configuration), row.expected)
            << row.node << " " << row.name << " [" << row.configuration << "]: " << row.why;
}

TEST_F(ResolutionTest, TraceNamesEachContributionInSearchOrder) {
    load("table.qzProject");
    ResolutionTrace trace;
    resolve("App/Source Files/empty.c", "c_preprocessor_definitions", "Debug", &trace);
    std::string text;
    for (const ResolutionRecord &record : trace)
        text += (record.node ? record.node->displayName() : "(default)") + " [" +
                record.configuration + "] \"" + record.value + "\"\n";
    EXPECT_EQ(text, "empty.c [Debug] \"\"\n"
                    "App [Debug] \"B\"\n"
                    "Table [Debug] \"SD\"\n"
                    "Table [Flash] \"SF\"\n"
                    "Table [ARM] \"SA\"\n"
                    "Table [Common] \"A\"\n");

    trace.clear();
    EXPECT_EQ(resolve("App", "debug_initial_breakpoint", "Empty", &trace), "main");
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].node, nullptr);
    EXPECT_EQ(trace[0].value, "main");

    trace.clear();
    resolve("App", "Name", "Debug", &trace);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].node, &node("App"));
    EXPECT_EQ(trace[0].configuration, "");
}

TEST_F(ResolutionTest, RawValueReadsOneConfigurationChildOnly) {
    load("table.qzProject");
    EXPECT_EQ(PropertyResolver::rawValue(node("App"), "Debug", "c_preprocessor_definitions"), "B");
    EXPECT_EQ(PropertyResolver::rawValue(node("App"), "Flash", "c_preprocessor_definitions"),
              std::nullopt);
    EXPECT_EQ(
        PropertyResolver::rawValue(node("App/Source Files/empty.c"), "Debug", "build_quietly"), "");
    EXPECT_EQ(PropertyResolver::rawValue(node("App"), "Nowhere", "project_type"), std::nullopt);
}

TEST_F(ResolutionTest, ImportedSolutionsJoinTheWalkAndLendTheirInheritedLists) {
    load("outer.qzProject");
    EXPECT_EQ(resolve("Inner/Lib/lib.c", "c_preprocessor_definitions", "Debug"),
              "OUTER;OUTER_SLOW;OUTER_DEBUG;INNER;LIB_SLOW");
    EXPECT_EQ(resolve("Inner/Lib/lib.c", "c_preprocessor_definitions", "Release"),
              "OUTER;INNER;LIB_FAST");
    EXPECT_EQ(resolve("#3", "project_type", "Debug"), "Library");

    EXPECT_EQ(Configurations::list(*m_system.solution(), Configurations::Public),
              std::vector<std::string>{"Debug"});
    EXPECT_EQ(Configurations::list(node("Inner"), Configurations::Public),
              (std::vector<std::string>{"Debug", "Release"}));
    EXPECT_EQ(Configurations::list(node("Inner"), Configurations::Private),
              (std::vector<std::string>{"Fast", "Slow"}));
}

TEST_F(ResolutionTest, ConfigurationLists) {
    ProjectElement &root = load("table.qzProject");
    using C = Configurations;
    EXPECT_EQ(C::list(root, C::Public), (std::vector<std::string>{"Debug", "Empty", "Release"}));
    EXPECT_EQ(C::list(root, C::Private), (std::vector<std::string>{"ARM", "Flash"}));
    EXPECT_EQ(C::list(root, C::All),
              (std::vector<std::string>{"ARM", "Common", "Debug", "Empty", "Flash", "Release"}));
    EXPECT_EQ(
        C::list(root, C::Public,
                [](const ProjectElement &, const std::string &name) { return name != "Empty"; }),
        (std::vector<std::string>{"Debug", "Release"}));

    ProjectElement bare("solution");
    EXPECT_EQ(C::list(bare, C::Public), std::vector<std::string>{"Common"});
    EXPECT_EQ(C::list(bare, C::Private), std::vector<std::string>{"Common"});
}

TEST_F(ResolutionTest, SettingInheritedConfigurationsRebuildsTheMap) {
    ProjectElement &root = load("table.qzProject");
    Configurations::setInherited(root, "Release", {"ARM"});
    EXPECT_EQ(root.inheritedConfigurations().at("Release"), std::vector<std::string>{"ARM"});
    EXPECT_EQ(resolve("App", "linker_map_file", "Release"), "Yes");
    Configurations::setInherited(root, "Fresh", {"Flash", "ARM"});
    EXPECT_NE(root.configuration("Fresh"), nullptr);
    EXPECT_EQ(resolve("App", "debug_initial_breakpoint", "Fresh"), "flash_main");
    EXPECT_TRUE(root.isModified());
}

} // namespace

namespace {

TEST_F(ResolutionTest, NodePathsByNameAndIndex) {
    ProjectElement &root = load("outer.qzProject");
    EXPECT_EQ(NodePath::find(root, ""), &root);
    ProjectElement *file = NodePath::find(root, "Inner/Lib/lib.c");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(NodePath::find(root, "inner.qzProject/Lib/lib.c"), file);
    EXPECT_EQ(NodePath::find(root, "#3"), file);
    const std::vector<ProjectElement *> listing = NodePath::listing(root);
    ASSERT_EQ(listing.size(), 4u);
    EXPECT_EQ(listing[3], file);
    for (const char *bad : {"#", "#4", "#-1", "#1x", "#99999999999999999999999", "Inner/Lib/",
                            "Inner//Lib/lib.c", "Lib/lib.c", "Inner/Lib/lib.c/x"})
        EXPECT_EQ(NodePath::find(root, bad), nullptr) << bad;
}

} // namespace
