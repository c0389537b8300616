#pragma once

#include "xml/xmldocument.h"
#include "xml/xmlelement.h"
#include "xml/xmlwriter.h"

#include <gtest/gtest.h>

#include <sstream>

// A typed document as the memory map makes one: its own element class through the factory.
class TypedElement : public XMLElement {
public:
    using XMLElement::XMLElement;
};

class TypedDocument : public XMLDocument {
public:
    using XMLDocument::XMLDocument;
    std::unique_ptr<XMLElement> mkXMLElement(std::string_view name) override {
        ++made;
        return std::make_unique<TypedElement>(name);
    }
    int made = 0;
};

inline std::string written(const XMLNode &node, unsigned indentation = 0, unsigned wrap = 0) {
    std::ostringstream out;
    XMLWriter(out, indentation, wrap).writeNode(node);
    return out.str();
}

inline std::string written(XMLDocument &document, unsigned indentation = 2, unsigned wrap = 75) {
    std::ostringstream out;
    document.write(out, indentation, wrap);
    return out.str();
}
