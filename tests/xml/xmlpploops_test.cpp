#include "xmlpptesting.h"

namespace {

std::string repeated(const std::string &text, int count, const char *separator = "") {
    std::string result;
    for (int i = 0; i < count; ++i)
        result += (i ? separator : "") + text;
    return result;
}

} // namespace

// Loop limits that need more than a fixture (see xmlppcases_test.cpp for the rest).
TEST(XmlPPFor, NestedLoopsAddUpToTheLimit) {
    XmlPP::Limits limits;
    limits.generatedElements = 5000;
    Processed result = preprocess(
        R"~(<r><for index="i" start="0" end="200" incr="1"><for index="j" start="0" end="100" incr="1"><a/></for></for></r>)~",
        {}, true, limits);
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("would make more than 5000 elements"), std::string::npos);
    // The outer loop adds 199 copies of two elements; each inner loop adds 99 copies (its last
    // set is its own child, moved), so 46 inner loops fit in the rest and the others vanish.
    EXPECT_EQ(result.text, "<r>" + repeated("<a/>", 46 * 100) + "</r>");
}

TEST(XmlPPFor, LimitsAreTheCallers) {
    CollectingDocument document;
    ASSERT_TRUE(document.parse(
        R"~(<r><for index="i" start="0" end="5" incr="1"><a/><b/></for><for index="i" start="0" end="6" incr="1"><a/><b/></for></r>)~"));
    XmlPP::Limits limits;
    limits.generatedElements = 10;
    XmlPP::processConditionals(document, document.rootElement(), "", {}, true, limits);
    // The last copy is the loop's own content, moved: five iterations add eight elements.
    EXPECT_EQ(written(*document.rootElement()), "<r>" + repeated("<a/><b/>", 5) + "</r>");
    ASSERT_EQ(document.warnings.size(), 1u);
    EXPECT_NE(document.warnings[0].find("more than 10 elements or 256 MiB"), std::string::npos);
}

TEST(XmlPPForeach, LargeElementsAreBoundedByTheirBytes) {
    Processed result = preprocess("<r><foreach x=\"" + repeated("e", 100000, ",") + "\"><a v=\"" +
                                  std::string(4096, 'v') + "\"/></foreach></r>");
    EXPECT_EQ(result.text, "<r/>");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("<foreach> would make more than"), std::string::npos);
}
