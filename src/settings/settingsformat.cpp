#include "settings/settingsformat.h"

#include "xml/xmldata.h"
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"

namespace {

constexpr std::string_view kOldMiddleDot = "&middot;";
constexpr std::string_view kMiddleDot = "\xc2\xb7";

// The file's bytes with each "&middot;" replaced. Done before parsing, on the raw text, so
// that an escaped "&amp;middot;" (a value holding the text "&middot;") stays as it is.
std::string withMiddleDots(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(kOldMiddleDot, from)) != std::string_view::npos;
         from = at + kOldMiddleDot.size()) {
        out.append(text.substr(from, at - from));
        out.append(kMiddleDot);
    }
    out.append(text.substr(from));
    return out;
}

// The element's own text: its character data and CDATA sections in order.
std::string textOf(const XMLElement &element) {
    std::string text;
    for (const XMLNode *child = element.firstChild(); child; child = child->nextSibling()) {
        if (child->type() == XMLNodeType::Data)
            text += static_cast<const XMLData *>(child)->data();
        else if (child->type() == XMLNodeType::CDATASection)
            text += static_cast<const XMLCDATASection *>(child)->CDATASection();
    }
    return text;
}

QString fromBytes(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

std::string escapeSettingText(const QString &text, bool attribute) {
    const QByteArray bytes = text.toUtf8();
    std::string out;
    out.reserve(std::size_t(bytes.size()) + 16);
    for (char c : bytes) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\n':
            out += attribute ? "&#10;" : "\n";
            break;
        case '\t':
            out += attribute ? "&#9;" : "\t";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

void appendSettingLine(std::string &out, const QString &name, const QString &value) {
    out += "  <setting name=\"";
    out += escapeSettingText(name, true);
    out += "\">";
    out += escapeSettingText(value, false);
    out += "</setting>\n";
}

bool parseSettingsText(std::string_view text, std::map<QString, QString> &entries, QString &error) {
    XMLDocument document(true);
    const bool parsed = text.find(kOldMiddleDot) == std::string_view::npos
                            ? document.parse(text)
                            : document.parse(std::string_view(withMiddleDots(text)));
    if (!parsed) {
        // Lines counted from 1, as editors show them.
        error = QStringLiteral("%1 on line %2")
                    .arg(fromBytes(document.errorText()))
                    .arg(document.errorLine() + 1);
        return false;
    }
    std::map<QString, QString> found;
    const XMLElement *root = document.rootElement();
    for (const XMLNode *node = root; node; node = node->nextInTree(root)) {
        const XMLElement *element = node->toElement();
        if (!element || element->tagName() != "setting")
            continue;
        found[fromBytes(element->attributeOr("name"))] = fromBytes(textOf(*element));
    }
    entries = std::move(found);
    return true;
}
