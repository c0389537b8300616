#include "xmlpptesting.h"

#include "golden.h"
#include "scratchdirtest.h"

#include <sys/stat.h>

namespace {

class XmlPPInclude : public ScratchDirTest {
protected:
    // Preprocesses the file as a loader would and returns the root written flat.
    Processed processFile(const std::string &file) {
        CollectingDocument document;
        EXPECT_TRUE(document.parseFile(file)) << document.errorText();
        if (!document.rootElement())
            return {};
        XmlPP::processConditionals(document, document.rootElement(), file, {}, true);
        return {written(*document.rootElement()), document.warnings};
    }
};

std::string fixture(const std::string &name) {
    return testDataPath("xmlpp/" + name);
}

} // namespace

TEST_F(XmlPPInclude, NamesAreRelativeToTheIncludingFile) {
    write("sub/part.xml", R"~(<part><include filename="inner.xml"/></part>)~");
    write("sub/inner.xml", R"~(<inner/>)~");
    write("main.xml", R"~(<r><include filename="sub/part.xml"/><include filename=")~" +
                          path("sub/inner.xml") + R"~("/></r>)~");
    Processed result = processFile(path("main.xml"));
    EXPECT_EQ(result.text, "<r><part><inner/></part><inner/></r>");
    EXPECT_TRUE(result.warnings.empty());
}

TEST_F(XmlPPInclude, DevicesAndPipesAreNotRead) {
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    write("main.xml", R"~(<r><include filename="/dev/zero"/><include filename="pipe"/></r>)~");
    Processed result = processFile(path("main.xml"));
    EXPECT_EQ(result.text,
              R"~(<r><include filename="/dev/zero" /><include filename="pipe" /></r>)~");
    EXPECT_EQ(result.warnings,
              (std::vector<std::string>{
                  kPP + "error \"couldn't read /dev/zero: not a regular file\" in include file "
                        "/dev/zero line:0",
                  kPP + "error \"couldn't read " + path("pipe") +
                      ": not a regular file\" in include file " + path("pipe") + " line:0"}));
}

TEST_F(XmlPPInclude, CyclesAndDeepChainsAreCut) {
    Processed self = processFile(fixture("self.xml"));
    EXPECT_EQ(self.text, R"~(<Root name="self"><include filename="self.xml" /></Root>)~");
    EXPECT_EQ(self.warnings, std::vector<std::string>{kPP + "include file " + fixture("self.xml") +
                                                      " includes itself"});

    Processed cycle = processFile(fixture("cycle-a.xml"));
    EXPECT_EQ(
        cycle.text,
        R"~(<Root name="a"><Root name="b"><include filename="cycle-a.xml" /></Root></Root>)~");
    EXPECT_EQ(cycle.warnings,
              std::vector<std::string>{kPP + "include file " + fixture("cycle-a.xml") +
                                       " includes itself"});

    const int files = XmlPP::Limits().nesting + 5;
    for (int i = 0; i < files; ++i)
        write("f" + std::to_string(i) + ".xml",
              "<f" + std::to_string(i) + "><include filename=\"f" + std::to_string(i + 1) +
                  ".xml\"/></f" + std::to_string(i) + ">");
    Processed chain = processFile(path("f0.xml"));
    EXPECT_EQ(chain.warnings,
              std::vector<std::string>{kPP +
                                       "include and xmlput nested deeper than 64; include "
                                       "file " +
                                       path("f65.xml") + " skipped"});
}

TEST_F(XmlPPInclude, IncludeCountIsBounded) {
    write("leaf.xml", "<leaf/>");
    std::string list;
    for (int i = 0; i <= XmlPP::Limits().includes; ++i)
        list += std::to_string(i) + ",";
    const std::string main =
        write("main.xml",
              "<r><foreach n=\"" + list + "\"><include filename=\"leaf.xml\"/></foreach></r>");
    Processed result = processFile(main);
    EXPECT_EQ(result.warnings, std::vector<std::string>{kPP +
                                                        "more than 4096 includes; include "
                                                        "file " +
                                                        path("leaf.xml") + " skipped"});
    EXPECT_TRUE(result.text.ends_with(R"~(<leaf/><include filename="leaf.xml" /></r>)~"))
        << result.text.substr(result.text.size() - 100);
}

TEST(XmlPPFragments, FanOutIsBounded) {
    // Each fragment puts the next one twice: 2^40 copies without a bound.
    std::string input = "<r><xmldef name=\"f40\"><leaf/></xmldef>";
    for (int i = 39; i >= 0; --i)
        input += "<xmldef name=\"f" + std::to_string(i) + "\"><xmlput name=\"f" +
                 std::to_string(i + 1) + "\"/><xmlput name=\"f" + std::to_string(i + 1) +
                 "\"/></xmldef>";
    input += "<xmlput name=\"f0\"/></r>";
    XmlPP::Limits limits;
    limits.generatedElements = 5000;
    Processed result = preprocess(input, {}, true, limits);
    ASSERT_FALSE(result.warnings.empty());
    EXPECT_TRUE(result.warnings[0].starts_with(kPP + "xmlput of f")) << result.warnings[0];
    EXPECT_TRUE(result.warnings[0].ends_with(" would make more than 5000 elements or 256 MiB "
                                             "of attributes in total; it generates nothing, as "
                                             "does every later one over the limit"))
        << result.warnings[0];
    EXPECT_EQ(result.warnings.size(), 1u);
}

TEST(XmlPPGolden, BoardFixtureForTwoDevices) {
    const std::string board = fixture("board/board.xml");
    for (const auto &[macros, golden] :
         {std::pair<const char *, const char *>{"FAMILY=F4;FLASH_KB=1024;Board=Nucleo",
                                                "xmlpp/board/expected-f4.xml"},
          {"FAMILY=F1;FLASH_KB=128;Board=Blue Pill", "xmlpp/board/expected-f1.xml"}}) {
        CollectingDocument document;
        ASSERT_TRUE(document.parseFile(board));
        XmlPP::processConditionals(document, document.rootElement(), board,
                                   MacroMap::fromList(macros), true);
        EXPECT_TRUE(document.warnings.empty()) << document.warnings.front();
        expectMatchesGolden(written(document), golden);
    }
}
