#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class XMLDocument;
class XMLElement;

// The non-validating reader. It builds elements through the factory document's mkXMLElement
// and honours its keep-content flag, but leaves the document itself alone: XMLDocument::parse
// stores the results, and the preprocessor reads include files this way to splice their root
// into a document of the same class.
//
// One pass over the buffer with an explicit stack of open elements, so nesting depth is
// bounded by memory only. Input that ends inside a tag, comment, CDATA section or
// declaration, or while elements are still open, fails: a cut-off file never reads as a
// smaller valid one. So do the forms that would lose data silently: a second top-level
// element, an attribute without a value or given twice, an XML declaration that is not the
// first markup. Empty or white-space-only input succeeds without a root.
//
// Numeric character references give the UTF-8 encoding of their character, except that a
// run of references to 128-255 forming UTF-8 sequences is read as those bytes (the form
// earlier versions wrote). Processing instructions are skipped; a DOCTYPE keeps its name
// and skips its external identifier and internal subset.
class XMLReader {
public:
    explicit XMLReader(XMLDocument &factory);
    ~XMLReader();

    // Parses the bytes as they are (a NUL byte is an ordinary byte).
    bool parse(std::string_view text);
    // Reads the whole stream, skips a UTF-8 byte-order mark and parses the rest.
    bool parse(std::istream &in);
    // The same for a named regular file below the size cap (core/regularfile.h):
    // "couldn't read %s" (line 0) when it cannot be opened, followed by ": " and the reason
    // when it is no regular file or too large.
    bool parseFile(const std::string &path);

    // The element that closed last at top level after a successful parse, else null.
    std::unique_ptr<XMLElement> takeRoot();
    const std::optional<std::string> &documentType() const { return m_documentType; }
    const std::optional<std::string> &version() const { return m_version; }
    const std::optional<std::string> &encoding() const { return m_encoding; }
    // Why the last parse failed, and on which line (counted from 0); empty after success.
    const std::string &errorText() const { return m_errorText; }
    int errorLine() const { return m_errorLine; }

private:
    friend class XMLParser;
    // `ownBuffer`: the text is the reader's own copy, which the parse may discard as it goes.
    bool parse(std::string_view text, bool ownBuffer);
    bool fail(std::string text, int line);

    XMLDocument &m_factory;
    std::unique_ptr<XMLElement> m_root;
    std::optional<std::string> m_documentType;
    std::optional<std::string> m_version;
    std::optional<std::string> m_encoding;
    std::string m_errorText;
    int m_errorLine = 0;
};
