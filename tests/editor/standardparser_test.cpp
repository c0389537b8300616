// The standard and C parsers: exact markup for the rules and their edge cases, the line
// states carried between lines, and the brace count.

#include "parsertesting.h"

#include "editor/codeeditcparser.h"
#include "editor/codeeditkeywordparsers.h"
#include "editor/commentsettings.h"
#include "editor/styletable.h"

#include "allocationcounter.h"

namespace {

class StandardParser : public ::testing::Test {
protected:
    CodeEditCParser m_c;
};

TEST_F(StandardParser, EmptyLineKeepsStateExceptStrings) {
    for (std::uint32_t state : {0u, 1u, 3u, 4u, 5u | (7u << 8)}) {
        ParseResult r = parseLine(m_c, u"", state);
        EXPECT_TRUE(r.markup.empty());
        EXPECT_EQ(r.state, state);
    }
    for (std::uint32_t state : {34u, 39u}) {
        ParseResult r = parseLine(m_c, u"", state);
        EXPECT_TRUE(r.markup.empty());
        EXPECT_EQ(r.state, 0u) << state;
    }
}

TEST_F(StandardParser, BlockCommentAcrossLines) {
    ParseResult first = parseLine(m_c, u"/* a");
    EXPECT_MARKUP(first.markup, esc(2) + u"/* a");
    EXPECT_EQ(first.state, 1u);
    EXPECT_EQ(first.braces, 1);
    ParseResult second = parseLine(m_c, u"b */ c", first.state);
    EXPECT_MARKUP(second.markup, esc(2) + u"b */" + esc(0) + u" " + esc(0) + u"c");
    EXPECT_EQ(second.state, 0u);
    EXPECT_EQ(second.braces, -1);
    ParseResult middle = parseLine(m_c, u"still \"not a string", 1);
    EXPECT_MARKUP(middle.markup, esc(2) + u"still \"not a string");
    EXPECT_EQ(middle.state, 1u);
    EXPECT_EQ(parseLine(m_c, u"/**/x").markup, esc(2) + u"/**/" + esc(0) + u"x");
}

TEST_F(StandardParser, FunctionsAndKeywords) {
    EXPECT_MARKUP(parseLine(m_c, u"foo (x)").markup,
                  esc(9) + u"foo" + esc(0) + u" " + esc(7) + u"(" + esc(0) + u"x" + esc(7) + u")");
    EXPECT_MARKUP(parseLine(m_c, u"if (x)").markup,
                  esc(3) + u"if" + esc(0) + u" " + esc(7) + u"(" + esc(0) + u"x" + esc(7) + u")");
    // every identifier has its own pair, even when the style stays the same
    EXPECT_MARKUP(parseLine(m_c, u"a b").markup, esc(0) + u"a " + esc(0) + u"b");
    // the fixed-width type names are keywords; case matters in C
    EXPECT_MARKUP(parseLine(m_c, u"uint32_t").markup, esc(3) + u"uint32_t");
    EXPECT_MARKUP(parseLine(m_c, u"Int").markup, esc(0) + u"Int");
}

TEST_F(StandardParser, Numbers) {
    EXPECT_MARKUP(parseLine(m_c, u"0x1p+3").markup, esc(1) + u"0x1p+3");
    EXPECT_MARKUP(parseLine(m_c, u"1e-5").markup, esc(1) + u"1e-5");
    EXPECT_MARKUP(parseLine(m_c, u"a-5").markup, esc(0) + u"a" + esc(7) + u"-" + esc(1) + u"5");
    EXPECT_MARKUP(parseLine(m_c, u".5f").markup, esc(1) + u".5f");
    EXPECT_MARKUP(parseLine(m_c, u"1'000'000").markup, esc(1) + u"1'000'000");
    // in a hexadecimal number 'e' is a digit, so a sign after it is an operator
    EXPECT_MARKUP(parseLine(m_c, u"0x1e+3").markup,
                  esc(1) + u"0x1e" + esc(7) + u"+" + esc(1) + u"3");
}

TEST_F(StandardParser, Strings) {
    EXPECT_MARKUP(parseLine(m_c, u"\"ab\"").markup,
                  esc(30) + u"\"" + esc(29) + u"ab" + esc(30) + u"\"");
    EXPECT_MARKUP(parseLine(m_c, u"'\\x41g'").markup,
                  esc(30) + u"'" + esc(29) + esc(31) + u"\\x41" + esc(29) + u"g" + esc(30) + u"'");
    // \x and \u take up to four digits, \U up to eight, octal up to three in all
    EXPECT_MARKUP(parseLine(m_c, u"\"\\u12345\\1017\"").markup,
                  esc(30) + u"\"" + esc(29) + esc(31) + u"\\u1234" + esc(29) + u"5" + esc(31) +
                      u"\\101" + esc(29) + u"7" + esc(30) + u"\"");
    EXPECT_MARKUP(parseLine(m_c, u"\"\\U0001F600x\"").markup, esc(30) + u"\"" + esc(29) + esc(31) +
                                                                  u"\\U0001F600" + esc(29) + u"x" +
                                                                  esc(30) + u"\"");
    // an unterminated string ends with its line
    ParseResult open = parseLine(m_c, u"\"abc");
    EXPECT_MARKUP(open.markup, esc(30) + u"\"" + esc(29) + u"abc");
    EXPECT_EQ(open.state, 0u);
}

TEST_F(StandardParser, BackslashAtEndCarriesStringToNextLine) {
    ParseResult first = parseLine(m_c, u"s = \"ab\\");
    EXPECT_EQ(first.state, 34u);
    EXPECT_MARKUP(first.markup, esc(0) + u"s " + esc(7) + u"=" + esc(0) + u" " + esc(30) + u"\"" +
                                    esc(29) + u"ab" + esc(31) + u"\\");
    ParseResult second = parseLine(m_c, u"cd\" x", first.state);
    EXPECT_MARKUP(second.markup, esc(29) + u"cd" + esc(30) + u"\"" + esc(0) + u" " + esc(0) + u"x");
    EXPECT_EQ(second.state, 0u);
    EXPECT_EQ(parseLine(m_c, u"'a\\", 0).state, 39u);
    // an escaped quote does not close the continued string
    EXPECT_EQ(parseLine(m_c, u"\\\"\\", 34).state, 34u);
}

TEST_F(StandardParser, IncludeDirective) {
    EXPECT_MARKUP(parseLine(m_c, u"#include <stdio.h>").markup,
                  esc(6) + u"#include" + esc(0) + u" " + esc(30) + u"<" + esc(29) + u"stdio.h" +
                      esc(30) + u">");
    EXPECT_MARKUP(parseLine(m_c, u"# define X 1").markup,
                  esc(6) + u"# define" + esc(0) + u" " + esc(0) + u"X " + esc(1) + u"1");
    EXPECT_MARKUP(parseLine(m_c, u"#include \"a.h\"").markup, esc(6) + u"#include" + esc(0) + u" " +
                                                                  esc(30) + u"\"" + esc(29) +
                                                                  u"a.h" + esc(30) + u"\"");
    // an unclosed header name ends with the line
    EXPECT_MARKUP(parseLine(m_c, u"#include <a").markup,
                  esc(6) + u"#include" + esc(0) + u" " + esc(30) + u"<" + esc(29) + u"a");
}

TEST_F(StandardParser, LineCommentWordLists) {
    CommentSettings settings;
    settings.fixmeWords = keywordListFromSetting("FIXME;TODO");
    settings.attentionWords = keywordListFromSetting("NOTE");
    settings.lintWords = keywordListFromSetting("lint");
    CodeEditParser::setCommentSettings(&settings);
    EXPECT_MARKUP(parseLine(m_c, u"x; // TODO: later").markup,
                  esc(0) + u"x" + esc(7) + u";" + esc(0) + u" " + esc(2) + u"// " + esc(10) +
                      u"TODO" + esc(2) + u": later");
    EXPECT_MARKUP(parseLine(m_c, u"//NOTE").markup, esc(2) + u"//" + esc(11) + u"NOTE");
    EXPECT_MARKUP(parseLine(m_c, u"// lint -e123").markup,
                  esc(2) + u"// " + esc(12) + u"lint" + esc(2) + u" -e123");
    // only the first word counts
    EXPECT_MARKUP(parseLine(m_c, u"// see TODO").markup, esc(2) + u"// see TODO");
    CodeEditParser::setCommentSettings(nullptr);
    EXPECT_MARKUP(parseLine(m_c, u"// TODO").markup, esc(2) + u"// TODO");
}

TEST_F(StandardParser, BraceCount) {
    EXPECT_EQ(parseLine(m_c, u"{ { }").braces, 1);
    EXPECT_EQ(parseLine(m_c, u"} \"{\" '}' // {").braces, -1);
    EXPECT_EQ(parseLine(m_c, u"/* { */ }").braces, -1);
}

TEST_F(StandardParser, VisibleWhiteSpaceIsWhiteSpace) {
    // U+00B7 shows a space and U+00BB a tab: neither is an operator, and neither hides a call
    EXPECT_MARKUP(parseLine(m_c, u"foo\u00B7(x)").markup, esc(9) + u"foo" + esc(0) + u"\u00B7" +
                                                              esc(7) + u"(" + esc(0) + u"x" +
                                                              esc(7) + u")");
    EXPECT_MARKUP(parseLine(m_c, u"a\u00BB=").markup, esc(0) + u"a\u00BB" + esc(7) + u"=");
    // inside strings and comments they are text like any other
    EXPECT_MARKUP(parseLine(m_c, u"\"\u00B7\"").markup,
                  esc(30) + u"\"" + esc(29) + u"\u00B7" + esc(30) + u"\"");
}

TEST_F(StandardParser, BackslashOutsideStringsKeepsStyle) {
    EXPECT_MARKUP(parseLine(m_c, u"=\\n1").markup, esc(7) + u"=\\n1");
}

TEST_F(StandardParser, DocumentationComment) {
    ParseResult first = parseLine(m_c, u"/*! \\brief Sets \\p mode.");
    EXPECT_MARKUP(first.markup, esc(2) + u"/*! " + esc(13) + u"\\brief" + esc(2) + u" Sets " +
                                    esc(13) + u"\\p" + esc(2) + u" " + esc(14) + u"mode.");
    EXPECT_EQ(first.state, 3u);
    EXPECT_EQ(first.braces, 1);
    ParseResult code = parseLine(m_c, u"  @code x = 1;", first.state);
    EXPECT_MARKUP(code.markup, esc(2) + u"  " + esc(13) + u"@code" + esc(15) + u" x = 1;");
    EXPECT_EQ(code.state, 4u);
    ParseResult end = parseLine(m_c, u"\\endcode */ int", code.state);
    EXPECT_MARKUP(end.markup,
                  esc(13) + u"\\endcode" + esc(2) + u" */" + esc(0) + u" " + esc(3) + u"int");
    EXPECT_EQ(end.state, 0u);
    EXPECT_EQ(end.braces, -1);
    // an unknown command and an e-mail address are plain comment text
    EXPECT_MARKUP(parseLine(m_c, u"\\nosuch a@b.c", 3).markup, esc(2) + u"\\nosuch a@b.c");
}

TEST_F(StandardParser, RawStrings) {
    EXPECT_MARKUP(parseLine(m_c, u"R\"xy(text)xy\"").markup,
                  esc(30) + u"R\"xy(" + esc(29) + u"text" + esc(30) + u")xy\"");
    EXPECT_MARKUP(parseLine(m_c, u"u8R\"(a)\"").markup,
                  esc(30) + u"u8R\"(" + esc(29) + u"a" + esc(30) + u")\"");
    // sixteen characters are the most a delimiter may have
    std::u16string sixteen(16, u'd');
    EXPECT_EQ(parseLine(m_c, u"R\"" + sixteen + u"(x)" + sixteen + u"\"").markup.substr(0, 3),
              esc(30) + u"R");
    ParseResult tooLong = parseLine(m_c, u"R\"" + sixteen + u"d(x)" + sixteen + u"d\"");
    EXPECT_EQ(tooLong.markup.substr(0, 3), esc(0) + u"R");
    EXPECT_EQ(tooLong.state, 0u);
    // a raw string's body knows no escapes and no comments
    ParseResult open = parseLine(m_c, u"x = R\"ab(\\n /* ");
    EXPECT_EQ(open.state & 0xFF, 5u);
    ParseResult body = parseLine(m_c, u")cd\" \" )ab\" y", open.state);
    EXPECT_MARKUP(body.markup,
                  esc(29) + u")cd\" \" " + esc(30) + u")ab\"" + esc(0) + u" " + esc(0) + u"y");
    EXPECT_EQ(body.state, 0u);
    // the standard parser without the hooks has no raw strings
    CodeEditJavaParser java;
    EXPECT_EQ(parseLine(java, u"R\"(x)\"").markup.substr(0, 3), esc(0) + u"R");
}

TEST_F(StandardParser, RawStringDelimiterTravelsInTheLineState) {
    // two documents repainted in turn through the one parser: each closes on its own
    // delimiter
    ParseResult a = parseLine(m_c, u"R\"aaa(");
    ParseResult b = parseLine(m_c, u"R\"bbb(");
    EXPECT_NE(a.state, b.state);
    EXPECT_EQ(parseLine(m_c, u")bbb\"", a.state).state, a.state);
    EXPECT_EQ(parseLine(m_c, u")aaa\"", a.state).state, 0u);
    EXPECT_EQ(parseLine(m_c, u")aaa\"", b.state).state, b.state);
    EXPECT_EQ(parseLine(m_c, u")bbb\"", b.state).state, 0u);
    // the same delimiter always gets the same id
    EXPECT_EQ(parseLine(m_c, u"LR\"aaa(").state, a.state);
}

TEST(KeywordParsers, CaseInsensitiveListsAndControlList) {
    CodeEditBatchParser batch;
    EXPECT_MARKUP(parseLine(batch, u"ECHO off").markup,
                  esc(3) + u"ECHO" + esc(0) + u" " + esc(3) + u"off");
    CodeEditSTAPLParser stapl;
    EXPECT_MARKUP(parseLine(stapl, u"Idle").markup, esc(6) + u"Idle");
    CodeEditVantrelLinkScriptParser link;
    EXPECT_MARKUP(parseLine(link, u"ALIGN(4)").markup,
                  esc(3) + u"ALIGN" + esc(7) + u"(" + esc(1) + u"4" + esc(7) + u")");
}

TEST(ParserAllocation, ALineOfCodeAllocatesNothing) {
    CodeEditCParser parser;
    std::u16string line =
        u"    if (count > 0x10 && name[i] != '\\0') { total += f(x, 1.5e-3); } // done";
    std::vector<char16_t> buffer(std::size_t(markupCapacity(long(line.size()))));
    int braces = 0;
    parser.parse(line.c_str(), buffer.data(), braces); // warm up
    long before = allocationCount();
    for (int i = 0; i < 100; ++i) {
        parser.setLineState(0);
        parser.parse(line.c_str(), buffer.data(), braces);
    }
    EXPECT_EQ(allocationCount(), before);
}

} // namespace
