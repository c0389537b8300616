#include "project/configurations.h"

#include "project/macroexpander.h"
#include "project/projectelement.h"
#include "project/standardprojectsystem.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

namespace {

const std::string kSolution = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Palindor_Project_File>
<solution Name="S" target="1">
  <configuration Name="Common" />
  <configuration Name="Debug" d="1" />
  <configuration Name="Debug2" inherited_configurations="Debug;Debug2x" />
  <configuration Name="Both" inherited_configurations="Debug2;Debug" />
  <project Name="P">
    <configuration Name="Debug" p="2" />
    <file file_name="a.c">
      <configuration Name="Debug" f="3" />
      <configuration Name="Debug2" g="4" />
    </file>
  </project>
</solution>
)";

class RenameTest : public ScratchDirTest {
protected:
    RenameTest() : m_system(m_macros) {}

    ProjectElement &load(const std::string &text = kSolution) {
        return *m_system.loadSolution(write("s.qzProject", text));
    }
    std::string saved() {
        EXPECT_TRUE(m_system.saveSolution(*m_system.solution(), path("out.qzProject"), false));
        return readFileBytes(path("out.qzProject"));
    }

    MacroExpander m_macros;
    StandardProjectSystem m_system;
};

TEST_F(RenameTest, RenamesEveryChildAndListItemButLeavesLookalikes) {
    ProjectElement &root = load();
    EXPECT_EQ(Configurations::rename(root, "Debug", "Dbg"), std::nullopt);
    EXPECT_TRUE(root.isModified());
    const std::string text = saved();
    EXPECT_NE(text.find("<configuration Name=\"Dbg\" d=\"1\""), std::string::npos) << text;
    EXPECT_NE(text.find("<configuration Name=\"Dbg\" p=\"2\""), std::string::npos) << text;
    EXPECT_NE(text.find("<configuration Name=\"Dbg\" f=\"3\""), std::string::npos) << text;
    EXPECT_NE(text.find("Name=\"Debug2\" g=\"4\""), std::string::npos) << text;
    EXPECT_NE(text.find("Name=\"Debug2\" inherited_configurations=\"Dbg;Debug2x\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Name=\"Both\" inherited_configurations=\"Debug2;Dbg\""), std::string::npos)
        << text;
    EXPECT_EQ(text.find("\"Debug\""), std::string::npos) << text;
    // The maps follow: the new name finds its child, the old one is gone.
    EXPECT_NE(root.configuration("Dbg"), nullptr);
    EXPECT_EQ(root.configuration("Debug"), nullptr);
    EXPECT_EQ(root.inheritedConfigurations().at("Debug2"),
              (std::vector<std::string>{"Dbg", "Debug2x"}));
}

TEST_F(RenameTest, RefusalsChangeNothing) {
    ProjectElement &root = load();
    const std::string before = saved();
    root.setModified(false);
    const struct {
        const char *from, *to, *message;
    } refusals[] = {
        {"Debug", "Debug2", "configuration \"Debug2\" already exists"},
        {"Debug", "", "a configuration name cannot be empty"},
        {"Debug", "A;B", "configuration name \"A;B\" holds \";\""},
        {"Debug", "Common", "configuration \"Common\" cannot be renamed"},
        {"Common", "Base", "configuration \"Common\" cannot be renamed"},
        {"Missing", "Other", "no configuration \"Missing\""},
    };
    for (const auto &refusal : refusals) {
        EXPECT_EQ(Configurations::rename(root, refusal.from, refusal.to), refusal.message)
            << refusal.from << " -> " << refusal.to;
        EXPECT_EQ(saved(), before);
        EXPECT_FALSE(root.isModified());
    }
    EXPECT_EQ(Configurations::rename(root, "Debug", "Debug"), std::nullopt);
    EXPECT_FALSE(root.isModified());
}

TEST_F(RenameTest, ReadOnlyImportsAreNotRenamedBehindTheirBack) {
    write("inner.qzProject", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Palindor_Project_File>
<solution Name="Inner" target="1"><configuration Name="Debug" x="1" /></solution>
)");
    ProjectElement &root = load(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Palindor_Project_File>
<solution Name="S" target="1">
  <configuration Name="Debug" />
  <import file_name="inner.qzProject" can_modify_solution="No" />
</solution>
)");
    EXPECT_EQ(Configurations::rename(root, "Debug", "Dbg"),
              "solution " + path("inner.qzProject") + " cannot be modified");
    EXPECT_NE(root.configuration("Debug"), nullptr);
}

} // namespace
