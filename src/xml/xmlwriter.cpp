#include "xml/xmlwriter.h"

#include "xml/xmldata.h"
#include "xml/xmlelement.h"
#include "xml/xmlutf8.h"

#include <array>
#include <ostream>

namespace {

constexpr std::size_t kSpillSize = 1 << 16;

constexpr std::array<bool, 256> makeNeedsEscape() {
    std::array<bool, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = c < 0x20 || c > 0x7e || c == '"' || c == '&' || c == '<' || c == '>';
    return table;
}
constexpr std::array<bool, 256> kNeedsEscape = makeNeedsEscape();

// Indentation inside an element with text would read back as changed text.
bool hasTextChild(const XMLNode &element) {
    for (const XMLNode *child = element.firstChild(); child; child = child->nextSibling()) {
        if (child->type() == XMLNodeType::Data || child->type() == XMLNodeType::CDATASection)
            return true;
    }
    return false;
}

} // namespace

XMLWriter::XMLWriter(std::ostream &out, unsigned indentation, unsigned wrapWidth)
    : m_out(out), m_indentation(indentation), m_wrapWidth(wrapWidth) {
    m_buffer.reserve(kSpillSize + 4096);
}

XMLWriter::~XMLWriter() {
    flush();
}

void XMLWriter::flush() {
    if (!m_buffer.empty())
        m_out.write(m_buffer.data(), std::streamsize(m_buffer.size()));
    m_buffer.clear();
}

void XMLWriter::spill() {
    if (m_buffer.size() >= kSpillSize)
        flush();
}

void XMLWriter::appendEscaped(std::string &out, std::string_view text) {
    static constexpr char digits[] = "0123456789abcdef";
    const char *p = text.data();
    const char *end = p + text.size();
    while (p < end) {
        const char *run = p;
        while (p < end && !kNeedsEscape[static_cast<unsigned char>(*p)])
            ++p;
        out.append(run, p);
        if (p == end)
            break;
        // Valid UTF-8 is written as it is, so that other programs read the same characters.
        const auto *bytes = reinterpret_cast<const unsigned char *>(p);
        if (std::size_t length = utf8SequenceLength(bytes, bytes + (end - p)); length > 1) {
            out.append(p, length);
            p += length;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(*p++);
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += "&#x";
            if (c >= 16)
                out += digits[c >> 4];
            out += digits[c & 15];
            out += ';';
        }
    }
}

void XMLWriter::writeDeclaration(const std::optional<std::string> &version,
                                 const std::optional<std::string> &encoding) {
    if (!version && !encoding)
        return;
    m_buffer += "<?xml ";
    if (version) {
        m_buffer += " version=\"";
        appendEscaped(m_buffer, *version);
        m_buffer += '"';
    }
    if (encoding) {
        m_buffer += " encoding=\"";
        appendEscaped(m_buffer, *encoding);
        m_buffer += '"';
    }
    m_buffer += " ?>\n";
}

void XMLWriter::writeDocumentType(std::string_view name) {
    m_buffer += "<!DOCTYPE ";
    m_buffer += name;
    m_buffer += ">\n";
}

void XMLWriter::indent(unsigned level, unsigned width) {
    m_buffer.append(std::size_t(level) * width, ' ');
}

void XMLWriter::openElement(const XMLNode &node, unsigned level, bool flat) {
    const XMLElement &element = *node.toElement();
    const XMLAttributeList &attributes = element.getAttributeList();
    unsigned width = flat ? 0 : m_indentation;
    m_buffer += '<';
    m_buffer += element.tagName();

    bool wrap = false;
    if (!flat && m_wrapWidth && attributes.size() > 1) {
        std::size_t sum = std::size_t(level) * width + 1 + element.tagName().size();
        for (const XMLAttribute &attribute : attributes) {
            sum += attribute.name.size() + attribute.value.size() + 4;
            if (sum > m_wrapWidth) {
                wrap = true;
                break;
            }
        }
    }
    for (const XMLAttribute &attribute : attributes) {
        if (wrap) {
            m_buffer += '\n';
            indent(level + 1, width);
        } else {
            m_buffer += ' ';
        }
        m_buffer += attribute.name;
        m_buffer += "=\"";
        appendEscaped(m_buffer, attribute.value.view());
        m_buffer += '"';
    }
    if (!node.firstChild()) {
        if (!attributes.empty())
            m_buffer += ' ';
        m_buffer += "/>";
        if (width)
            m_buffer += '\n';
    } else {
        m_buffer += '>';
    }
}

void XMLWriter::writeNode(const XMLNode &top, unsigned level) {
    // Depth-first through the links instead of recursion. An element with a text child holds
    // mixed content: it and everything below it are written flat (no indentation or
    // newlines), so the text reads back as it was and no child is lost.
    const XMLNode *node = &top;
    const XMLNode *flatRoot = nullptr;
    for (;;) {
        bool flat = flatRoot != nullptr;
        indent(level, flat ? 0 : m_indentation);
        switch (node->type()) {
        case XMLNodeType::Data:
            appendEscaped(m_buffer, static_cast<const XMLData *>(node)->data());
            break;
        case XMLNodeType::Comment:
            m_buffer += "<!--";
            m_buffer += static_cast<const XMLComment *>(node)->comment();
            m_buffer += "-->";
            break;
        case XMLNodeType::CDATASection:
            m_buffer += "<![CDATA[";
            m_buffer += static_cast<const XMLCDATASection *>(node)->CDATASection();
            m_buffer += "]]>";
            break;
        case XMLNodeType::Element:
            openElement(*node, level, flat);
            break;
        }
        spill();

        if (node->isElement() && node->firstChild()) {
            if (!flat && hasTextChild(*node))
                flatRoot = node;
            else if (!flat && m_indentation)
                m_buffer += '\n';
            node = node->firstChild();
            ++level;
            continue;
        }
        // Leave finished nodes, closing their parents, until one has a next sibling.
        while (node != &top && !node->nextSibling()) {
            node = node->parent();
            --level;
            bool closingFlat = flatRoot != nullptr;
            if (!closingFlat)
                indent(level, m_indentation);
            m_buffer += "</";
            m_buffer += node->toElement()->tagName();
            m_buffer += '>';
            if (node == flatRoot)
                flatRoot = nullptr;
            if (!flatRoot && m_indentation)
                m_buffer += '\n';
            spill();
        }
        if (node == &top)
            return;
        node = node->nextSibling();
    }
}
