#include "project/propertydefinitionreader.h"

#include "../support/scratchdirtest.h"
#include "core/hexception.h"
#include "project/builtinproperties.h"
#include "project/propertyregistry.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

class PropertyDefinitionReaderTest : public ScratchDirTest {
protected:
    std::vector<std::unique_ptr<GenericPropertyClass>> read(const std::string &body) {
        return reader().readText("<properties>" + body + "</properties>");
    }
    PropertyDefinitionReader reader() {
        return PropertyDefinitionReader(
            [this](const std::string &message) { m_warnings.push_back(message); });
    }

    Strings m_warnings;
};

TEST_F(PropertyDefinitionReaderTest, EveryAttributeIsRead) {
    auto definitions = read(R"x(<property name="heap_size" type="IntegerRange" page="Linker"
        group="Memory Options" short="Heap Size" long="The &lt;b&gt;heap&lt;/b&gt; size."
        default="1024" filter="Any (*)" specialvalue="none" minimum="0" maximum="65536"
        singlestep="16" order="0x10"/>
      <property name="level" type="Enumeration" enumeration="low;mid\;dle;high" order="-3"/>)x");
    ASSERT_EQ(definitions.size(), 2u);
    const GenericPropertyClass &heap = *definitions[0];
    EXPECT_EQ(heap.name(), "heap_size");
    EXPECT_EQ(heap.type(), PropertyType::IntegerRange);
    EXPECT_EQ(heap.page(), "Linker");
    EXPECT_EQ(heap.group(), "Memory Options");
    EXPECT_EQ(heap.shortText(), "Heap Size");
    EXPECT_EQ(heap.help(), "The <b>heap</b> size.");
    EXPECT_EQ(heap.defaultValue(), "1024");
    EXPECT_EQ(heap.filter(), "Any (*)");
    EXPECT_EQ(heap.specialValue(), "none");
    EXPECT_EQ(heap.minimum(), 0u);
    EXPECT_EQ(heap.maximum(), 65536u);
    EXPECT_EQ(heap.singleStep(), 16u);
    EXPECT_EQ(heap.order(), 16);
    EXPECT_EQ(definitions[1]->choices(), (Strings{"low", "mid;dle", "high"}));
    EXPECT_EQ(definitions[1]->order(), -3);
    EXPECT_TRUE(m_warnings.empty());
}

TEST_F(PropertyDefinitionReaderTest, AnUnknownTypeIsReadAsString) {
    auto definitions = read(R"(<property name="script" type="Script" default=""/>
                               <property name="flag"/>)");
    ASSERT_EQ(definitions.size(), 2u);
    EXPECT_EQ(definitions[0]->type(), PropertyType::String);
    EXPECT_EQ(definitions[0]->defaultValue(), "");
    EXPECT_TRUE(definitions[0]->choices().empty());
    EXPECT_EQ(m_warnings, Strings{"property script: unknown type \"Script\"; String is used"});
    // Without a type the definition stays the initial Boolean.
    EXPECT_EQ(definitions[1]->type(), PropertyType::Boolean);
    EXPECT_EQ(definitions[1]->defaultValue(), "No");
}

TEST_F(PropertyDefinitionReaderTest, BadNumbersBecomeZero) {
    auto definitions = read(R"(<property name="n" type="IntegerRange" minimum="-1"
        maximum="99999999999" singlestep="two" order="12abc"/>)");
    ASSERT_EQ(definitions.size(), 1u);
    EXPECT_EQ(definitions[0]->minimum(), 0u);
    EXPECT_EQ(definitions[0]->maximum(), 0u);
    EXPECT_EQ(definitions[0]->singleStep(), 0u);
    EXPECT_EQ(definitions[0]->order(), 0);
    EXPECT_EQ(m_warnings, (Strings{"property n: minimum \"-1\" is not a number; 0 is used",
                                   "property n: maximum \"99999999999\" is out of range; 0 is used",
                                   "property n: singlestep \"two\" is not a number; 0 is used",
                                   "property n: order \"12abc\" is not a number; 0 is used"}));
}

TEST_F(PropertyDefinitionReaderTest, ElementsThatAreNotDefinitionsAreSkipped) {
    auto definitions = read(R"(<property type="String"/>
        <property name=""/>
        <option name="x"/>
        <property name="kept" type="String"/>)");
    ASSERT_EQ(definitions.size(), 1u);
    EXPECT_EQ(definitions[0]->name(), "kept");
    EXPECT_EQ(m_warnings, (Strings{"property definition without a name ignored (line 1)",
                                   "property definition without a name ignored (line 2)",
                                   "element <option> ignored (line 3)"}));
    EXPECT_TRUE(reader().readText("").empty());
    EXPECT_TRUE(reader().readText("<properties/>").empty());
}

TEST_F(PropertyDefinitionReaderTest, FilesThatDoNotReadAreErrors) {
    const std::string broken = write("broken.xml", "<properties>\n<property name=\"a\">\n");
    try {
        reader().readFile(broken);
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message().rfind(broken + ":", 0), 0u) << error.message();
    }
    const std::string missing = path("missing.xml");
    try {
        reader().readFile(missing);
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), "couldn't read " + missing);
    }
}

TEST_F(PropertyDefinitionReaderTest, RegisteredDefinitionsJoinTheBuiltInOnes) {
    PropertyRegistry registry;
    registerBuiltinProperties(registry, nullptr);
    const std::string file = write("toolchain.xml", R"(<properties>
        <property name="arm_fpu_type" type="Enumeration" enumeration="None;VFP" default="None"/>
        <property name="linker_map_file" type="Boolean" default="No"/>
        </properties>)");
    EXPECT_EQ(reader().registerFile(registry, file), 2u);
    ASSERT_NE(registry.find("arm_fpu_type"), nullptr);
    EXPECT_EQ(registry.find("arm_fpu_type")->choices(), (Strings{"None", "VFP"}));
    // Toolchain definitions may redefine a built-in one.
    EXPECT_EQ(registry.find("linker_map_file")->defaultValue(), "No");
}

} // namespace
