#include "xmlpptesting.h"

#include <cstring>

namespace {

struct Case {
    const char *input;
    const char *macros;
    const char *expected;
};

void expectCases(std::initializer_list<Case> cases) {
    for (const Case &c : cases) {
        Processed result = preprocess(c.input, c.macros);
        EXPECT_EQ(result.text, c.expected) << c.input << " with " << c.macros;
        EXPECT_TRUE(result.warnings.empty()) << c.input << ": " << result.warnings.front();
    }
}

} // namespace

TEST(XmlPPConditionals, IfAndIfnotCompareWithAValueList) {
    expectCases({
        {R"~(<r><if FAMILY="STM32F2,STM32F4"><a/><b/></if></r>)~", "FAMILY=STM32F4",
         "<r><a/><b/></r>"},
        {R"~(<r><ifnot FAMILY="STM32F2,STM32F4"><a/></ifnot></r>)~", "FAMILY=STM32F4", "<r/>"},
        {R"~(<r><if FAMILY="STM32F2"><a/></if></r>)~", "FAMILY=STM32F4", "<r/>"},
        // Empty items never match, not even an empty or missing macro.
        {R"~(<r><if X=",,"><a/></if><if X=""><b/></if></r>)~", "X=", "<r/>"},
        {R"~(<r><ifnot X="a"><a/></ifnot></r>)~", "", "<r><a/></r>"},
        // Values compare exactly.
        {R"~(<r><if X="f4"><a/></if></r>)~", "X=F4", "<r/>"},
        {R"~(<r><if X="$(Y)"><a/></if></r>)~", "X=1;Y=1", "<r><a/></r>"},
        {R"~(<r><if A="1"><if B="2"><a/></if><b/></if><c/></r>)~", "A=1;B=2",
         "<r><a/><b/><c/></r>"},
    });
}

TEST(XmlPPConditionals, IfNeedsExactlyOneAttribute) {
    for (const char *input : {R"~(<r><if A="1" B="1"><a v="$(A)"/></if></r>)~",
                              R"~(<r><ifnot><a v="$(A)"/></ifnot></r>)~"}) {
        Processed result = preprocess(input, "A=1;B=1");
        ASSERT_EQ(result.warnings.size(), 1u) << input;
        EXPECT_EQ(result.warnings[0], kPP + "one condition required for <if[not]>");
        // The element stays and its content is processed like any other.
        EXPECT_NE(result.text.find("<a v=\"1\" />"), std::string::npos) << result.text;
        EXPECT_NE(result.text.find("<if"), std::string::npos) << result.text;
    }
}

TEST(XmlPPConditionals, KeptContentHasItsOwnMacroCopy) {
    expectCases({
        {R"~(<r><if A="1"><define name="D" value="x"/><a v="$(D)"/></if><b v="$(D)"/></r>)~", "A=1",
         R"~(<r><a v="x" /><b v="$(D)" /></r>)~"},
        {R"~(<r><g><define name="D" value="x"/></g><b v="$(D)"/></r>)~", "",
         R"~(<r><g/><b v="$(D)" /></r>)~"},
    });
}

TEST(XmlPPConditionals, IfexEvaluatesTheExpandedExpression) {
    expectCases({
        {R"~(<r><ifex expression="$(N) &gt; 2"><a/></ifex></r>)~", "N=3", "<r><a/></r>"},
        {R"~(<r><ifex expression="$(N) &gt; 2"><a/></ifex></r>)~", "N=1", "<r/>"},
        {R"~(<r><ifex expression="0x10"><a/></ifex><ifex expression="0"><b/></ifex></r>)~", "",
         "<r><a/></r>"},
        {"<r><ifex expression=\"1 ==\n\t1\"><a/></ifex></r>", "", "<r><a/></r>"},
        // Empty, missing or failing: dropped.
        {R"~(<r><ifex expression=""><a/></ifex><ifex><b/></ifex><ifex expression="1 +"><c/></ifex></r>)~",
         "", "<r/>"},
        {R"~(<r><ifex expression="$(UNDEFINED)"><a/></ifex></r>)~", "", "<r/>"},
    });
    // Expanded even when attribute expansion is off.
    EXPECT_EQ(
        preprocess(R"~(<r><ifex expression="$(N)"><a v="$(N)"/></ifex></r>)~", "N=3", false).text,
        R"~(<r><a v="$(N)" /></r>)~");
}

TEST(XmlPPConditionals, IfdefAndIfndefLookAtTheMap) {
    expectCases({
        {R"~(<r><ifdef name="A"><a/></ifdef><ifndef name="A"><b/></ifndef></r>)~",
         "A=", "<r><a/></r>"},
        {R"~(<r><ifdef name="A"><a/></ifdef><ifndef name="A"><b/></ifndef></r>)~", "",
         "<r><b/></r>"},
        {R"~(<r><define name="A" value="1"/><ifdef name="A"><a/></ifdef></r>)~", "", "<r><a/></r>"},
    });
}

TEST(XmlPPSwitch, FirstMatchingCaseElseLastDefault) {
    const char *input = R"~(<r><switch name="F">
        <case value="F1"><a/></case>
        <case value="F2,F3"><b/><if F="F3"><c/></if></case>
        <case value="F3"><x/></case>
        <default><d1/></default>
        <default><d2/></default>
        <other/>
      </switch><after/></r>)~";
    expectCases({
        {input, "F=F1", "<r><a/><after/></r>"},
        {input, "F=F3", "<r><b/><c/><after/></r>"},
        {input, "F=F9", "<r><d2/><after/></r>"},
        {input, "", "<r><d2/><after/></r>"},
        {R"~(<r><switch name="F"><case value="F1"><a/></case></switch></r>)~", "F=F2", "<r/>"},
        {R"~(<r><switch name="F"><case value="$(G)"><a/></case></switch></r>)~", "F=1;G=1",
         "<r><a/></r>"},
    });
}

TEST(XmlPPDefine, ValuesExpressionsAndHexExpressions) {
    expectCases({
        {R"~(<r><define name="SIZE" hex_expression="16*1024"/><a size="$(SIZE)"/></r>)~", "",
         R"~(<r><a size="0x4000" /></r>)~"},
        {R"~(<r><define name="N" expression="-5 * 3"/><a v="$(N)"/></r>)~", "",
         R"~(<r><a v="-15" /></r>)~"},
        {R"~(<r><define name="V" value="$(A)-x"/><a v="$(V)"/></r>)~", "A=1",
         R"~(<r><a v="1-x" /></r>)~"},
        {R"~(<r><define name="H" hex_expression="-1"/><a v="$(H)"/></r>)~", "",
         R"~(<r><a v="0xFFFFFFFFFFFFFFFF" /></r>)~"},
        // value wins over the expressions; a failing expression defines nothing.
        {R"~(<r><define name="V" value="v" expression="1"/><define name="E" expression="1 +"/><a v="$(V)" e="$(E)"/></r>)~",
         "E=old", R"~(<r><a v="v" e="old" /></r>)~"},
        // A definition holds for the following siblings and what they contain.
        {R"~(<r><a v="$(X)"/><define name="X" value="1"/><b v="$(X)"><c v="$(X)"/></b></r>)~", "",
         R"~(<r><a v="$(X)" /><b v="1"><c v="1" /></b></r>)~"},
    });
    // Expressions are expanded even when attribute expansion is off.
    EXPECT_EQ(preprocess(R"~(<r><define name="N" expression="$(A) + 1"/><a v="$(N)"/></r>)~", "A=1",
                         false)
                  .text,
              R"~(<r><a v="$(N)" /></r>)~");
    CollectingDocument document;
    ASSERT_TRUE(document.parse(
        R"~(<r><define name="N" expression="$(A) + 1"/><ifex expression="$(N) == 2"><a/></ifex></r>)~"));
    XmlPP::processConditionals(document, document.rootElement(), "", MacroMap::fromList("A=1"),
                               false);
    EXPECT_EQ(written(*document.rootElement()), "<r><a/></r>");
}

TEST(XmlPPDefine, ExpandMacrosSwitchesTheRestOfTheLevel) {
    Processed result = preprocess(R"~(<r><a v="$(A)"/>
        <define expand_macros="No" name="Z" value="1"/><b v="$(A)"><c v="$(A)"/></b>
        <define name="Z" value="2" expand_macros="yes"/><d v="$(A)"/></r>)~",
                                  "A=1");
    EXPECT_EQ(result.text, R"~(<r><a v="1" /><b v="$(A)"><c v="$(A)" /></b><d v="1" /></r>)~");
    // Only the level where it stands.
    result = preprocess(
        R"~(<r><g><define name="Z" value="" expand_macros="No"/></g><a v="$(A)"/></r>)~", "A=1");
    EXPECT_EQ(result.text, R"~(<r><g/><a v="1" /></r>)~");
}

TEST(XmlPPDefine, MissingNameOrValue) {
    Processed result = preprocess(
        R"~(<r><define value="1"/><define name="" value="1"/><define name="X"/><a v="$(X)"/></r>)~");
    EXPECT_EQ(result.text, R"~(<r><a v="$(X)" /></r>)~");
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{kPP + "missing name in <define>",
                                        kPP + "missing name in <define>",
                                        kPP + "missing value or expression in <define>"}));
}

TEST(XmlPPDefine, DoublingValuesAreStopped) {
    std::string input = "<r><define name=\"A\" value=\"xx\"/>";
    for (int i = 0; i < 40; ++i)
        input += "<define name=\"A\" value=\"$(A)$(A)\"/>";
    input += "<a v=\"$(A)\"/></r>";
    CollectingDocument document;
    ASSERT_TRUE(document.parse(input));
    XmlPP::processConditionals(document, document.rootElement(), "", {}, true);
    ASSERT_FALSE(document.warnings.empty());
    EXPECT_EQ(document.warnings[0],
              kPP + "value of macro A is too long (2097152 bytes); <define> ignored");
    const char *value = document.rootElement()->firstChildElement()->getAttribute("v");
    EXPECT_EQ(std::strlen(value), XmlPP::Limits().macroValue);
}

TEST(XmlPPExpansion, FlagExpandsEveryAttributeWithAllLayers) {
    CollectingDocument document;
    document.expander.setGlobalMacro("G", "global");
    document.expander.addSystemMacro("S", "system");
    document.expander.addSystemMacro("L", "system");
    ASSERT_TRUE(document.parse(
        R"~(<r n="$(L)"><a v="$(G)/$(S)/$(L)/$(U)/$$/$(U:d)"/><ifdef name="G"><b/></ifdef></r>)~"));
    XmlPP::processConditionals(document, document.rootElement(), "", MacroMap::fromList("L=local"),
                               true);
    // The map comes first; ifdef sees only the map.
    EXPECT_EQ(written(*document.rootElement()),
              R"~(<r n="local"><a v="global/system/local/$(U)/$/d" /></r>)~");

    EXPECT_EQ(preprocess(R"~(<r n="$(L)"><a v="$(L)"/></r>)~", "L=1", false).text,
              R"~(<r n="$(L)"><a v="$(L)" /></r>)~");
}

TEST(XmlPPExpansion, ResultsPastTheLimitStayAsWritten) {
    std::string input = "<r><a v=\"";
    for (int i = 0; i < 20; ++i)
        input += "$(BIG)";
    input += "\" w=\"$(SMALL)\"/></r>";
    const std::string macros = "SMALL=s;BIG=" + std::string(std::size_t(1) << 20, 'x');
    Processed result = preprocess(input, macros);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0], kPP + "macro expansion would pass 16777216 bytes; such values "
                                        "are left as written");
    EXPECT_NE(result.text.find("$(BIG)$(BIG)"), std::string::npos);
    EXPECT_NE(result.text.find("w=\"s\""), std::string::npos);
}

TEST(XmlPPStructure, DeepNestingAndLongSiblingChains) {
    const int depth = 100000;
    std::string input = "<r>";
    for (int i = 0; i < depth; ++i)
        input += "<if A=\"1\"><g>";
    input += "<define name=\"D\" value=\"1\"/><leaf v=\"$(D)\"/>";
    for (int i = 0; i < depth; ++i)
        input += "</g></if>";
    input += "</r>";
    CollectingDocument document;
    ASSERT_TRUE(document.parse(input));
    XmlPP::processConditionals(document, document.rootElement(), "", MacroMap::fromList("A=1"),
                               true);
    const XMLNode *node = document.rootElement();
    int levels = 0;
    while (node->firstChild() && node->firstChild()->toElement()->tagName() == "g") {
        node = node->firstChild();
        ++levels;
    }
    EXPECT_EQ(levels, depth);
    EXPECT_STREQ(node->firstChild()->toElement()->getAttribute("v"), "1");

    std::string siblings = "<r>";
    for (int i = 0; i < 300000; ++i)
        siblings += "<ifdef name=\"A\"><a/></ifdef>";
    siblings += "</r>";
    Processed result = preprocess(siblings, "A=");
    EXPECT_EQ(result.text.size(), std::string("<r></r>").size() + 300000 * 4);
}
