#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

class XMLNode;

// Pretty-prints nodes to a stream: `indentation` blanks per level (0 also drops the newlines
// between elements) and, when `wrapWidth` is not 0, every attribute of an element on a line
// of its own once the element's attributes would pass that column. Output is buffered and
// handed to the stream in large blocks; the destructor flushes.
//
// Text is escaped byte by byte: the markup characters as entities, printable ASCII and valid
// UTF-8 sequences as themselves, and every other byte (controls, bytes outside a valid UTF-8
// sequence) as "&#x%x;". Elements with text children are written without indentation inside.
class XMLWriter {
public:
    XMLWriter(std::ostream &out, unsigned indentation, unsigned wrapWidth);
    ~XMLWriter();

    // `<?xml  version="..." encoding="..." ?>` when either is set.
    void writeDeclaration(const std::optional<std::string> &version,
                          const std::optional<std::string> &encoding);
    void writeDocumentType(std::string_view name);
    // The node and everything below it, as at nesting `level`.
    void writeNode(const XMLNode &node, unsigned level = 0);
    void flush();

    static void appendEscaped(std::string &out, std::string_view text);

private:
    void indent(unsigned level, unsigned width);
    void openElement(const XMLNode &node, unsigned level, bool flat);
    void spill();

    std::ostream &m_out;
    unsigned m_indentation;
    unsigned m_wrapWidth;
    std::string m_buffer;
};
