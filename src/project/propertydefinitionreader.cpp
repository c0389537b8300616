#include "project/propertydefinitionreader.h"

#include "core/hexception.h"
#include "core/namevaluelist.h"
#include "project/propertyregistry.h"
#include "xml/xmldocument.h"
#include "xml/xmlelement.h"

#include <fstream>

namespace {

std::string lineText(const XMLElement &element) {
    return " (line " + std::to_string(element.line() + 1) + ")";
}

std::vector<std::unique_ptr<GenericPropertyClass>>
readDocument(const PropertyDefinitionReader &reader, XMLDocument &document, bool ok,
             const std::string &where) {
    if (!ok)
        throw HException(where + ":" + std::to_string(document.errorLine() + 1) + ": " +
                         document.errorText());
    if (!document.rootElement())
        return {};
    return reader.read(*document.rootElement());
}

} // namespace

std::vector<std::unique_ptr<GenericPropertyClass>>
PropertyDefinitionReader::read(const XMLElement &root) const {
    std::vector<std::unique_ptr<GenericPropertyClass>> definitions;
    for (const XMLElement *element = root.firstChildElement(); element;
         element = element->nextSiblingElement()) {
        if (element->tagName() != "property") {
            if (m_warn)
                m_warn("element <" + element->tagName() + "> ignored" + lineText(*element));
            continue;
        }
        if (auto definition = readDefinition(*element))
            definitions.push_back(std::move(definition));
    }
    return definitions;
}

std::unique_ptr<GenericPropertyClass>
PropertyDefinitionReader::readDefinition(const XMLElement &element) const {
    const std::string name = element.attributeOr("name");
    if (name.empty()) {
        if (m_warn)
            m_warn("property definition without a name ignored" + lineText(element));
        return nullptr;
    }
    // Without a "type" the definition keeps the initial Boolean; a type we do not know must
    // not turn a text property into a "No"/"Yes" flag.
    PropertyType type = PropertyType::Boolean;
    if (const char *typeText = element.getAttribute("type")) {
        if (auto known = propertyTypeFromName(typeText)) {
            type = *known;
        } else {
            type = PropertyType::String;
            if (m_warn)
                m_warn("property " + name + ": unknown type \"" + typeText + "\"; String is used");
        }
    }
    auto definition = std::make_unique<GenericPropertyClass>(name, type);
    definition->setPage(element.attributeOr("page"));
    definition->setGroup(element.attributeOr("group"));
    definition->setShortText(element.attributeOr("short"));
    definition->setLongText(element.attributeOr("long"));
    definition->setFilter(element.attributeOr("filter"));
    definition->setSpecialValue(element.attributeOr("specialvalue"));
    if (const char *defaultText = element.getAttribute("default"))
        definition->setDefaultValue(defaultText);
    for (std::string &entry : splitEscapedList(element.attributeOr("enumeration")))
        definition->addEntry(std::move(entry));

    const std::string prefix = "property " + name + ": ";
    auto number = [&](const char *attribute) -> std::uint32_t {
        const char *text = element.getAttribute(attribute);
        return text ? PropertyClass::parseUnsigned(text, prefix + attribute, m_warn) : 0;
    };
    const std::uint32_t minimum = number("minimum");
    const std::uint32_t maximum = number("maximum");
    const std::uint32_t step = number("singlestep");
    definition->setRange(minimum, maximum, step);
    if (const char *order = element.getAttribute("order"))
        definition->setOrder(PropertyClass::parseOrder(order, prefix + "order", m_warn));
    return definition;
}

std::vector<std::unique_ptr<GenericPropertyClass>>
PropertyDefinitionReader::readText(std::string_view text) const {
    XMLDocument document;
    const bool ok = document.parse(text);
    return readDocument(*this, document, ok, "property definitions");
}

std::vector<std::unique_ptr<GenericPropertyClass>>
PropertyDefinitionReader::readFile(const std::string &path) const {
    if (!std::ifstream(path))
        throw HException("couldn't read " + path);
    XMLDocument document;
    const bool ok = document.parseFile(path);
    return readDocument(*this, document, ok, path);
}

std::size_t PropertyDefinitionReader::registerFile(PropertyRegistry &registry,
                                                   const std::string &path) const {
    std::vector<std::unique_ptr<GenericPropertyClass>> definitions = readFile(path);
    for (std::unique_ptr<GenericPropertyClass> &definition : definitions)
        registry.add(std::move(definition));
    return definitions.size();
}
