#include "project/macroexpander.h"
#include "project/macrotemplate.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>

namespace {

constexpr std::array<std::string_view, 2> kNames{"InputName", "InputExt"};

class MacroTemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_expander.addSystemMacro("TovanDir", "/opt/x");
        m_expander.addSystemMacro("Layer", "system");
        m_expander.setGlobalMacro("Layer", "global");
        m_expander.addComputedSystemMacro(
            "Seconds", [](std::time_t now) { return std::to_string(now); }, "");
        m_rest = MacroMap{{"IntDir", "/p/obj"}, {"OBJ", ".o"}, {"Dollar", "$(InputName)"}};
    }

    // What the expander gives for each of two files, which the template must give too.
    void expectSameAsExpander(const std::string &text) {
        const std::optional<MacroTemplate> made =
            MacroTemplate::prepare(m_expander, text, kNames, m_rest);
        ASSERT_TRUE(made) << text;
        for (const std::array<std::string, 2> &values :
             {std::array<std::string, 2>{"main", "c"}, std::array<std::string, 2>{"a$(OBJ)", ""}}) {
            const MacroMap own{{"InputName", values[0]}, {"InputExt", values[1]}};
            EXPECT_EQ(made->fill(values), m_expander.expand(text, {&own, &m_rest})) << text;
        }
    }

    MacroExpander m_expander;
    MacroMap m_rest;
};

TEST_F(MacroTemplateTest, ExpandsAsTheExpanderForEachFile) {
    for (const char *text :
         {"$(IntDir)/$(InputName)$(OBJ)", "plain", "", "$(InputName)", "$(InputName)$(InputExt)",
          "$(TovanDir)/$(Layer)/$(InputName).$(InputExt)", "$$(InputName) $$ $5 $",
          "$(Undefined)/$(InputName)", "$(Undefined:d)/$(Undefined::e)/$(InputName:x)",
          "$(Dollar)-$(InputName)", "$()", "$(InputName", "x$(IntDir)$(InputName) $(OBJ"})
        expectSameAsExpander(text);
}

TEST_F(MacroTemplateTest, RefusesTextsThatNeedMorePassesOrTheClock) {
    for (const char *text : {"$($(InputName))", "$(Undefined:$(InputName))", "$(Seconds)/x"})
        EXPECT_FALSE(MacroTemplate::prepare(m_expander, text, kNames, m_rest)) << text;
    // A name of the node's own layers hides the computed one.
    m_rest.set("Seconds", "7");
    EXPECT_TRUE(MacroTemplate::prepare(m_expander, "$(Seconds)", kNames, m_rest));
}

} // namespace
