// Our reader against python3's expat: over every XML fixture of the repository and over
// generated documents, both must read the same element tree, attributes and text. Other
// tools read the files users share with us (memory maps, placements, project files), so a
// difference is a file that means one thing to us and another to them.
//
// Where expat refuses a document our more lenient reader may accept it; that is not compared.
// Two differences are deliberate: a run of references to bytes 128-255 that forms UTF-8 is
// read as those bytes (as earlier versions wrote text), which generated documents avoid; and
// raw tabs and line breaks in attribute values stay as they are (expat makes them blanks),
// which both sides compare as blanks.

#include "xml/xmldata.h"
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"
#include "xml/xmlwriter.h"

#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDirIterator>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string hexed(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The tree in expattree.py's form: elements, attributes, and merged runs of text.
std::string canonical(const XMLElement &root) {
    std::string out;
    std::string text;
    auto flush = [&] {
        if (!text.empty())
            out += "T " + hexed(text) + "\n";
        text.clear();
    };
    const XMLNode *node = &root;
    for (;;) {
        if (node->isElement()) {
            flush();
            const XMLElement &element = *node->toElement();
            out += "E " + hexed(element.tagName()) + "\n";
            for (const XMLAttribute &attribute : element.getAttributeList()) {
                // expat normalises raw white space in values to blanks (see expattree.py).
                std::string value(attribute.value.view());
                std::replace_if(
                    value.begin(), value.end(),
                    [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
                out += "A " + hexed(attribute.name) + " " + hexed(value) + "\n";
            }
            if (node->firstChild()) {
                node = node->firstChild();
                continue;
            }
            out += "/\n";
        } else if (node->type() == XMLNodeType::Data) {
            text += static_cast<const XMLData *>(node)->data();
        } else if (node->type() == XMLNodeType::CDATASection) {
            text += static_cast<const XMLCDATASection *>(node)->CDATASection();
        }
        while (node != &root && !node->nextSibling()) {
            node = node->parent();
            flush();
            out += "/\n";
        }
        if (node == &root)
            return out;
        node = node->nextSibling();
    }
}

struct ExpatResult {
    bool ok = false;
    std::string tree; // or expat's message
};

// Runs expat over the files in one python3 process.
std::map<std::string, ExpatResult> readWithExpat(const std::vector<std::string> &files) {
    std::vector<std::string> arguments = {testDataPath("../xml/expattree.py")};
    arguments.insert(arguments.end(), files.begin(), files.end());
    ToolResult result = runTool("/usr/bin/env", [&] {
        std::vector<std::string> withInterpreter = {"python3"};
        withInterpreter.insert(withInterpreter.end(), arguments.begin(), arguments.end());
        return withInterpreter;
    }());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, ExpatResult> results;
    std::istringstream lines(result.out);
    ExpatResult *current = nullptr;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("== ")) {
            current = &results[line.substr(3)];
        } else if (current && line == "ok") {
            current->ok = true;
        } else if (current && line.starts_with("error ")) {
            current->tree = line.substr(6);
        } else if (current) {
            current->tree += line + "\n";
        }
    }
    return results;
}

class XMLExpat : public ScratchDirTest {
protected:
    // Compares every file expat accepts; returns how many were compared.
    int compare(const std::vector<std::string> &files) {
        std::map<std::string, ExpatResult> expat = readWithExpat(files);
        int compared = 0;
        for (const std::string &file : files) {
            const ExpatResult &theirs = expat[file];
            if (!theirs.ok)
                continue;
            XMLDocument document(true);
            if (!document.parseFile(file)) {
                ADD_FAILURE() << file << ": expat reads it, we fail with " << document.errorText()
                              << " on line " << document.errorLine() + 1 << "\n"
                              << readFileBytes(file);
                continue;
            }
            if (!document.rootElement()) {
                ADD_FAILURE() << file << ": expat reads a root, we read none";
                continue;
            }
            EXPECT_EQ(canonical(*document.rootElement()), theirs.tree) << file << "\n"
                                                                       << readFileBytes(file);
            ++compared;
        }
        return compared;
    }
};

TEST_F(XMLExpat, FixturesReadTheSame) {
    REQUIRE_TOOL("python3", "python3");
    std::vector<std::string> files;
    for (const char *dir : {"", "../../examples"}) {
        QDirIterator it(QString::fromStdString(testDataPath(dir)), {"*.xml"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.push_back(it.next().toStdString());
    }
    ASSERT_GT(files.size(), 50u);
    // A few fixtures are broken on purpose; nearly all must be compared.
    EXPECT_GT(compare(files), int(files.size()) * 3 / 4);
}

// Random documents in the forms real files use: names with dots, dashes, colons and
// non-ASCII letters; character and entity references; CDATA, comments, processing
// instructions, a DOCTYPE with an identifier or a subset; CRLF line ends.
class DocumentGenerator {
public:
    explicit DocumentGenerator(unsigned seed) : m_random(seed) {}

    std::string document() {
        std::string out;
        if (chance(2))
            out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        switch (pick(4)) {
        case 0:
            out += "<!DOCTYPE r SYSTEM \"urn:x:r.dtd\">\n";
            break;
        case 1:
            out += "<!DOCTYPE r PUBLIC \"-//X//Y//EN\" 'y.dtd' [\n<!-- ] -->\n<!ELEMENT r ANY>\n]>";
            break;
        case 2:
            out += "<?style sheet?>\r\n";
            break;
        }
        element(out, 0);
        if (chance(2))
            out += "\n<!-- after -->\n<?after pi?>\n";
        return out;
    }

private:
    bool chance(int n) { return pick(n) == 0; }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::string name() {
        static const char *const starts[] = {"a",  "Rule",        "x:y",
                                             "_u", "caf\xc3\xa9", "\xe4\xb8\xad"};
        static const char *const rests[] = {"", ".DataSource", "-b", "1", ".x.y", "\xc3\xa9", ":z"};
        return std::string(starts[pick(6)]) + rests[pick(7)];
    }

    // Text or attribute content; `attribute` keeps raw white space to blanks.
    std::string content(bool attribute, char quote) {
        static const char *const pieces[] = {"plain",
                                             " ",
                                             "&lt;",
                                             "&gt;",
                                             "&amp;",
                                             "&quot;",
                                             "&apos;",
                                             "&#233;x",
                                             "&#xE9;x",
                                             "&#xe9;x",
                                             "&#x20AC;",
                                             "&#8364;",
                                             "&#x1F600;",
                                             "&#65;",
                                             "&#x9;",
                                             "&#xa;",
                                             "&#xD;",
                                             "\xc3\xa9",
                                             "\xe2\x82\xac",
                                             "\xf0\x9f\x98\x80",
                                             ">",
                                             "]",
                                             "'",
                                             "\""};
        std::string out;
        for (int i = pick(6); i > 0; --i) {
            std::string piece = pieces[pick(24)];
            if (attribute && piece.size() == 1 && piece[0] == quote)
                continue;
            out += piece;
        }
        if (!attribute && chance(3))
            out += "\r\n  ";
        return out;
    }

    void element(std::string &out, int depth) {
        const std::string tag = name();
        out += "<" + tag;
        std::vector<std::string> used;
        for (int i = pick(4); i > 0; --i) {
            std::string attribute = name();
            if (std::find(used.begin(), used.end(), attribute) != used.end())
                continue;
            used.push_back(attribute);
            char quote = chance(2) ? '"' : '\'';
            out += (chance(2) ? " " : "\n  ") + attribute + (chance(3) ? " = " : "=") + quote +
                   content(true, quote) + quote;
        }
        if (depth > 3 || chance(4)) {
            out += "/>";
            return;
        }
        out += ">";
        for (int i = pick(5); i > 0; --i) {
            switch (pick(6)) {
            case 0:
                element(out, depth + 1);
                break;
            case 1:
                out += "<![CDATA[" + std::string(chance(2) ? "<raw> & ]" : "") + "]]>";
                break;
            case 2:
                out += chance(2) ? "<!-- note - x -->" : "<?pi data <b/> ?>";
                break;
            default:
                out += content(false, 0);
            }
        }
        out += "</" + tag + ">";
    }

    std::mt19937 m_random;
};

TEST_F(XMLExpat, GeneratedDocumentsReadTheSame) {
    REQUIRE_TOOL("python3", "python3");
    DocumentGenerator generator(20261206);
    std::vector<std::string> files;
    for (int i = 0; i < 300; ++i)
        files.push_back(write("generated" + std::to_string(i) + ".xml", generator.document()));
    EXPECT_EQ(compare(files), int(files.size())) << "expat refused generated documents";
}

// Runs of white space only, as indentation between elements adds them; the layout of an
// element without text is not its content.
std::string withoutBlankText(const std::string &tree) {
    std::istringstream lines(tree);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        bool blank = line.starts_with("T ");
        for (std::size_t i = 2; blank && i + 1 < line.size(); i += 2) {
            std::string byte = line.substr(i, 2);
            blank = byte == "20" || byte == "09" || byte == "0a" || byte == "0d";
        }
        if (!blank)
            out += line + "\n";
    }
    return out;
}

TEST_F(XMLExpat, WrittenDocumentsReadTheSame) {
    // What we write must mean the same to expat as to us: UTF-8 text as it is, references
    // for tabs and line breaks, no white space added inside mixed content (which the writer
    // tests pin exactly; here white-space runs are left out of the comparison).
    REQUIRE_TOOL("python3", "python3");
    DocumentGenerator generator(7);
    std::vector<std::string> files;
    std::vector<std::string> ours;
    for (int i = 0; i < 100; ++i) {
        XMLDocument document(true);
        ASSERT_TRUE(document.parse(generator.document())) << document.errorText();
        std::ostringstream text;
        document.write(text, 2, 75);
        files.push_back(write("written" + std::to_string(i) + ".xml", text.str()));
        ours.push_back(withoutBlankText(canonical(*document.rootElement())));
    }
    std::map<std::string, ExpatResult> expat = readWithExpat(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ExpatResult &theirs = expat[files[i]];
        ASSERT_TRUE(theirs.ok) << theirs.tree << "\n" << readFileBytes(files[i]);
        EXPECT_EQ(withoutBlankText(theirs.tree), ours[i]) << readFileBytes(files[i]);
    }
}

} // namespace
