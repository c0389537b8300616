#include "xml/xmldata.h"
#include "xml/xmlpp2.h"
#include "xml/xmlreader.h"
#include "xmltesting.h"

#include "golden.h"

#include <QTemporaryDir>

#include <algorithm>
#include <sstream>

#include <sys/stat.h>

namespace {

struct Failure {
    std::string input;
    const char *error;
    int line;
};

template <std::size_t N> void expectFailures(const Failure (&cases)[N]) {
    for (const Failure &c : cases) {
        XMLDocument document(true);
        EXPECT_FALSE(document.parse(c.input)) << c.input;
        EXPECT_EQ(document.errorText(), c.error) << c.input;
        EXPECT_EQ(document.errorLine(), c.line) << c.input;
        EXPECT_EQ(document.rootElement(), nullptr) << c.input;
    }
}

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
        {"<!DOCTYPE a b><a/>", "bad DOCTYPE", 0},
        {"<!DOCTYPE>", "bad DOCTYPE", 0},
        {"<!DOCTYPE a SYSTEM><a/>", "bad DOCTYPE", 0},
        {"<!DOCTYPE a [ <!ENTITY x \"]>\"> ", "unexpected end of input in DOCTYPE", 0},
        {"<!DOCTYPE a PUBLIC \"p\" \"s", "unexpected end of input in DOCTYPE", 0},
        {"<a><?pi x", "unexpected end of input in processing instruction", 0},
        {"<?xml version=\"1.0\" 1?>", "bad XML declaration", 0},
        // A cut-off file never reads as a smaller, valid one.
        {"<Root>\n  <Register name=\"x\">\n    <BitField/>",
         "unexpected end of input in element Register", 1},
        {"<a><b>\n</b>", "unexpected end of input in element a", 0},
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
    expectFailures(cases);
}

// Input that other XML readers refuse and that would otherwise lose data silently.
TEST(XMLReaderErrors, NothingIsDroppedOrReplaced) {
    std::string many = "<a";
    for (int i = 0; i < 40; ++i)
        many += " n" + std::to_string(i) + "='" + std::to_string(i) + "'";
    const Failure cases[] = {
        // A second root would replace the first.
        {"<a><b/></a>\n<c/>", "junk after document element", 1},
        {"<a/><b>", "junk after document element", 0},
        // An attribute without a value would vanish, a repeated one keep only one value.
        {"<a b>", "attribute without value", 0},
        {"<a b/>", "attribute without value", 0},
        {"<a\n x=\"1\"\n x='2'/>", "duplicate attribute", 2},
        {many + " n39='again'/>", "duplicate attribute", 0},
        {many + " n0='again'/>", "duplicate attribute", 0},
        // A declaration in the content would overwrite the document's version.
        {"<a>\n<?xml version=\"2.0\"?></a>", "XML declaration not at start", 1},
        {"<?xml version=\"1.0\"?><?xml version=\"2.0\"?><a/>", "XML declaration not at start", 0},
        {"<!--c--><?xml version=\"1.0\"?><a/>", "XML declaration not at start", 0},
    };
    expectFailures(cases);
}

TEST(XMLReaderErrors, UnreadableFiles) {
    QTemporaryDir dir;
    XMLDocument document;
    std::string missing = tempPath(dir, "missing.xml");
    EXPECT_FALSE(document.parseFile(missing));
    EXPECT_EQ(document.errorText(), "couldn't read " + missing);
    EXPECT_EQ(document.errorLine(), 0);
}

TEST(XMLReaderErrors, OnlyRegularFilesAreRead) {
    QTemporaryDir dir;
    std::string pipe = tempPath(dir, "pipe.xml");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string &path : {pipe, std::string("/dev/zero"), dir.path().toStdString()}) {
        XMLDocument document;
        EXPECT_FALSE(document.parseFile(path));
        EXPECT_EQ(document.errorText(), "couldn't read " + path + ": not a regular file");
        EXPECT_EQ(document.errorLine(), 0);
    }
    EXPECT_EQ(probeXMLDocumentType(pipe), std::nullopt);
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
    ASSERT_TRUE(document.parse("<a x = '1'y=\"2\"\n z='it\"s'/>")) << document.errorText();
    EXPECT_EQ(written(*document.rootElement()), "<a x=\"1\" y=\"2\" z=\"it&quot;s\" />");
}

TEST(XMLReader, ReferencesGiveUTF8) {
    const std::pair<const char *, std::string> cases[] = {
        {"&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        {"&#65;&#x41;", "AA"},
        {"&#x20ac;&#8364;", "\xe2\x82\xac\xe2\x82\xac"},
        {"&#233;&#xe9;&#xE9;", "\xc3\xa9\xc3\xa9\xc3\xa9"},
        {"&#x1F600;", "\xf0\x9f\x98\x80"},
        {"&#xD;&#xa;&#x9;", "\r\n\t"},
        {"&#x141;", "\xc5\x81"},
        // Runs the byte-wise writer produced stay the bytes they were...
        {"&#xc3;&#xa9;", "\xc3\xa9"},
        {"&#xe2;&#x82;&#xac;x", "\xe2\x82\xac"
                                "x"},
        // ... but a value that completes no sequence is its own character.
        {"&#xc3;&#xa9;&#xe9;", "\xc3\xa9\xc3\xa9"},
        {"&#xe9;x&#xa9;", "\xc3\xa9x\xc2\xa9"},
        {"&#xe2;&#x82;", "\xc3\xa2\xc2\x82"},
        {"&#xed;&#xa0;&#x80;", "\xc3\xad\xc2\xa0\xc2\x80"}, // a surrogate is no UTF-8
        {"&#;&#x;", std::string("\0\0", 2)},
        // No character: the text stays as written.
        {"&#x110000;&#xd800;&#99999999999999999999;&#X41;",
         "&#x110000;&#xd800;&#99999999999999999999;&#X41;"},
        {"&foo; &lt &#12 &#x4g; &", "&foo; &lt &#12 &#x4g; &"},
    };
    for (const auto &[text, bytes] : cases) {
        XMLDocument document(true);
        ASSERT_TRUE(document.parse(std::string("<a v='") + text + "'>" + text + "</a>"));
        std::optional<XMLAttribute> value =
            document.rootElement()->getAttributeList().attribute("v");
        EXPECT_EQ(value->value.view(), bytes) << text;
        EXPECT_EQ(static_cast<const XMLData *>(document.rootElement()->firstChild())->data(), bytes)
            << text;
    }
}

TEST(XMLReader, NamesTakeDotsAndEveryByteAbove127) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("<debian.package><Rule.DataSource x.y='1' \xc3\xa9t\xc3\xa9='2'/>"
                               "<caf\xc3\xa9/></debian.package>"))
        << document.errorText();
    const XMLElement *rule = document.rootElement()->firstChildElement();
    EXPECT_EQ(rule->tagName(), "Rule.DataSource");
    EXPECT_STREQ(rule->getAttribute("x.y"), "1");
    EXPECT_STREQ(rule->getAttribute("\xc3\xa9t\xc3\xa9"), "2");
    EXPECT_EQ(rule->nextSibling()->toElement()->tagName(), "caf\xc3\xa9");
    EXPECT_FALSE(document.parse("<a .x='1'/>"));
    EXPECT_EQ(document.errorText(), "bad tagName");
}

TEST(XMLReader, ScansStopAtTheRightByteWhereverItFalls) {
    // Names and values are scanned a block of bytes at a time: every byte at every offset
    // within and past a block must end them exactly where the byte-wise rules say.
    auto nameByte = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == ':' || c == '-' || c == '.' || c >= 0x80;
    };
    const std::string padding(32, ' '); // so that blocks, not the byte-wise tail, see the end
    for (std::size_t length = 1; length <= 34; ++length) {
        for (int byte = 0; byte < 256; ++byte) {
            const std::string name = std::string(length, 'n') + char(byte) + "z";
            XMLDocument document;
            const bool whole = document.parse("<" + name + "/>" + padding) &&
                               document.rootElement()->tagName() == name;
            EXPECT_EQ(whole, nameByte(static_cast<unsigned char>(byte))) << length << " " << byte;
        }
        const std::string head(length, 'v');
        for (const auto &[text, value] :
             {std::pair<std::string, std::string>{"&amp;x", "&x"}, {"\nx", "\nx"}, {"'x", "'x"}}) {
            XMLDocument document;
            ASSERT_TRUE(document.parse("<a v=\"" + head + text + "\" w='1'/>" + padding)) << length;
            EXPECT_EQ(document.rootElement()->attributeOr("v"), head + value) << length;
            EXPECT_EQ(document.rootElement()->attributeOr("w"), "1") << length;
        }
    }
}

TEST(XMLReader, DocTypeIdentifiersAndSubsetsAreSkipped) {
    const char *inputs[] = {
        "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig/>",
        "<!DOCTYPE fontconfig PUBLIC '-//X//DTD Y//EN' \"http://example.org/y.dtd\" >\n"
        "<fontconfig/>",
        "<!DOCTYPE fontconfig [\n<!ENTITY x \"]>\">\n]>\n<fontconfig/>",
        "<!DOCTYPE fontconfig SYSTEM 'f.dtd' [ <!-- ] --> <?pi ]?> <!ATTLIST a b CDATA '>'> ]\n>"
        "\n<fontconfig/>",
    };
    for (const char *input : inputs) {
        XMLDocument document;
        ASSERT_TRUE(document.parse(input)) << input << ": " << document.errorText();
        EXPECT_EQ(document.documentType(), "fontconfig") << input;
        std::string_view text(input);
        auto lines = std::count(text.begin(), text.begin() + text.find("<fontconfig/>"), '\n');
        EXPECT_EQ(document.rootElement()->line(), lines) << input;
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

TEST(XMLReader, ProcessingInstructionsAreSkipped) {
    XMLDocument document(true);
    ASSERT_TRUE(document.parse("<?pi top?><a>x<?pi data?>y<?other\n<b/>?>z</a><?tail?>"))
        << document.errorText();
    std::string text;
    int elements = 0;
    for (const XMLNode *node = document.rootElement()->firstChild(); node;
         node = node->nextSibling()) {
        if (node->type() == XMLNodeType::Data)
            text += static_cast<const XMLData *>(node)->data();
        elements += node->isElement();
    }
    EXPECT_EQ(text, "xyz");
    EXPECT_EQ(elements, 0);
}

TEST(XMLReader, TheOneRootComesFromTheFactory) {
    TypedDocument document;
    ASSERT_TRUE(document.parse("<!-- before --><first><x/></first>\n<!-- after -->\n"));
    EXPECT_EQ(document.rootElement()->tagName(), "first");
    EXPECT_EQ(document.made, 2);
    EXPECT_NE(dynamic_cast<TypedElement *>(document.rootElement()), nullptr);
}

TEST(XMLReader, ABufferMayStartWithAByteOrderMark) {
    XMLDocument document;
    ASSERT_TRUE(document.parse("\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>")) << document.errorText();
    EXPECT_EQ(document.version(), "1.0");
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

// Files and streams are parsed from the reader's own copy, which it gives back to the system
// page by page as the parse passes it: nothing read later may come from the dropped part.
TEST(XMLReader, LargeFilesReadAsTheirText) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE Big>\n<root>\n";
    for (int i = 0; text.size() < 5u << 20; ++i) {
        // Elements, values with references, character data, comments and CDATA of every
        // length fall on the boundaries where pages are dropped.
        text += "  <item n=\"" + std::to_string(i) + "\" text='a&amp;b &#233; " +
                std::string(std::size_t(i % 97), 'x') + "'>" +
                std::string(std::size_t(i % 13), 'c') + "&lt;<!-- " +
                std::string(std::size_t(i % 211), '.') + " --><![CDATA[" +
                std::string(std::size_t(i % 7), ']') + "]]></item>\n";
    }
    text += "</root>\n";
    QTemporaryDir dir;
    std::string path = tempPath(dir, "big.xml");
    writeFileBytes(path, text);
    XMLDocument fromFile(true), fromStream(true), plain(true);
    ASSERT_TRUE(plain.parse(text)) << plain.errorText();
    ASSERT_TRUE(fromFile.parseFile(path)) << fromFile.errorText();
    std::istringstream in(text);
    ASSERT_TRUE(fromStream.parse(in)) << fromStream.errorText();
    const std::string expected = written(plain);
    EXPECT_EQ(written(fromFile), expected);
    EXPECT_EQ(written(fromStream), expected);
    EXPECT_EQ(fromFile.documentType(), "Big");

    // An error past the dropped part keeps its line.
    writeFileBytes(path, text.substr(0, text.size() - 8) + "</wrong>\n");
    XMLDocument broken;
    EXPECT_FALSE(broken.parseFile(path));
    EXPECT_EQ(broken.errorText(), "tagName mismatch");
    EXPECT_EQ(broken.errorLine(), std::count(text.begin(), text.end(), '\n') - 1);
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
