#include "xml/xmlelement.h"

#include "xml/xmldocument.h"

XMLElement::XMLElement(std::string_view tagName)
    : XMLNode(XMLNodeType::Element), m_tagName(tagName) {}

void XMLElement::setTagName(std::string_view tagName) {
    m_tagName = tagName;
}

const std::string &XMLElement::tagName() const {
    return m_tagName;
}

void XMLElement::setAttribute(std::string_view name, XMLValue value) {
    m_attributes.set(name, value);
}

void XMLElement::setAttributes(const XMLAttributeList &attributes) {
    if (m_attributes.empty()) {
        m_attributes = attributes;
        return;
    }
    for (const XMLAttribute &attribute : attributes)
        m_attributes.set(attribute.name, attribute.value);
}

void XMLElement::removeAttribute(std::string_view name) {
    m_attributes.remove(name);
}

bool XMLElement::hasAttribute(std::string_view name) const {
    return m_attributes.contains(name);
}

const char *XMLElement::getAttribute(std::string_view name) const {
    return m_attributes.get(name);
}

const XMLAttributeList &XMLElement::getAttributeList() const {
    return m_attributes;
}

std::string XMLElement::attributeOr(std::string_view name, std::string_view fallback) const {
    std::optional<XMLAttribute> found = m_attributes.attribute(name);
    if (!found || found->value.isNull())
        return std::string(fallback);
    return std::string(found->value.view());
}

std::unique_ptr<XMLNode> XMLElement::cloneNode(XMLDocument &factory) const {
    std::unique_ptr<XMLElement> copy = factory.mkXMLElement(m_tagName);
    copy->setAttributes(m_attributes);
    copy->setLine(line());
    return copy;
}
