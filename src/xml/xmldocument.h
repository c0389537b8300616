#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class XMLElement;
class XMLReader;

// An XML document: an optional root element, the declaration's version and encoding, the
// document type name, and how it is written (indentation width and attribute wrap width).
// Typed documents derive from it (or from XMLPP2) and override mkXMLElement so that the
// reader and deep copies build their own element class.
//
// A failed parse leaves no root, and errorText() and errorLine() say why and where; callers
// compose their own message around them.
class XMLDocument {
public:
    // With `keepContent` the reader keeps character data and comments inside elements;
    // without it they are dropped (CDATA sections are always kept).
    explicit XMLDocument(bool keepContent = false);
    XMLDocument(const XMLDocument &) = delete;
    XMLDocument &operator=(const XMLDocument &) = delete;
    virtual ~XMLDocument();

    // The factory through which the reader creates every element.
    virtual std::unique_ptr<XMLElement> mkXMLElement(std::string_view name);

    bool keepContent() const { return m_keepContent; }

    unsigned indentation() const { return m_indentation; }
    void setIndentation(unsigned width) { m_indentation = width; }
    // 0 never wraps.
    unsigned wrapWidth() const { return m_wrapWidth; }
    void setWrapWidth(unsigned width) { m_wrapWidth = width; }

    const std::optional<std::string> &documentType() const { return m_documentType; }
    void setDocumentType(std::optional<std::string> name) { m_documentType = std::move(name); }
    const std::optional<std::string> &version() const { return m_version; }
    void setVersion(std::optional<std::string> version) { m_version = std::move(version); }
    const std::optional<std::string> &encoding() const { return m_encoding; }
    void setEncoding(std::optional<std::string> encoding) { m_encoding = std::move(encoding); }

    XMLElement *rootElement() const { return m_root.get(); }
    // Replaces (and destroys) the current root.
    void setRootElement(std::unique_ptr<XMLElement> root);
    std::unique_ptr<XMLElement> takeRootElement();

    const std::string &errorText() const { return m_errorText; }
    int errorLine() const { return m_errorLine; }

    // Each parse replaces the root, the document type, the version and the encoding with
    // what the input holds. See XMLReader for the three forms.
    bool parse(std::string_view text);
    // A NUL-terminated buffer; null reads as empty.
    bool parse(const char *text) { return parse(std::string_view(text ? text : "")); }
    bool parse(std::istream &in);
    bool parseFile(const std::string &path);

    // Writes the declaration, the DOCTYPE line and the root with the given widths, which
    // the document keeps.
    void write(std::ostream &out, unsigned indentation, unsigned wrapWidth);
    // Writes the file with the document's indentation and without attribute wrapping.
    // On failure ("couldn't write %s") no partial file is left behind.
    bool writeFile(const std::string &path);

private:
    bool adopt(XMLReader &reader, bool ok);
    void writeTo(std::ostream &out, unsigned wrapWidth) const;

    unsigned m_indentation = 2;
    unsigned m_wrapWidth = 75;
    bool m_keepContent;
    std::optional<std::string> m_documentType;
    std::optional<std::string> m_version;
    std::optional<std::string> m_encoding;
    std::unique_ptr<XMLElement> m_root;
    std::string m_errorText;
    int m_errorLine = 0;
};

// The document type named by the file's DOCTYPE declaration, found in its first 1024 bytes:
// the first "<" not followed by "?" must open "<!DOCTYPE ". Nothing when the file cannot be
// read or does not start that way. Lets callers tell file kinds apart before loading.
std::optional<std::string> probeXMLDocumentType(const std::string &path);
