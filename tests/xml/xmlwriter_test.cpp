#include "xml/xmldata.h"
#include "xmltesting.h"

#include "golden.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

std::string boardText() {
    return readFileBytes(testDataPath("xml/writer/input.xml"));
}

} // namespace

TEST(XMLWriterForm, MemoryMapGolden) {
    // Declaration with two blanks, DOCTYPE line, wrapping at 75 columns one level deeper,
    // numeric references for control bytes, UTF-8 text as it is.
    XMLDocument document;
    ASSERT_TRUE(document.parse(boardText())) << document.errorText();
    std::string out = written(document, 2, 75);
    expectMatchesGolden(out, "xml/writer/expected.xml");
    const std::string head = "<?xml  version=\"1.0\" encoding=\"UTF-8\" ?>\n"
                             "<!DOCTYPE Board_Memory_Definition_File>\n<Root ";
    EXPECT_EQ(out.substr(0, head.size()), head);
}

TEST(XMLWriterForm, WrittenUTF8ReadsBackByteForByte) {
    std::string golden = readFileBytes(testDataPath("xml/writer/expected.xml"));
    XMLDocument document;
    ASSERT_TRUE(document.parse(golden)) << document.errorText();
    EXPECT_EQ(written(document, 2, 75), golden);
    const XMLElement *field =
        document.rootElement()->lastChild()->firstChild()->firstChild()->toElement();
    EXPECT_STREQ(field->getAttribute("description"),
                 "Caf\xc3\xa9 \xe2\x82\xac <mode> & \"tab\"\tendA");
}

TEST(XMLWriterForm, UTF8IsWrittenAsItIsAndOtherBytesAsReferences) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\n\xc3\xa9", "a&#xa;\xc3\xa9"},
        {"\xe2\x82\xac\xf0\x9f\x98\x80\x7f\t", "\xe2\x82\xac\xf0\x9f\x98\x80&#x7f;&#x9;"},
        // Lone, cut-off, overlong and surrogate sequences are not UTF-8.
        {"\xc3x\xff", "&#xc3;x&#xff;"},
        {"\xe2\x82", "&#xe2;&#x82;"},
        {"\xc0\xaf", "&#xc0;&#xaf;"},
        {"\xed\xa0\x80", "&#xed;&#xa0;&#x80;"},
        {"\xf4\x90\x80\x80", "&#xf4;&#x90;&#x80;&#x80;"},
    };
    for (const auto &[value, text] : cases) {
        XMLElement element("e");
        element.setAttribute("v", value);
        EXPECT_EQ(written(element), "<e v=\"" + text + "\" />") << text;
    }
}

TEST(XMLWriterForm, TextAndControlsReadBackByteForByte) {
    // Every valid UTF-8 text with any control characters survives a round trip; a byte
    // outside UTF-8 reads back as the character of that number, as other readers take it.
    std::string text;
    for (int c = 1; c < 0x80; ++c)
        text += char(c);
    text += "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xef\xbf\xbf\xc2\x80";
    XMLDocument document(true);
    auto root = std::make_unique<XMLElement>("r");
    root->setAttribute("v", text);
    root->appendChild(std::make_unique<XMLData>(text));
    document.setRootElement(std::move(root));
    XMLDocument again(true);
    ASSERT_TRUE(again.parse(written(document))) << again.errorText();
    EXPECT_STREQ(again.rootElement()->getAttribute("v"), text.c_str());
    EXPECT_EQ(static_cast<const XMLData *>(again.rootElement()->firstChild())->data(), text);

    XMLElement invalid("e");
    invalid.setAttribute("v", "\xe9\xc3\xa9");
    XMLDocument latin;
    ASSERT_TRUE(latin.parse(written(invalid)));
    EXPECT_STREQ(latin.rootElement()->getAttribute("v"), "\xc3\xa9\xc3\xa9");
}

TEST(XMLWriterForm, WrapStartsWhenTheSumPassesTheWidth) {
    // 1 + tag length, plus name + value + 4 per attribute: 12 + 30 + 33 = 75 still fits.
    XMLElement element("e");
    element.setAttribute("a", std::string(30, 'x'));
    element.setAttribute("b", std::string(33, 'y'));
    EXPECT_EQ(written(element, 2, 75).find('\n'), written(element, 2, 75).size() - 1);
    element.setAttribute("b", std::string(34, 'y'));
    EXPECT_EQ(written(element, 2, 75), "<e\n  a=\"" + std::string(30, 'x') + "\"\n  b=\"" +
                                           std::string(34, 'y') + "\" />\n");
}

TEST(XMLWriterForm, EmptyElementsNullValuesAndZeroIndentation) {
    XMLElement root("Root");
    EXPECT_EQ(written(root, 2), "<Root/>\n");
    root.setAttribute("none", std::nullopt);
    root.appendChild(std::make_unique<XMLElement>("a"))
        ->appendChild(std::make_unique<XMLElement>("b"));
    EXPECT_EQ(written(root, 2), "<Root none=\"\">\n  <a>\n    <b/>\n  </a>\n</Root>\n");
    EXPECT_EQ(written(root, 0), "<Root none=\"\"><a><b/></a></Root>");
}

TEST(XMLWriterForm, TextIsDroppedWithoutKeepContent) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("<a>text</a>"));
    EXPECT_EQ(written(document), "<a/>\n");
}

TEST(XMLWriterForm, MixedContentKeepsEveryChild) {
    XMLDocument document(true);
    ASSERT_TRUE(document.parse("<r><p>Hello <b>bold <i>x</i></b>!<!--c--></p><q/></r>"));
    std::string out = written(document, 2, 75);
    EXPECT_EQ(out, "<r>\n  <p>Hello <b>bold <i>x</i></b>!<!--c--></p>\n  <q/>\n</r>\n");
    XMLDocument again(true);
    ASSERT_TRUE(again.parse(out));
    EXPECT_EQ(written(*again.rootElement()->firstChildElement()),
              written(*document.rootElement()->firstChildElement()));
}

TEST(XMLWriterForm, ElementsWithTextAnywhereAreNotIndentedInside) {
    const char *inputs[] = {
        "<r><p><b>bold</b> tail</p><q/></r>",
        "<r><p><b/><![CDATA[raw]]><i/></p></r>",
        "<r><p><b><c/></b>x<d><e/></d></p></r>",
    };
    for (const char *input : inputs) {
        XMLDocument document(true);
        ASSERT_TRUE(document.parse(input));
        std::string out = written(document, 2, 75);
        XMLDocument again(true);
        ASSERT_TRUE(again.parse(out));
        const XMLElement *p = document.rootElement()->firstChildElement();
        EXPECT_EQ(written(*again.rootElement()->firstChildElement()), written(*p)) << out;
        EXPECT_NE(out.find("  " + written(*p) + "\n"), std::string::npos) << out;
    }
}

TEST(XMLWriterFile, WritesWithoutWrappingOrReportsThePath) {
    XMLDocument document;
    ASSERT_TRUE(document.parse(boardText()));
    QTemporaryDir dir;
    std::string path = dir.path().toStdString() + "/out.xml";
    ASSERT_TRUE(document.writeFile(path)) << document.errorText();
    std::ostringstream expected;
    XMLDocument copy;
    ASSERT_TRUE(copy.parse(boardText()));
    copy.write(expected, 2, 0);
    EXPECT_EQ(readFileBytes(path), expected.str());

    std::string bad = dir.path().toStdString() + "/missing/out.xml";
    EXPECT_FALSE(document.writeFile(bad));
    EXPECT_EQ(document.errorText(), "couldn't write " + bad);
}

// Runs in a child process: a file-size limit makes the write fail part way, as a full disk
// would. Returns the exit status: 0 when the failure was reported and no file remains.
static int writeUnderSizeLimit(const std::string &path) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    XMLDocument document;
    auto root = std::make_unique<XMLElement>("Root");
    for (int i = 0; i < 100000; ++i)
        root->appendChild(std::make_unique<XMLElement>("Register"));
    document.setRootElement(std::move(root));
    bool ok = document.writeFile(path);
    bool gone = !QFileInfo::exists(QString::fromStdString(path));
    return !ok && document.errorText() == "couldn't write " + path && gone ? 0 : 1;
}

TEST(XMLWriterFile, FailedWriteLeavesNoPartialFile) {
    QTemporaryDir dir;
    std::string path = dir.path().toStdString() + "/big.xml";
    EXPECT_EXIT(std::exit(writeUnderSizeLimit(path)), testing::ExitedWithCode(0), "");
}
