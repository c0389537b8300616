#include "project/propertygroupsfile.h"

#include "../support/scratchdirtest.h"
#include "core/hexception.h"
#include "fakepropertynode.h"
#include "project/builtinproperties.h"
#include "project/macroexpander.h"
#include "project/propertyregistry.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, std::string>>;

class PropertyGroupsFileTest : public ScratchDirTest {
protected:
    PropertyWarning warn() {
        return [this](const std::string &message) { m_warnings.push_back(message); };
    }

    Strings m_warnings;
};

TEST_F(PropertyGroupsFileTest, GroupsEntriesAndValuesAreRead) {
    MacroExpander macros;
    macros.addSystemMacro("Board", "Alpha");
    const std::string file = write("groups.xml", R"x(<!DOCTYPE Palindor_Property_Groups_File>
<propertyGroups>
  <group name="board" group="Board Options" short="Board" long="The &lt;b&gt;board&lt;/b&gt;."
         default="$(Board)" order="0x10">
    <groupEntry name="$(Board)">
      <property name="c_preprocessor_definitions" value="BOARD_ALPHA"/>
      <property name="linker_memory_map_file" value="alpha.xml"/>
    </groupEntry>
    <groupEntry name="$(Board)" family="Rev2">
      <property name="c_preprocessor_definitions" value="BOARD_ALPHA;REV=2"/>
    </groupEntry>
    <ifdef name="WithBeta">
      <groupEntry name="Beta"/>
    </ifdef>
  </group>
  <group name="speed" page="Linker"/>
</propertyGroups>
)x");
    auto groups = PropertyGroupsFile::load(file, &macros, warn());
    EXPECT_TRUE(m_warnings.empty()) << m_warnings.front();
    ASSERT_EQ(groups.size(), 2u);
    const PropertyValueGroupClass &board = *groups[0];
    EXPECT_EQ(board.name(), "board");
    EXPECT_EQ(board.type(), PropertyType::Enumeration);
    EXPECT_EQ(board.page(), "General");
    EXPECT_EQ(board.group(), "Board Options");
    EXPECT_EQ(board.shortText(), "Board");
    EXPECT_EQ(board.help(), "The <b>board</b>.");
    EXPECT_EQ(board.defaultValue(), "Alpha");
    EXPECT_EQ(board.order(), 16);
    EXPECT_EQ(board.choices(), (Strings{"Alpha", "Alpha~~Rev2"}));
    EXPECT_EQ(board.entry("Alpha")->values, (Values{{"c_preprocessor_definitions", "BOARD_ALPHA"},
                                                    {"linker_memory_map_file", "alpha.xml"}}));
    EXPECT_EQ(board.entry("Alpha~~Rev2")->family, "Rev2");
    EXPECT_EQ(board.entry("Rev2"), nullptr); // a family alone names no entry
    EXPECT_EQ(groups[1]->page(), "Linker");
    EXPECT_TRUE(groups[1]->choices().empty());
}

TEST_F(PropertyGroupsFileTest, UnnamedPartsAreSkippedWithAWarning) {
    const std::string file = write("groups.xml", R"x(<propertyGroups>
<group>
</group>
<group name="g" order="many">
  <groupEntry family="f"/>
  <groupEntry name="e">
    <property value="1"/>
    <value name="x" value="2"/>
    <property name="kept" value="3"/>
  </groupEntry>
  <groupEntry name="e"/>
  <choice name="c"/>
</group>
</propertyGroups>
)x");
    auto groups = PropertyGroupsFile::load(file, nullptr, warn());
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->order(), 0);
    EXPECT_EQ(groups[0]->choices(), Strings{"e"});
    EXPECT_EQ(groups[0]->entry("e")->values, (Values{{"kept", "3"}}));
    EXPECT_EQ(m_warnings,
              (Strings{"<group> without a group name ignored (line 2)",
                       "group g: order \"many\" is not a number; 0 is used",
                       "group g: entry without a name ignored (line 5)",
                       "group g: entry e: <property> without a property name ignored (line 7)",
                       "group g: entry e: <value> without a property name ignored (line 8)",
                       "group g: second entry e ignored (line 11)",
                       "group g: <choice> ignored (line 12)"}));
}

TEST_F(PropertyGroupsFileTest, FilesThatDoNotReadAreErrors) {
    const std::string broken = write("broken.xml", "<propertyGroups>\n<group name=\"g\">\n");
    EXPECT_THROW(PropertyGroupsFile::load(broken, nullptr, warn()), HException);
    try {
        PropertyGroupsFile::load(path("missing.xml"), nullptr, warn());
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "couldn't read " + path("missing.xml"));
    }
    EXPECT_TRUE(PropertyGroupsFile::load(write("empty.xml", ""), nullptr, warn()).empty());
}

TEST_F(PropertyGroupsFileTest, AProjectsFileChangesOnlyThatProject) {
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    FakePropertyNode solution(PropertyNode::Kind::Solution);
    FakePropertyNode first(PropertyNode::Kind::Project, &solution, "Executable");
    FakePropertyNode second(PropertyNode::Kind::Project, &solution, "Executable");
    const std::string file = write("groups.xml", R"x(<propertyGroups>
<group name="project_type"><groupEntry name="Library"/></group>
<group name="board"><groupEntry name="Alpha"/></group>
</propertyGroups>)x");
    PropertyGroupsFile::loadForProject(registry, &first, file, nullptr, warn());

    EXPECT_EQ(registry.findPropertyClass(&second, "project_type")->defaultValue(), "Executable");
    EXPECT_EQ(registry.findPropertyClass(&first, "project_type"), registry.find("project_type"));
    EXPECT_NE(registry.findPropertyClass(&first, "board"), nullptr);
    EXPECT_EQ(registry.findPropertyClass(&second, "board"), nullptr);
    EXPECT_EQ(m_warnings, Strings{"property group project_type ignored: a property of that "
                                  "name exists"});
}

} // namespace
