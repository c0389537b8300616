#pragma once

#include "xml/xmlattributelist.h"
#include "xml/xmlnode.h"

#include <string>

// An element: a tag name and attributes in insertion order, which is the order the writer
// uses. Typed documents derive their own element class and make the reader build it by
// overriding XMLDocument::mkXMLElement.
class XMLElement : public XMLNode {
public:
    explicit XMLElement(std::string_view tagName);

    virtual void setTagName(std::string_view tagName);
    virtual const std::string &tagName() const;

    // Sets the value of an existing name (keeping its position) or appends the pair at the
    // end. A null value (std::nullopt, a null pointer) differs from "".
    virtual void setAttribute(std::string_view name, XMLValue value);
    // Sets each attribute of the list in its order, as setAttribute would: how the reader and
    // copies hand an element its attributes, in one block when it has none yet.
    virtual void setAttributes(const XMLAttributeList &attributes);
    virtual void removeAttribute(std::string_view name);
    virtual bool hasAttribute(std::string_view name) const;
    // The value, NUL-terminated, or null when the attribute is absent or has no value.
    virtual const char *getAttribute(std::string_view name) const;
    virtual const XMLAttributeList &getAttributeList() const;
    std::size_t attributeCount() const { return m_attributes.size(); }
    // The value as text, or `fallback` when the attribute is absent or has no value.
    std::string attributeOr(std::string_view name, std::string_view fallback = {}) const;

    // Makes room for attributes whose names and values take about `bytes` bytes.
    void reserveAttributes(std::size_t bytes) { m_attributes.reserve(bytes); }

    // The copy comes from the factory's mkXMLElement and receives the attributes through
    // setAttributes, so subclasses see them as they would from the reader.
    std::unique_ptr<XMLNode> cloneNode(XMLDocument &factory) const override;

private:
    std::string m_tagName;
    XMLAttributeList m_attributes;
};
