#include "project/projectpropertyvalue.h"

#include "golden.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/propertysetter.h"
#include "project/propertyvaluegroupclass.h"
#include "project/standardprojectsystem.h"

#include <gtest/gtest.h>

namespace {

class ProjectValueTest : public ::testing::Test {
protected:
    ProjectValueTest() : m_system(m_macros), m_setter(m_registry) {
        registerBuiltinProperties(m_registry, nullptr);
        m_root = m_system.loadSolution(testDataPath("project/resolution/table.qzProject"));
    }
    std::unique_ptr<ProjectPropertyValue> value(const std::string &path, const std::string &name,
                                                const std::string &configuration) {
        ProjectElement *node = NodePath::find(*m_root, path);
        EXPECT_NE(node, nullptr);
        return ProjectPropertyValue::create(m_registry.findPropertyClass(node, name), m_setter,
                                            *node, configuration);
    }

    MacroExpander m_macros;
    PropertyRegistry m_registry;
    StandardProjectSystem m_system;
    PropertySetter m_setter;
    ProjectElement *m_root = nullptr;
};

TEST_F(ProjectValueTest, ScalarsResolveListsShowTheNodesOwnPart) {
    auto breakpoint = value("App/Source Files/bare.c", "debug_initial_breakpoint", "Debug");
    EXPECT_EQ(breakpoint->value(), "flash_main");
    auto defines = value("App/Source Files/main.c", "c_preprocessor_definitions", "Common");
    EXPECT_EQ(defines->value(), "C");

    breakpoint->setValue("here");
    EXPECT_EQ(breakpoint->value(), "here");
    EXPECT_EQ(breakpoint->clone()->value(), "here");
    EXPECT_EQ(m_setter.history().count(), 1u);
    EXPECT_TRUE(breakpoint->isModifiable());
}

TEST_F(ProjectValueTest, IdentityAttributesAreSetOnTheNodeItself) {
    ProjectElement *project = NodePath::find(*m_root, "App");
    auto name = value("App", "Name", "Debug");
    EXPECT_EQ(name->value(), "App");
    name->setValue("Main");
    EXPECT_EQ(project->attributeOr("Name"), "Main");
    // The configuration child keeps its name, and with it its values.
    ASSERT_NE(project->configuration("Debug"), nullptr);
    EXPECT_EQ(project->storedValue("Debug", "c_preprocessor_definitions"), "B");
    ASSERT_EQ(m_setter.history().count(), 1u);
    EXPECT_EQ(m_setter.history().records()[0].oldText, "App");
}

TEST_F(ProjectValueTest, ConfigurationListsReadAndRewriteTheSolution) {
    auto publicList = value("App", "public_configurations", "Common");
    auto privateList = value("App", "private_configurations", "Common");
    ASSERT_NE(dynamic_cast<PublicConfigurationsProjectPropertyValue *>(publicList.get()), nullptr);
    EXPECT_EQ(publicList->value(), "Debug;Empty;Release");
    EXPECT_EQ(privateList->value(), "ARM;Flash");

    privateList->setValue("Release;Extra");
    publicList->setValue("ARM");
    EXPECT_EQ(publicList->value(), "ARM;Debug;Empty");
    EXPECT_EQ(privateList->value(), "Extra;Flash;Release");
    // Nothing left out of a list lost its values.
    EXPECT_EQ(m_root->configuration("Release")->attributeOr("inherited_configurations"),
              "Common;Release;Flash;Flash");

    auto inherited = value("App/Source Files/main.c", "inherited_configurations", "Debug");
    EXPECT_EQ(inherited->value(), "Flash;ARM");
    inherited->setValue("ARM");
    EXPECT_EQ(m_root->inheritedConfigurations().at("Debug"), std::vector<std::string>{"ARM"});
    EXPECT_EQ(value("App", "debug_initial_breakpoint", "Debug")->value(), "arm_main");
}

TEST_F(ProjectValueTest, ChoosingAGroupEntrySetsItsProperties) {
    ProjectElement *project = NodePath::find(*m_root, "App");
    auto group = std::make_unique<PropertyValueGroupClass>("board");
    group->addEntry({"Nucleo", "", {{"linker_map_file", "No"}, {"board_flag", "n1"}}});
    std::vector<std::unique_ptr<PropertyValueGroupClass>> groups;
    groups.push_back(std::move(group));
    m_registry.setPropertyGroups(project, std::move(groups), [](const std::string &) {});

    auto chosen = value("App", "board", "Debug");
    ASSERT_NE(dynamic_cast<PropertyValueGroupValue *>(chosen.get()), nullptr);
    chosen->setValue("Nucleo");
    EXPECT_EQ(chosen->value(), "Nucleo");
    EXPECT_EQ(project->storedValue("Debug", "linker_map_file"), "No");
    EXPECT_EQ(project->storedValue("Debug", "board_flag"), "n1");
    chosen->setValue("Unknown");
    EXPECT_EQ(project->storedValue("Debug", "linker_map_file"), "No");
}

} // namespace
