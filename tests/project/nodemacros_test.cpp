#include "project/nodemacros.h"

#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/nodepath.h"
#include "project/propertyregistry.h"
#include "project/standardprojectsystem.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

namespace {

// A toolchain layer: extensions and one macro of its own.
class ToolchainSystem : public StandardProjectSystem {
public:
    using StandardProjectSystem::StandardProjectSystem;
    std::string defaultExtension(FileExtension extension) const override {
        switch (extension) {
        case FileExtension::Object:
            return ".o";
        case FileExtension::Executable:
            return ".elf";
        case FileExtension::Library:
            return ".a";
        }
        return {};
    }
    void addToolchainMacros(const ProjectElement &, const std::string &configuration,
                            MacroMap &macros) const override {
        macros.set("ToolchainConfiguration", "tc-" + configuration);
        ++m_maps;
    }
    // Every map built asks for the toolchain's macros once.
    mutable int m_maps = 0;
};

const std::string kSolution = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Palindor_Project_File>
<solution Name="S" target="1">
  <configuration Name="Common" macros="Tool=gcc" />
  <configuration Name="Debug" />
  <project Name="App">
    <configuration Name="Common" project_directory="app"
        macros="ProjectName=Other;Out=$(ProjectDir)/bin;Cfg=$(Configuration);Who=$(Nobody);G=$(Global)"
        build_root_output_directory="../out" build_output_directory="../out/$(Configuration)/exe"
        build_intermediate_directory="obj/$(Configuration)" />
    <folder Name="Source Files">
      <folder Name="Drivers">
        <file file_name="src/uart.driver.c" />
      </folder>
      <file file_name="$(Shared)/common.c" />
      <file file_name="./src/../main.c" />
      <file file_name="../lib/x.c" />
    </folder>
  </project>
</solution>
)xml";

class NodeMacrosTest : public ScratchDirTest {
protected:
    NodeMacrosTest() : m_system(m_expander), m_macros(m_registry, m_expander, &m_system) {
        registerBuiltinProperties(m_registry, nullptr);
        m_expander.setGlobalMacrosFromList("Global=g;Shared=/opt/shared");
        m_system.loadSolution(write("s.qzProject", kSolution));
    }
    ProjectElement &node(const std::string &path) {
        ProjectElement *found = NodePath::find(*m_system.solution(), path);
        EXPECT_NE(found, nullptr) << path;
        return found ? *found : *m_system.solution();
    }
    std::string dir() const { return m_dir.path().toStdString(); }

    MacroExpander m_expander;
    PropertyRegistry m_registry;
    ToolchainSystem m_system;
    NodeMacros m_macros;
};

TEST_F(NodeMacrosTest, FileInFoldersOfAProject) {
    const MacroMap map =
        m_macros.build(node("App/Source Files/Drivers/src/uart.driver.c"), "Debug");
    const std::string app = dir() + "/app";
    const std::pair<const char *, std::string> expected[] = {
        {"Configuration", "Debug"},
        {"ProjectNodeName", "src/uart.driver.c"},
        {"FolderName", "Drivers"},
        {"FolderPath", "Source Files/Drivers"},
        {"ProjectName", "App"},
        {"ProjectDir", app},
        {"SolutionDir", dir()},
        {"SolutionName", "s"},
        {"SolutionFileName", "s.qzProject"},
        {"SolutionPath", dir() + "/s.qzProject"},
        {"SolutionExt", "qzProject"},
        {"InputDir", app + "/src"},
        {"InputName", "uart.driver"},
        {"InputFileName", "uart.driver.c"},
        {"InputExt", "c"},
        {"InputPath", app + "/src/uart.driver.c"},
        {"RelInputPath", "src/uart.driver.c"},
        {"RelInputDir", "src"},
        {"OBJ", ".o"},
        {"EXE", ".elf"},
        {"LIB", ".a"},
        {"PackageExt", "qzPackage"},
        {"ToolchainConfiguration", "tc-Debug"},
        // Directories are anchored at the project directory and cleaned.
        {"IntDir", app + "/obj/Debug"},
        {"OutDir", dir() + "/out/Debug/exe"},
        {"RootOutDir", dir() + "/out"},
        {"RootRelativeOutDir", "../.."},
        // Project macros: a built-in name wins; node macros are expanded once in the
        // values; what stays undefined stays literal.
        {"Tool", "gcc"},
        {"Out", app + "/bin"},
        {"Cfg", "Debug"},
        {"Who", "$(Nobody)"},
        {"G", "g"},
    };
    for (const auto &[name, value] : expected)
        EXPECT_EQ(map.value(name), value) << name;
    EXPECT_FALSE(map.contains("ProjectName=Other"));

    EXPECT_EQ(m_macros.expand(node("App/Source Files/Drivers/src/uart.driver.c"), "Debug",
                              "$(IntDir)/$(InputName)$(OBJ) in $(Out)"),
              app + "/obj/Debug/uart.driver.o in " + app + "/bin");
}

TEST_F(NodeMacrosTest, InputOutsideTheProjectKeepsItsFullPath) {
    const MacroMap map = m_macros.build(node("App/Source Files/$(Shared)/common.c"), "Debug");
    EXPECT_EQ(map.value("InputPath"), "/opt/shared/common.c");
    EXPECT_EQ(map.value("RelInputPath"), "/opt/shared/common.c");
    EXPECT_EQ(map.value("RelInputDir"), "/opt/shared");
    EXPECT_EQ(map.value("FolderPath"), "Source Files");
}

TEST_F(NodeMacrosTest, InputNamesAreCleanedBeforeTheyAreMadeRelative) {
    const std::string app = dir() + "/app";
    const MacroMap inside = m_macros.build(node("App/Source Files/./src/../main.c"), "Debug");
    EXPECT_EQ(inside.value("InputPath"), app + "/main.c");
    EXPECT_EQ(inside.value("RelInputPath"), "main.c");
    EXPECT_EQ(inside.value("RelInputDir"), ".");
    const MacroMap outside = m_macros.build(node("App/Source Files/../lib/x.c"), "Debug");
    EXPECT_EQ(outside.value("InputPath"), dir() + "/lib/x.c");
    EXPECT_EQ(outside.value("RelInputPath"), dir() + "/lib/x.c");
    EXPECT_EQ(outside.value("InputDir"), dir() + "/lib");
}

TEST_F(NodeMacrosTest, NodesAboveFilesGetOnlyTheirOwnMacros) {
    const MacroMap project = m_macros.build(node("App"), "Release");
    EXPECT_EQ(project.value("ProjectNodeName"), "App");
    EXPECT_EQ(project.value("ProjectName"), "App");
    EXPECT_FALSE(project.contains("InputPath"));
    EXPECT_FALSE(project.contains("FolderName"));
    EXPECT_EQ(project.value("Configuration"), "Release");

    const MacroMap solution = m_macros.build(*m_system.solution(), "Debug");
    EXPECT_FALSE(solution.contains("ProjectDir"));
    EXPECT_EQ(solution.value("SolutionName"), "s");
    // The defaults: the intermediate directory names the project, here none.
    EXPECT_EQ(solution.value("IntDir"), dir() + "/Output/Debug/Obj/$(ProjectName)");
    EXPECT_FALSE(solution.contains("RootRelativeOutDir"));
}

TEST_F(NodeMacrosTest, TextWithoutDollarIsReturnedWithoutBuildingAMap) {
    ProjectElement &file = node("App/Source Files/Drivers/src/uart.driver.c");
    const std::string text(200, 'x');
    EXPECT_EQ(m_macros.expand(file, "Debug", text), text);
    EXPECT_EQ(m_system.m_maps, 0);
    EXPECT_EQ(m_macros.expand(file, "Debug", "$$"), "$");
    EXPECT_EQ(m_system.m_maps, 1);
}

TEST_F(NodeMacrosTest, ExpandedValueUsesGlobalExpansionWhereTheHelpSaysSo) {
    ProjectElement &file = node("App/Source Files/$(Shared)/common.c");
    EXPECT_EQ(m_macros.expandedValue(file, *m_registry.find("file_name"), "Debug"),
              "/opt/shared/common.c");
    EXPECT_EQ(m_macros.expandedValue(file, *m_registry.find("build_object_file_name"), "Debug"),
              dir() + "/app/obj/Debug/common.o");
}

} // namespace
