// Preprocessor behaviour that needs more than a document and macros (see xmlppcases_test.cpp
// for the rest): macro layers, limits, and trees too large for a fixture.
#include "xmlpptesting.h"

#include <cstring>

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
    for (int i = 0; i < 100000; ++i)
        siblings += "<ifdef name=\"A\"><a/></ifdef>";
    siblings += "</r>";
    Processed result = preprocess(siblings, "A=");
    EXPECT_EQ(result.text.size(), std::string("<r></r>").size() + 100000 * 4);
}
