#include "xml/xmldocument.h"

#include "core/regularfile.h"

#include "xml/xmlelement.h"
#include "xml/xmlreader.h"
#include "xml/xmlwriter.h"

#include <cstdio>
#include <fstream>

#include <sys/stat.h>

XMLDocument::XMLDocument(bool keepContent) : m_keepContent(keepContent) {}

XMLDocument::~XMLDocument() = default;

std::unique_ptr<XMLElement> XMLDocument::mkXMLElement(std::string_view name) {
    return std::make_unique<XMLElement>(name);
}

void XMLDocument::setRootElement(std::unique_ptr<XMLElement> root) {
    m_root = std::move(root);
}

std::unique_ptr<XMLElement> XMLDocument::takeRootElement() {
    return std::move(m_root);
}

bool XMLDocument::adopt(XMLReader &reader, bool ok) {
    m_root = reader.takeRoot();
    m_documentType = reader.documentType();
    m_version = reader.version();
    m_encoding = reader.encoding();
    m_errorText = reader.errorText();
    m_errorLine = reader.errorLine();
    return ok;
}

// The old tree goes first, so that reloading a large document does not hold two at once.
bool XMLDocument::parse(std::string_view text) {
    m_root.reset();
    XMLReader reader(*this);
    return adopt(reader, reader.parse(text));
}

bool XMLDocument::parse(std::istream &in) {
    m_root.reset();
    XMLReader reader(*this);
    return adopt(reader, reader.parse(in));
}

bool XMLDocument::parseFile(const std::string &path) {
    m_root.reset();
    XMLReader reader(*this);
    return adopt(reader, reader.parseFile(path));
}

void XMLDocument::writeTo(std::ostream &out, unsigned wrapWidth) const {
    XMLWriter writer(out, m_indentation, wrapWidth);
    writer.writeDeclaration(m_version, m_encoding);
    if (m_documentType)
        writer.writeDocumentType(*m_documentType);
    if (m_root)
        writer.writeNode(*m_root);
}

void XMLDocument::write(std::ostream &out, unsigned indentation, unsigned wrapWidth) {
    m_indentation = indentation;
    m_wrapWidth = wrapWidth;
    writeTo(out, wrapWidth);
}

bool XMLDocument::writeFile(const std::string &path) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out) {
            writeTo(out, 0);
            out.close();
            if (out) {
                m_errorText.clear();
                m_errorLine = 0;
                return true;
            }
            // Only a regular file of ours: never unlink a device or a pipe named as output.
            struct stat status;
            if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
                std::remove(path.c_str());
        }
    }
    m_errorText = "couldn't write " + path;
    m_errorLine = 0;
    return false;
}

std::optional<std::string> probeXMLDocumentType(const std::string &path) {
    std::string head;
    if (readRegularFileHead(path, head, 1024) != RegularFileStatus::Ok)
        return std::nullopt;
    std::string_view text(head);

    std::size_t at = text.find('<');
    while (at != std::string_view::npos && at + 1 < text.size() && text[at + 1] == '?')
        at = text.find('<', at + 1);
    if (at == std::string_view::npos || text.substr(at + 1, 9) != "!DOCTYPE ")
        return std::nullopt;
    at += 10;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    auto isNameChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    };
    while (at < text.size() && isSpace(text[at]))
        ++at;
    std::size_t end = at;
    while (end < text.size() && isNameChar(text[end]))
        ++end;
    if (end == at)
        return std::nullopt;
    return std::string(text.substr(at, end - at));
}
