#include "xmlpptesting.h"

namespace {

std::string repeated(const std::string &text, int count, const char *separator = "") {
    std::string result;
    for (int i = 0; i < count; ++i)
        result += (i ? separator : "") + text;
    return result;
}

} // namespace

TEST(XmlPPFor, CopiesWithTheLoopMacros) {
    Processed result = preprocess(
        R"~(<r><for index="i" start="0" end="3" incr="1"><a v="$(i)" w="$(i_alpha)"/></for><z/></r>)~");
    EXPECT_EQ(result.text, R"~(<r><a v="0" w="A" /><a v="1" w="B" /><a v="2" w="C" /><z/></r>)~");
    EXPECT_TRUE(result.warnings.empty());

    result = preprocess(R"~(<r><for index="n" start="10" end="1+11" incr="1" add="0x100" mul="0x10">
        <g h="$(n_hex)" ap="$(n_ap)" aph="$(n_ap_hex)"><x n="$(n)"/></g><y/></for></r>)~");
    EXPECT_EQ(result.text, "<r>"
                           R"~(<g h="0xA" ap="416" aph="0x1A0"><x n="10" /></g><y/>)~"
                           R"~(<g h="0xB" ap="432" aph="0x1B0"><x n="11" /></g><y/>)~"
                           "</r>");

    result = preprocess(
        R"~(<r><for index="k" start="0" end="5" incr="2" sub="5" mul="2"><a v="$(k_ap)" h="$(k_ap_hex)"/></for></r>)~");
    EXPECT_EQ(result.text,
              R"~(<r><a v="-5" h="0xFFFFFFFFFFFFFFFB" /><a v="-1" h="0xFFFFFFFFFFFFFFFF" />)~"
              R"~(<a v="3" h="0x3" /></r>)~");
}

TEST(XmlPPFor, CopiesAreProcessedAsFollowingSiblings) {
    // A definition inside a copy holds for the copies and elements after it.
    Processed result = preprocess(R"~(<r><for index="i" start="0" end="3" incr="1">
        <a prev="$(LAST)"/><define name="LAST" value="$(i)"/></for><z v="$(LAST)"/></r>)~");
    EXPECT_EQ(result.text,
              R"~(<r><a prev="$(LAST)" /><a prev="0" /><a prev="1" /><z v="2" /></r>)~");
    // Loop macros are not in the map afterwards, and nested loops see both indices.
    result = preprocess(
        R"~(<r><for index="i" start="0" end="2" incr="1"><for index="j" start="0" end="2" incr="1"><a v="$(i)$(j)"/></for></for><z v="$(i)"/></r>)~");
    EXPECT_EQ(result.text,
              R"~(<r><a v="00" /><a v="01" /><a v="10" /><a v="11" /><z v="$(i)" /></r>)~");
}

TEST(XmlPPFor, EmptyRangesGenerateNothing) {
    for (const char *input : {R"~(<r><for index="i" start="3" end="3" incr="1"><a/></for></r>)~",
                              R"~(<r><for index="i" start="4" end="3" incr="1"><a/></for></r>)~"}) {
        Processed result = preprocess(input);
        EXPECT_EQ(result.text, "<r/>") << input;
        EXPECT_TRUE(result.warnings.empty()) << input;
    }
}

TEST(XmlPPFor, IncompleteLoopsShowTheExpectedForm) {
    const std::string form = kPP + R"~(<for index="i" start="0" end="32" incr="1">)~";
    for (const char *input :
         {R"~(<r><for start="0" end="3" incr="1"><a/></for></r>)~",
          R"~(<r><for index="i" end="3" incr="1"><a/></for></r>)~",
          R"~(<r><for index="i" start="0" incr="1"><a/></for></r>)~",
          R"~(<r><for index="i" start="0" end="3"><a/></for></r>)~",
          R"~(<r><for index="i" start="0" end="3" incr="1"/></r>)~",
          R"~(<r><for index="i" start="0" end="three" incr="1"><a/></for></r>)~"}) {
        Processed result = preprocess(input);
        EXPECT_EQ(result.text, "<r/>") << input;
        EXPECT_EQ(result.warnings, std::vector<std::string>{form}) << input;
    }
}

TEST(XmlPPFor, EndlessLoopsAreCut) {
    Processed result =
        preprocess(R"~(<r><for index="i" start="0" end="3" incr="0"><a/></for><z/></r>)~");
    EXPECT_EQ(result.text, "<r><z/></r>");
    EXPECT_EQ(result.warnings, std::vector<std::string>{
                                   kPP + R"~(<for index="i"> has incr 0; it generates nothing)~"});

    // The index is 32-bit: it would wrap to 0x8 and go on below end.
    result = preprocess(
        R"~(<r><for index="i" start="0xFFFFFFF0" end="0x100000010" incr="8"><a v="$(i_hex)"/></for></r>)~");
    EXPECT_EQ(result.text, R"~(<r><a v="0xFFFFFFF0" /><a v="0xFFFFFFF8" /></r>)~");
    EXPECT_EQ(result.warnings,
              std::vector<std::string>{kPP + R"~(<for index="i"> index would pass 0xFFFFFFFF )~"
                                             "before reaching end; the loop stops there"});
    result = preprocess(
        R"~(<r><for index="i" start="0x100000000" end="0x100000010" incr="1"><a/></for></r>)~");
    EXPECT_EQ(result.text, "<r/>");
    EXPECT_EQ(result.warnings.size(), 1u);

    // Reaching the very end of the 32-bit space is no wrap; neither is a huge step.
    result = preprocess(
        R"~(<r><for index="i" start="0xE0000000" end="0x100000000" incr="0x10000000"><a v="$(i_hex)"/></for>)~"
        R"~(<for index="j" start="1" end="0xFFFFFFFF" incr="0xFFFFFFFFFFFFFFFF"><b v="$(j)"/></for></r>)~");
    EXPECT_EQ(result.text, R"~(<r><a v="0xE0000000" /><a v="0xF0000000" /><b v="1" /></r>)~");
    EXPECT_TRUE(result.warnings.empty());
}

TEST(XmlPPFor, GeneratedElementsAreBounded) {
    Processed result =
        preprocess(R"~(<r><for index="i" start="0" end="0xFFFFFFFF" incr="1"><a><b/></a></for>)~"
                   R"~(<for index="i" start="0" end="2" incr="1"><c/></for></r>)~");
    // The refused loop takes nothing from the allowance; the small one after it still runs.
    EXPECT_EQ(result.text, "<r><c/><c/></r>");
    EXPECT_EQ(result.warnings,
              std::vector<std::string>{kPP + R"~(<for index="i"> would make more than 1000000 )~"
                                             "elements or 256 MiB of attributes in total; it "
                                             "generates nothing, as does every later one over "
                                             "the limit"});

    // Nested loops that each stay below the bound add up to it.
    result = preprocess(
        R"~(<r><for index="i" start="0" end="2000" incr="1"><for index="j" start="0" end="1000" incr="1"><a/></for></for></r>)~");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("would make more than 1000000 elements"), std::string::npos);
    EXPECT_LE(result.text.size(), 4 * XmlPP::Limits().generatedElements + 8);
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

TEST(XmlPPForeach, OneCopyPerEntryCombination) {
    struct Case {
        const char *input;
        const char *expected;
    } cases[] = {
        {R"~(<r><foreach x="A,,B,"><a v="$(x)"/></foreach></r>)~",
         R"~(<r><a v="A" /><a v="B" /></r>)~"},
        {R"~(<r><foreach x="1,2" y="a,b"><a v="$(x)$(y)"/></foreach></r>)~",
         R"~(<r><a v="1a" /><a v="1b" /><a v="2a" /><a v="2b" /></r>)~"},
        // split_by counts for the lists written after it.
        {R"~(<r><foreach x="1;2" split_by=";" y="a;b"><a v="$(x)$(y)"/></foreach></r>)~",
         R"~(<r><a v="1;2a" /><a v="1;2b" /></r>)~"},
        {R"~(<r><foreach split_by="::" x="1::2"><a v="$(x)"/></foreach></r>)~",
         R"~(<r><a v="1" /><a v="2" /></r>)~"},
        {"<r><foreach x=\"A,\nB,\r\nC\"><a v=\"$(x)\"/></foreach></r>",
         R"~(<r><a v="A" /><a v="B" /><a v="C" /></r>)~"},
        {R"~(<r><foreach x="$(LIST)"><a v="$(x)"/></foreach></r>)~",
         R"~(<r><a v="p" /><a v="q" /></r>)~"},
        {R"~(<r><foreach x="UART1,USART2,SPI1,I2,UART" exclude_wildcard="UART*,?2"><a v="$(x)"/></foreach></r>)~",
         R"~(<r><a v="USART2" /><a v="SPI1" /></r>)~"},
        {R"~(<r><foreach x="A,B,C" y="B,D" exclude_entries="B"><a v="$(x)$(y)"/></foreach></r>)~",
         R"~(<r><a v="AD" /><a v="CD" /></r>)~"},
        // Nothing to repeat, or nothing to repeat it for.
        {R"~(<r><foreach x=""><a/></foreach><foreach x="1"/><foreach split_by=","><a/></foreach></r>)~",
         "<r/>"},
    };
    for (const Case &c : cases) {
        Processed result = preprocess(c.input, "LIST=p,q");
        EXPECT_EQ(result.text, c.expected) << c.input;
        EXPECT_TRUE(result.warnings.empty()) << c.input;
    }
}

TEST(XmlPPForeach, ExpandMacrosAddsTheCurrentMap) {
    const char *input =
        R"~(<r><foreach x="1"><a v="$(x)" w="$(M)"/></foreach><foreach expand_macros="Yes" x="1"><a v="$(x)" w="$(M)"/></foreach></r>)~";
    EXPECT_EQ(preprocess(input, "M=m", false).text,
              R"~(<r><a v="1" w="$(M)" /><a v="1" w="m" /></r>)~");
}

TEST(XmlPPForeach, ExcludedEntriesMustExist) {
    Processed result =
        preprocess(R"~(<r><foreach x="A,B" exclude_entries="B,Q,R"><a v="$(x)"/></foreach></r>)~");
    EXPECT_EQ(result.text, R"~(<r><a v="A" /></r>)~");
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{kPP + "exclude_entries cannot find entry named Q",
                                        kPP + "exclude_entries cannot find entry named R"}));
}

TEST(XmlPPForeach, GeneratedElementsAreBounded) {
    const std::string list = repeated("e", 1001, ",");
    Processed result = preprocess("<r><foreach x=\"" + list + "\" y=\"" + list +
                                  "\"><a/></foreach><foreach z=\"1,2\"><b/></foreach></r>");
    EXPECT_EQ(result.text, "<r><b/><b/></r>");
    EXPECT_EQ(result.warnings,
              std::vector<std::string>{kPP + "<foreach> would make more than 1000000 elements or "
                                             "256 MiB of attributes in total; it generates "
                                             "nothing, as does every later one over the limit"});

    // Fewer elements, but large ones.
    result = preprocess("<r><foreach x=\"" + repeated("e", 100000, ",") + "\"><a v=\"" +
                        std::string(4096, 'v') + "\"/></foreach></r>");
    EXPECT_EQ(result.text, "<r/>");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("<foreach> would make more than"), std::string::npos);
}

TEST(XmlPPWildcards, Patterns) {
    // Through exclude_wildcard: each entry that matches disappears.
    struct Case {
        const char *entry;
        const char *pattern;
        bool matches;
    } cases[] = {
        {"abc", "abc", true},     {"abc", "a*", true},    {"abc", "*c", true},
        {"abc", "a?c", true},     {"abc", "*", true},     {"abc", "?bc", true},
        {"abc", "ab", false},     {"abc", "a?", false},   {"abc", "*b", false},
        {"aXbXc", "a*b*c", true}, {"ab", "a*b*c", false}, {"aaa", "a*a*a*a", false},
    };
    for (const Case &c : cases) {
        Processed result =
            preprocess(std::string("<r><foreach x=\"") + c.entry + ",keep\" exclude_wildcard=\"" +
                       c.pattern + "\"><a v=\"$(x)\"/></foreach></r>");
        bool kept = result.text.find(std::string("v=\"") + c.entry + "\"") != std::string::npos;
        EXPECT_EQ(!kept, c.matches) << c.entry << " " << c.pattern;
    }
}
