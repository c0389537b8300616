#include "project/propertyregistry.h"

#include "fakepropertynode.h"
#include "project/builtinproperties.h"
#include "project/propertyvaluegroupclass.h"

#include <gtest/gtest.h>

namespace {

using Kind = PropertyNode::Kind;

std::unique_ptr<PropertyClass> definition(const std::string &name, PropertyType type,
                                          unsigned actions = 0) {
    auto made = std::make_unique<PropertyClass>(name, type);
    made->setBuildActions(actions);
    return made;
}

std::unique_ptr<PropertyValueGroupClass> group(const std::string &name) {
    auto made = std::make_unique<PropertyValueGroupClass>(name);
    made->addEntry({"Alpha", "", {{"c_preprocessor_definitions", "ALPHA"}}});
    return made;
}

TEST(PropertyRegistryTest, OutputFileNameFollowsTheProjectType) {
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    FakePropertyNode solution(Kind::Solution);
    FakePropertyNode executable(Kind::Project, &solution, "Executable");
    FakePropertyNode library(Kind::Project, &solution, "Library");
    FakePropertyNode objects(Kind::Project, &solution, "Object file");
    FakePropertyNode libraryFile(Kind::File, &library);

    auto defaultFor = [&](const PropertyNode *node) {
        const PropertyClass *found = registry.findPropertyClass(node, "build_output_file_name");
        return found ? found->defaultValue() : std::string("(none)");
    };
    EXPECT_EQ(defaultFor(&executable), "$(OutDir)/$(ProjectName)$(EXE)");
    EXPECT_EQ(defaultFor(&objects), "$(OutDir)/$(ProjectName)$(EXE)");
    EXPECT_EQ(defaultFor(&library), "$(OutDir)/$(ProjectName)$(LIB)");
    EXPECT_EQ(defaultFor(&libraryFile), "$(OutDir)/$(ProjectName)$(LIB)");
    EXPECT_EQ(defaultFor(&solution), "$(OutDir)/$(ProjectName)$(EXE)");
    EXPECT_EQ(defaultFor(nullptr), "$(OutDir)/$(ProjectName)$(EXE)");
    EXPECT_EQ(registry.findPropertyClass(&library, "build_output_file_name")->group(),
              "Library Options");
    EXPECT_EQ(registry.mapped("build_output_file_name").size(), 2u);

    // Names without a type-specific definition answer the general one for every node.
    EXPECT_EQ(registry.findPropertyClass(&library, "project_type"), registry.find("project_type"));
    EXPECT_EQ(registry.findPropertyClass(&library, "no_such_property"), nullptr);
    EXPECT_EQ(registry.find("no_such_property"), nullptr);
}

TEST(PropertyRegistryTest, ALaterRegistrationReplacesTheMapping) {
    PropertyRegistry registry;
    const unsigned link = PropertyRegistry::actionBit(PropertyRegistry::Link);
    const unsigned archive = PropertyRegistry::actionBit(PropertyRegistry::Archive);
    PropertyClass *first = registry.add(definition("options", PropertyType::String, link));
    PropertyClass *second = registry.add(definition("options", PropertyType::StringList, archive));
    EXPECT_EQ(registry.find("options"), second);
    EXPECT_EQ(registry.definitions().size(), 2u); // both stay owned
    EXPECT_FALSE(registry.actionSet(PropertyRegistry::Link).count(first));
    EXPECT_TRUE(registry.actionSet(PropertyRegistry::Archive).count(second));

    // A definition for one project type stands beside the general one and replaces only
    // its own kind.
    auto library = definition("options", PropertyType::FileName);
    library->setProjectType("Library");
    PropertyClass *forLibrary = registry.add(std::move(library));
    EXPECT_EQ(registry.find("options"), second);
    auto again = definition("options", PropertyType::DirPath);
    again->setProjectType("Library");
    PropertyClass *replacement = registry.add(std::move(again));
    EXPECT_EQ(registry.mapped("options"),
              (std::vector<const PropertyClass *>{second, replacement}));
    EXPECT_NE(forLibrary, replacement);

    // Only a type-specific definition: general lookups find nothing.
    auto lonely = definition("lonely", PropertyType::String);
    lonely->setProjectType("Staging");
    registry.add(std::move(lonely));
    EXPECT_EQ(registry.find("lonely"), nullptr);
    FakePropertyNode staging(Kind::Project, nullptr, "Staging");
    FakePropertyNode executable(Kind::Project, nullptr, "Executable");
    EXPECT_NE(registry.findPropertyClass(&staging, "lonely"), nullptr);
    EXPECT_EQ(registry.findPropertyClass(&executable, "lonely"), nullptr);
}

TEST(PropertyRegistryTest, BuildActionsHaveTheirOwnSets) {
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    auto contains = [&](PropertyRegistry::BuildAction action, const char *name) {
        return registry.actionSet(action).count(registry.find(name)) == 1;
    };
    EXPECT_TRUE(contains(PropertyRegistry::CompileC, "external_c_compile_command"));
    EXPECT_FALSE(contains(PropertyRegistry::CompileCpp, "external_c_compile_command"));
    EXPECT_TRUE(contains(PropertyRegistry::CompileCpp, "external_cpp_compile_command"));
    EXPECT_TRUE(contains(PropertyRegistry::Assemble, "external_assemble_command"));
    EXPECT_TRUE(contains(PropertyRegistry::Link, "external_link_command"));
    EXPECT_TRUE(contains(PropertyRegistry::Link, "external_cpp_link_command"));
    EXPECT_TRUE(contains(PropertyRegistry::Archive, "external_archive_command"));
    EXPECT_FALSE(contains(PropertyRegistry::Link, "external_archive_command"));
    for (auto action :
         {PropertyRegistry::CompileC, PropertyRegistry::CompileCpp, PropertyRegistry::Assemble})
        EXPECT_TRUE(contains(action, "c_preprocessor_definitions"));
    EXPECT_TRUE(contains(PropertyRegistry::CompileC, "c_only_additional_options"));
    EXPECT_FALSE(contains(PropertyRegistry::CompileCpp, "c_only_additional_options"));
    EXPECT_FALSE(contains(PropertyRegistry::Link, "c_preprocessor_definitions"));
}

class PropertyGroupsTest : public ::testing::Test {
protected:
    PropertyWarning warn() {
        return [this](const std::string &message) { m_warnings.push_back(message); };
    }

    PropertyRegistry m_registry;
    FakePropertyNode m_solution{Kind::Solution};
    FakePropertyNode m_first{Kind::Project, &m_solution, "Executable"};
    FakePropertyNode m_second{Kind::Project, &m_solution, "Executable"};
    FakePropertyNode m_file{Kind::File, &m_first};
    std::vector<std::string> m_warnings;
};

TEST_F(PropertyGroupsTest, GroupsBelongToTheProjectThatNamesThem) {
    std::vector<std::unique_ptr<PropertyValueGroupClass>> groups;
    groups.push_back(group("board"));
    m_registry.setPropertyGroups(&m_first, std::move(groups), warn());

    const PropertyClass *board = m_registry.findPropertyClass(&m_file, "board");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->type(), PropertyType::Enumeration);
    EXPECT_EQ(m_registry.findPropertyClass(&m_first, "board"), board);
    EXPECT_EQ(m_registry.findPropertyClass(&m_second, "board"), nullptr);
    EXPECT_EQ(m_registry.findPropertyClass(&m_solution, "board"), nullptr);
    EXPECT_EQ(m_registry.find("board"), nullptr);
    EXPECT_TRUE(m_warnings.empty());

    // Loading the file again replaces the project's groups; removing forgets them.
    std::vector<std::unique_ptr<PropertyValueGroupClass>> other;
    other.push_back(group("variant"));
    m_registry.setPropertyGroups(&m_first, std::move(other), warn());
    EXPECT_EQ(m_registry.findPropertyClass(&m_file, "board"), nullptr);
    EXPECT_NE(m_registry.findPropertyClass(&m_file, "variant"), nullptr);
    m_registry.removePropertyGroups(&m_first);
    EXPECT_EQ(m_registry.findPropertyClass(&m_file, "variant"), nullptr);
}

TEST_F(PropertyGroupsTest, AGroupNeverReplacesAName) {
    registerBuiltinProperties(m_registry, nullptr);
    std::vector<std::unique_ptr<PropertyValueGroupClass>> groups;
    groups.push_back(group("c_preprocessor_definitions"));
    groups.push_back(group("board"));
    groups.push_back(group("board"));
    m_registry.setPropertyGroups(&m_first, std::move(groups), warn());

    const PropertyClass *definitions =
        m_registry.findPropertyClass(&m_file, "c_preprocessor_definitions");
    ASSERT_NE(definitions, nullptr);
    EXPECT_EQ(definitions->type(), PropertyType::StringList);
    EXPECT_EQ(m_registry.propertyGroups(&m_first).size(), 1u);
    EXPECT_EQ(m_warnings,
              (std::vector<std::string>{
                  "property group c_preprocessor_definitions ignored: a property of that name "
                  "exists",
                  "property group board ignored: a group of that name exists"}));
}

} // namespace
