#include "allocationcounter.h"
#include "project/macroexpander.h"

#include <gtest/gtest.h>

namespace {

class MacroExpanderTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_expander.addSystemMacro("TovanDir", "/opt/x", "install directory");
        m_expander.addSystemMacro("Layer", "system");
        m_expander.setGlobalMacro("Layer", "global");
        m_expander.setGlobalMacro("Global", "g");
        m_local = MacroMap{{"A", "a"}, {"B", "b"}, {"Layer", "local"}};
    }

    std::string expand(std::string text) const { return m_expander.expand(text, m_local); }

    MacroExpander m_expander;
    MacroMap m_local;
};

TEST_F(MacroExpanderTest, PlainReferences) {
    EXPECT_EQ(expand("$(A)"), "a");
    EXPECT_EQ(expand("x$(A)y$(B)z"), "xaybz");
    EXPECT_EQ(expand("$(TovanDir)/lib"), "/opt/x/lib");
    EXPECT_EQ(expand("no references"), "no references");
    EXPECT_EQ(expand(""), "");
    EXPECT_EQ(expand("$(a)"), "$(a)") << "names are case-sensitive";
}

TEST_F(MacroExpanderTest, UndefinedReferenceStaysAsWritten) {
    EXPECT_EQ(expand("$(Undefined)"), "$(Undefined)");
    EXPECT_EQ(expand("<$(Undefined)|$(A)>"), "<$(Undefined)|a>");
    EXPECT_EQ(expand("$()"), "$()");
}

TEST_F(MacroExpanderTest, DollarWithoutParenthesis) {
    EXPECT_EQ(expand("Cost $5"), "Cost $5");
    EXPECT_EQ(expand("end $"), "end $");
    EXPECT_EQ(expand("$"), "$");
    EXPECT_EQ(expand("$ (A)"), "$ (A)");
    EXPECT_EQ(expand("$$"), "$");
    EXPECT_EQ(expand("$$$"), "$$");
    EXPECT_EQ(expand("$$$(A)"), "$a");
}

TEST_F(MacroExpanderTest, DoubledDollarKeepsAReferenceUnlessAnotherPassRuns) {
    EXPECT_EQ(expand("$$(ProjectName)"), "$(ProjectName)");
    EXPECT_EQ(expand("$$(A)"), "$(A)");
    // The default below holds "$", so a second pass runs and sees the reference made by "$$".
    EXPECT_EQ(expand("$$(A) $(X:$(B))"), "a b");
}

TEST_F(MacroExpanderTest, UnterminatedReferenceIsCopiedAsItStands) {
    EXPECT_EQ(expand("$(A"), "$(A");
    EXPECT_EQ(expand("$(A)$(B"), "a$(B");
    EXPECT_EQ(expand("x $(A $(B) y"), "x $(A $(B) y")
        << "the open reference runs to the end and swallows the inner one";
    EXPECT_EQ(expand("$("), "$(");
    EXPECT_EQ(expand("$((A)"), "$((A)");
}

TEST_F(MacroExpanderTest, DefaultAfterColon) {
    EXPECT_EQ(expand("$(X:fallback)"), "fallback");
    EXPECT_EQ(expand("$(A:fallback)"), "a");
    EXPECT_EQ(expand("$(X:)"), "");
    EXPECT_EQ(expand("$(X:a:b)"), "a:b") << "only the first colon splits";
    EXPECT_EQ(expand("$(X::literal)"), "literal");
    EXPECT_EQ(expand("$(X:::x)"), ":x");
    EXPECT_EQ(expand("$(:x)"), "x");
}

TEST_F(MacroExpanderTest, DefaultIsExpandedByASecondPass) {
    MacroExpander expander;
    expander.addSystemMacro("TovanDir", "/opt/x");
    EXPECT_EQ(expander.globalExpand("$(TovanLibDir:$(TovanDir)/lib)"), "/opt/x/lib");
    expander.setGlobalMacro("TovanLibDir", "/usr/lib/p");
    EXPECT_EQ(expander.globalExpand("$(TovanLibDir:$(TovanDir)/lib)"), "/usr/lib/p");

    // Every pass peels one level of defaults.
    EXPECT_EQ(expand("$(X:$(Y:$(Z:$(A))))"), "a");
    // Parentheses inside a reference nest.
    EXPECT_EQ(expand("$(X:($(A)))"), "(a)");
    EXPECT_EQ(expand("$(X:$(A)/x)"), "a/x");
}

TEST_F(MacroExpanderTest, DoubleColonDefaultWithdrawsTheSecondPass) {
    EXPECT_EQ(expand("$(X::$(A))"), "$(A)");
    // A later reference of the same pass asks again, so the copied reference is expanded too.
    EXPECT_EQ(expand("$(X::$(A)) $(Y:$(B))"), "a b");
    // The withdrawal also cancels a request made earlier in the pass.
    EXPECT_EQ(expand("$(Y:$(B)) $(X::$(A))"), "$(B) $(A)");
    // A value that is found still withdraws the request its text made.
    EXPECT_EQ(expand("$(A::$(B)) $$(B)"), "a $(B)");
}

TEST_F(MacroExpanderTest, ValuesAreInsertedWithoutRescanning) {
    m_local.set("Ref", "$(A)");
    EXPECT_EQ(expand("$(Ref)"), "$(A)");
    m_local.set("Dollars", "$$");
    EXPECT_EQ(expand("$(Dollars)"), "$$");
    // ... unless another pass runs.
    EXPECT_EQ(expand("$(Ref) $(X:$(B))"), "a b");
}

TEST_F(MacroExpanderTest, LayersInOrderLocalGlobalSystem) {
    EXPECT_EQ(m_expander.expand("$(Layer)", m_local), "local");
    EXPECT_EQ(m_expander.expand("$(Layer)", MacroMap()), "global");
    EXPECT_EQ(m_expander.expand("$(Layer)", MacroMap(), false, true), "system");
    EXPECT_EQ(m_expander.expand("$(Layer)", MacroMap(), false, false), "$(Layer)");
    EXPECT_EQ(m_expander.expand("$(Layer)", m_local, false, false), "local");
    EXPECT_EQ(m_expander.expand("$(TovanDir)", m_local, true, false), "$(TovanDir)");

    EXPECT_EQ(m_expander.globalExpand("$(Layer) $(Global) $(A)"), "global g $(A)");
    EXPECT_EQ(m_expander.systemExpand("$(Layer) $(Global) $(TovanDir)"), "system $(Global) /opt/x");

    EXPECT_EQ(m_expander.lookup("Layer", m_local), "local");
    EXPECT_EQ(m_expander.lookup("Layer", MacroMap(), false), "system");
    EXPECT_EQ(m_expander.lookup("Nothing", m_local), std::nullopt);
}

TEST_F(MacroExpanderTest, SeveralLocalMapsInOrder) {
    const MacroMap step{{"A", "step"}, {"Dir", "d"}};
    bool stepUsed = false;
    // Names the first map lacks fall through to the next, then the global and system layers.
    EXPECT_EQ(m_expander.expand("$(A) $(B) $(Dir) $(Layer) $(TovanDir) $(None)", {&step, &m_local},
                                &stepUsed),
              "step b d local /opt/x $(None)");
    EXPECT_TRUE(stepUsed);
    // A default naming a macro takes its second pass with every map.
    EXPECT_EQ(m_expander.expand("$(None:$(Dir)$(B))", {&step, &m_local}), "db");
    // Only a value from the first map counts as its use.
    stepUsed = false;
    EXPECT_EQ(m_expander.expand("$(B) $(Global)", {&step, &m_local}, &stepUsed), "b g");
    EXPECT_FALSE(stepUsed);
}

TEST_F(MacroExpanderTest, GlobalMacrosFromAList) {
    m_expander.setGlobalMacrosFromList("Tools=/opt/tools;Sep=a\\;b;Ref=$(TovanDir)/x");
    EXPECT_EQ(m_expander.globalExpand("$(Tools)|$(Sep)"), "/opt/tools|a;b");
    EXPECT_EQ(m_expander.globalExpand("$(Ref)"), "$(TovanDir)/x") << "values stored as written";
    EXPECT_EQ(m_expander.globalExpand("$(Global)"), "$(Global)") << "the list replaces the map";
    m_expander.removeGlobalMacro("Tools");
    EXPECT_EQ(m_expander.globalExpand("$(Tools)"), "$(Tools)");
}

TEST_F(MacroExpanderTest, SystemMacrosKeepTheirDescriptions) {
    m_expander.addSystemMacro("TovanDir", "/opt/y", "where it lives");
    const auto &system = m_expander.systemMacros();
    ASSERT_EQ(system.count("TovanDir"), 1u);
    EXPECT_EQ(system.at("TovanDir").value, "/opt/y");
    EXPECT_EQ(system.at("TovanDir").description, "where it lives");
    EXPECT_EQ(system.at("Layer").description, "");
    EXPECT_EQ(m_expander.systemExpand("$(TovanDir)"), "/opt/y");
}

// --- Computed values --------------------------------------------------------------------------

std::time_t g_now = 0;
int g_clockReads = 0;
std::time_t pinnedClock() {
    ++g_clockReads;
    return g_now;
}

TEST(MacroExpanderComputed, ComputedOncePerExpansionAndAgainAtTheNext) {
    MacroExpander expander;
    expander.setClock(pinnedClock);
    expander.addComputedSystemMacro(
        "Now", [](std::time_t now) { return std::to_string(now); }, "now");
    g_now = 100;
    g_clockReads = 0;
    EXPECT_EQ(expander.systemExpand("$(Now) $(Now) $(X:$(Now))"), "100 100 100");
    EXPECT_EQ(g_clockReads, 1);
    g_now = 200;
    EXPECT_EQ(expander.systemExpand("$(Now)"), "200");
    EXPECT_EQ(expander.systemExpand("$(Other)"), "$(Other)");
    EXPECT_EQ(g_clockReads, 2) << "no clock read without a computed macro";

    expander.addSystemMacro("Now", "fixed");
    EXPECT_EQ(expander.systemExpand("$(Now)"), "fixed") << "a plain value replaces the computed";
}

// --- Termination and hostile text ---------------------------------------------------------------

TEST_F(MacroExpanderTest, ReferenceNamedByAnUndefinedReferenceEnds) {
    EXPECT_EQ(expand("$($(N))"), "$($(N))");
    m_local.set("N", "A");
    // The name is not expanded before the lookup; the text just stops changing.
    EXPECT_EQ(expand("$($(N))"), "$($(N))");
    EXPECT_EQ(expand("$($(N):$(B))"), "b");
}

TEST_F(MacroExpanderTest, SelfReferencesEnd) {
    m_local.set("Self", "$(Self)");
    EXPECT_EQ(expand("$(Self)"), "$(Self)");
    EXPECT_EQ(expand("$(X:$(Self)) $($(N))"), "$(Self) $($(N))");

    // Each pass grows the text while a reference keeps asking for another pass: bounded.
    m_local.set("Grow", "x$(Grow)");
    std::string grown = expand("$(Grow) $($(N))");
    EXPECT_GT(grown.size(), std::string("$(Grow) $($(N))").size());
    EXPECT_LT(grown.size(), 1000u);

    // A value that doubles every other pass must not run away either.
    m_local.set("D", "$(Q:$(D)$(D))");
    std::string doubled = expand("$(D)$($(N))");
    EXPECT_NE(doubled.find("$($(N))"), std::string::npos);
    EXPECT_LE(doubled.size(), std::size_t(1) << 26);
}

TEST_F(MacroExpanderTest, HostileTextsEndInLinearTime) {
    std::string openings;
    for (int i = 0; i < 500000; ++i)
        openings += "$(";
    EXPECT_EQ(expand(openings), openings);

    std::string dollars(1 << 20, '$');
    EXPECT_EQ(expand(dollars), std::string(1 << 19, '$'));

    const int depth = 100000;
    std::string nested = "$(A" + std::string(depth, '(') + std::string(depth, ')') + ")";
    EXPECT_EQ(expand(nested), nested);

    std::string deepDefaults;
    for (int i = 0; i < depth; ++i)
        deepDefaults += "$(X:";
    deepDefaults += "$(A)" + std::string(depth, ')');
    std::string result = expand(deepDefaults);
    EXPECT_LT(result.size(), deepDefaults.size()) << "some levels were peeled";
    EXPECT_EQ(result.substr(0, 4), "$(X:");

    std::string manyReferences;
    for (int i = 0; i < 200000; ++i)
        manyReferences += "$(A)";
    EXPECT_EQ(expand(manyReferences), std::string(200000, 'a'));
}

TEST_F(MacroExpanderTest, TextWithoutDollarIsNotCopied) {
    std::string text(1024, 'x');
    std::string moved = text;
    long before = allocationCount();
    bool changed = m_expander.expandInPlace(text, m_local);
    moved = m_expander.expand(std::move(moved), m_local);
    long after = allocationCount();
    EXPECT_FALSE(changed);
    EXPECT_EQ(after - before, 0);
    EXPECT_EQ(text, std::string(1024, 'x'));
    EXPECT_EQ(moved, text);

    std::string withReference = "$(A)" + std::string(100, 'y');
    EXPECT_TRUE(m_expander.expandInPlace(withReference, m_local));
    EXPECT_EQ(withReference, "a" + std::string(100, 'y'));
    std::string unchanged = "$(Undefined)" + std::string(100, 'y');
    EXPECT_FALSE(m_expander.expandInPlace(unchanged, m_local));
}

} // namespace
