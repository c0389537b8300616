#include "xml/xmldata.h"
#include "xml/xmlpp2.h"
#include "xml/xmlreader.h"
#include "xmltesting.h"

#include "golden.h"

#include <QTemporaryDir>

#include <sstream>

namespace {

struct Failure {
    const char *input;
    const char *error;
    int line;
};

std::string tempPath(const QTemporaryDir &dir, const char *name) {
    return dir.path().toStdString() + "/" + name;
}

} // namespace

TEST(XMLReaderErrors, MessageAndLine) {
    const Failure cases[] = {
        {"<a><b></a>", "tagName mismatch", 0},
        {"<a>\n<b>\n\n</a>", "tagName mismatch", 3},
        {"</a>", "tagName mismatch", 0},
        {"<a 1x=\"2\"/>", "bad tagName", 0},
        {"<a>\n<>", "bad tagName", 1},
        {"<a/ >", "bad tagName", 0},
        {"<a><!ENTITY x></a>", "bad tagName", 0},
        {"<a\nb=c/>", "bad attribute value", 1},
        {"<!DOCTYPE a [ ]><a/>", "bad DOCTYPE", 0},
        {"<?xml version=\"1.0\" 1?>", "bad XML declaration", 0},
        // A cut-off file never reads as a smaller, valid one.
        {"<Root>\n  <Register name=\"x\">\n    <BitField/>",
         "unexpected end of input in element Register", 1},
        {"<a/><b>", "unexpected end of input in element b", 0},
        {"<a>\n<b x=\"1\n2", "unexpected end of input in tag", 1},
        {"<a>\n<b x", "unexpected end of input in tag", 1},
        {"<a></a", "unexpected end of input in tag", 0},
        {"<a><", "unexpected end of input in tag", 0},
        {"<a>\n<!-- x\n", "unexpected end of input in comment", 1},
        {"<a><!-", "unexpected end of input in comment", 0},
        {"<a><![CDATA[x]]", "unexpected end of input in CDATA section", 0},
        {"<a><![CDA", "unexpected end of input in CDATA section", 0},
        {"<?xml version=\"1.0\"", "unexpected end of input in XML declaration", 0},
        {"<?xml version=\"1.0\"?", "unexpected end of input in XML declaration", 0},
        {"<!DOCTYPE x", "unexpected end of input in DOCTYPE", 0},
    };
    for (const Failure &c : cases) {
        XMLDocument document(true);
        EXPECT_FALSE(document.parse(c.input)) << c.input;
        EXPECT_EQ(document.errorText(), c.error) << c.input;
        EXPECT_EQ(document.errorLine(), c.line) << c.input;
        EXPECT_EQ(document.rootElement(), nullptr) << c.input;
    }
}

TEST(XMLReaderErrors, UnreadableFiles) {
    QTemporaryDir dir;
    XMLDocument document;
    std::string missing = tempPath(dir, "missing.xml");
    EXPECT_FALSE(document.parseFile(missing));
    EXPECT_EQ(document.errorText(), "couldn't read " + missing);
    EXPECT_EQ(document.errorLine(), 0);
    EXPECT_FALSE(document.parseFile(dir.path().toStdString()));
    EXPECT_EQ(document.errorText(), "couldn't read " + dir.path().toStdString());
}

TEST(XMLReader, EmptyInputHasNoRoot) {
    for (const char *input : {"", " \n\t\r\n ", "<?xml version=\"1.0\"?>\n<!-- only -->"}) {
        XMLDocument document;
        EXPECT_TRUE(document.parse(input)) << document.errorText();
        EXPECT_EQ(document.rootElement(), nullptr);
    }
}

TEST(XMLReader, DeclarationDocTypeAndLines) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("<?xml version='1.0' encoding=\"UTF-8\"?>\n"
                               "<?xml-stylesheet href='s.css'?>\n"
                               "<!DOCTYPE  Board_Memory_Definition_File >\n"
                               "<Root name='r'>\n\n  <MemorySegment/>\n</Root>"));
    EXPECT_EQ(document.version(), "1.0");
    EXPECT_EQ(document.encoding(), "UTF-8");
    EXPECT_EQ(document.documentType(), "Board_Memory_Definition_File");
    EXPECT_EQ(document.rootElement()->line(), 3);
    EXPECT_EQ(document.rootElement()->firstChild()->line(), 5);
}

TEST(XMLReader, AttributeSyntax) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("<a x = '1'y=\"2\" flag z='it\"s'  x=\"3\"/>"))
        << document.errorText();
    EXPECT_EQ(written(*document.rootElement()), "<a x=\"3\" y=\"2\" z=\"it&quot;s\" />")
        << "a name without a value is dropped; a repeated name replaces the value";
}

TEST(XMLReader, EntitiesYieldOneByte) {
    const std::pair<const char *, std::string> cases[] = {
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        {"&#65;&#x41;&#x141;&#321;", "AAAA"},
        {"&#xc3;&#xa9;", "\xc3\xa9"},
        // Upper-case hexadecimal digits are no reference.
        {"&#xA9;&#X41;", "&#xA9;&#X41;"},
        {"&#;&#x;", std::string("\0\0", 2)},
        {"&foo; &lt &#12 &#x4g; &", "&foo; &lt &#12 &#x4g; &"},
    };
    for (const auto &[text, bytes] : cases) {
        XMLDocument document;
        ASSERT_TRUE(document.parse(std::string("<a v='") + text + "'/>"));
        std::optional<XMLAttribute> value =
            document.rootElement()->getAttributeList().attribute("v");
        EXPECT_EQ(value->value.view(), bytes) << text;
    }
}

TEST(XMLReader, KeepContentDecidesAboutTextAndComments) {
    const char *input = "text<!--top--><a>one\r\ntwo &amp; <!--c--><![CDATA[<raw>&amp;]]></a>";
    XMLDocument plain;
    ASSERT_TRUE(plain.parse(input));
    ASSERT_NE(plain.rootElement()->firstChild(), nullptr);
    EXPECT_EQ(plain.rootElement()->firstChild()->type(), XMLNodeType::CDATASection)
        << "text and comments are dropped, CDATA stays";
    EXPECT_EQ(plain.rootElement()->firstChild()->nextSibling(), nullptr);

    XMLDocument keeping(true);
    ASSERT_TRUE(keeping.parse(input));
    const XMLNode *data = keeping.rootElement()->firstChild();
    ASSERT_EQ(data->type(), XMLNodeType::Data);
    EXPECT_EQ(static_cast<const XMLData *>(data)->data(), "one\ntwo & ");
    ASSERT_EQ(data->nextSibling()->type(), XMLNodeType::Comment);
    EXPECT_EQ(static_cast<const XMLComment *>(data->nextSibling())->comment(), "c");
    const XMLNode *cdata = data->nextSibling()->nextSibling();
    EXPECT_EQ(static_cast<const XMLCDATASection *>(cdata)->CDATASection(), "<raw>&amp;");
}

TEST(XMLReader, ProcessingInstructionRestIsText) {
    XMLDocument document(true);
    ASSERT_TRUE(document.parse("<a><?target some &amp; data?></a>"));
    EXPECT_EQ(static_cast<const XMLData *>(document.rootElement()->firstChild())->data(),
              " some & data?>");
}

TEST(XMLReader, RootIsTheLastTopLevelElementAndComesFromTheFactory) {
    TypedDocument document;
    ASSERT_TRUE(document.parse("<first><x/></first><second/>"));
    EXPECT_EQ(document.rootElement()->tagName(), "second");
    EXPECT_EQ(document.made, 3);
    EXPECT_NE(dynamic_cast<TypedElement *>(document.rootElement()), nullptr);
}

TEST(XMLReader, StreamAndFileSkipTheByteOrderMark) {
    const std::string text = "<?xml version=\"1.0\"?>\n<a k=\"\xc3\xa9\"/>";
    QTemporaryDir dir;
    std::string path = tempPath(dir, "bom.xml");
    writeFileBytes(path, "\xEF\xBB\xBF" + text);
    XMLDocument fromFile(true), fromStream(true), plain(true);
    ASSERT_TRUE(fromFile.parseFile(path)) << fromFile.errorText();
    std::istringstream in("\xEF\xBB\xBF" + text);
    ASSERT_TRUE(fromStream.parse(in));
    ASSERT_TRUE(plain.parse(text));
    EXPECT_EQ(written(fromFile), written(plain));
    EXPECT_EQ(written(fromStream), written(plain));
    EXPECT_EQ(fromFile.version(), "1.0");
}

TEST(XMLReader, ReaderLeavesTheFactoryDocumentAlone) {
    // The preprocessor reads include files this way and splices their root in.
    TypedDocument document;
    ASSERT_TRUE(document.parse("<!DOCTYPE Main><main/>"));
    XMLReader reader(document);
    ASSERT_TRUE(reader.parse("<!DOCTYPE Inc><inc a='1'/>"));
    std::unique_ptr<XMLElement> included = reader.takeRoot();
    EXPECT_EQ(reader.documentType(), "Inc");
    EXPECT_EQ(document.documentType(), "Main");
    EXPECT_EQ(document.rootElement()->tagName(), "main");
    EXPECT_NE(dynamic_cast<TypedElement *>(included.get()), nullptr);
}

TEST(XMLDocumentTypeProbe, FindsTheNameOrNothing) {
    QTemporaryDir dir;
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE  Board_Memory_Definition_File>\n<Root/>",
         "Board_Memory_Definition_File"},
        {"<!DOCTYPE Palindor_Project_File [", "Palindor_Project_File"},
        {"<!-- c --><!DOCTYPE X>", std::nullopt},
        {"<Root/>", std::nullopt},
        {"<!DOCTYPE\tX>", std::nullopt},
        {std::string(1100, ' ') + "<!DOCTYPE X>", std::nullopt},
        {"", std::nullopt},
    };
    int n = 0;
    for (const auto &[text, type] : cases) {
        std::string path = tempPath(dir, "probe") + std::to_string(n++);
        writeFileBytes(path, text);
        EXPECT_EQ(probeXMLDocumentType(path), type) << text;
    }
    EXPECT_EQ(probeXMLDocumentType(tempPath(dir, "missing")), std::nullopt);
}

TEST(XMLPP2Warnings, DefaultGoesToStandardErrorAndSubclassesTakeOver) {
    XMLPP2 plain;
    testing::internal::CaptureStderr();
    plain.reportWarning("one condition required");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: one condition required\n");

    struct Collecting : XMLPP2 {
        void reportWarning(const std::string &message) override { messages.push_back(message); }
        std::vector<std::string> messages;
    } document;
    static_cast<XMLPP2 &>(document).reportWarning("x");
    EXPECT_EQ(document.messages, std::vector<std::string>{"x"});
}
