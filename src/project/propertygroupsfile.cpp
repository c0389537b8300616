#include "project/propertygroupsfile.h"

#include "core/hexception.h"
#include "project/macromap.h"
#include "project/propertyregistry.h"
#include "xml/xmlelement.h"
#include "xml/xmlpp.h"
#include "xml/xmlpp2.h"

#include <algorithm>
#include <fstream>

namespace {

// Routes the preprocessor's warnings to the caller.
class GroupsDocument : public XMLPP2 {
public:
    explicit GroupsDocument(const PropertyWarning &warn) : m_warn(warn) {}
    void reportWarning(const std::string &message) override {
        if (m_warn)
            m_warn(message);
    }

private:
    const PropertyWarning &m_warn;
};

void warnAt(const PropertyWarning &warn, const XMLElement &element, const std::string &text) {
    if (warn)
        warn(text + " (line " + std::to_string(element.line() + 1) + ")");
}

void readEntry(const XMLElement &element, PropertyValueGroupClass &group,
               const PropertyWarning &warn) {
    PropertyValueGroupClass::Entry entry;
    entry.name = element.attributeOr("name");
    entry.family = element.attributeOr("family");
    if (entry.name.empty()) {
        warnAt(warn, element, "group " + group.name() + ": entry without a name ignored");
        return;
    }
    if (group.entry(entry.key())) {
        warnAt(warn, element,
               "group " + group.name() + ": second entry " + entry.key() + " ignored");
        return;
    }
    for (const XMLElement *value = element.firstChildElement(); value;
         value = value->nextSiblingElement()) {
        const std::string name = value->attributeOr("name");
        if (value->tagName() != "property" || name.empty()) {
            warnAt(warn, *value,
                   "group " + group.name() + ": entry " + entry.key() + ": <" + value->tagName() +
                       "> without a property name ignored");
            continue;
        }
        entry.values.emplace_back(name, value->attributeOr("value"));
    }
    group.addEntry(std::move(entry));
}

} // namespace

std::vector<std::unique_ptr<PropertyValueGroupClass>>
PropertyGroupsFile::read(const XMLElement &root, const PropertyWarning &warn) {
    std::vector<std::unique_ptr<PropertyValueGroupClass>> groups;
    for (const XMLElement *element = root.firstChildElement(); element;
         element = element->nextSiblingElement()) {
        const std::string name = element->attributeOr("name");
        if (element->tagName() != "group" || name.empty()) {
            warnAt(warn, *element, "<" + element->tagName() + "> without a group name ignored");
            continue;
        }
        auto group = std::make_unique<PropertyValueGroupClass>(name);
        group->setPage(element->attributeOr("page", "General"));
        group->setGroup(element->attributeOr("group"));
        group->setShortText(element->attributeOr("short"));
        group->setLongText(element->attributeOr("long"));
        group->setDefaultValue(element->attributeOr("default"));
        if (const char *order = element->getAttribute("order"))
            group->setOrder(PropertyClass::parseOrder(order, "group " + name + ": order", warn));
        for (const XMLElement *child = element->firstChildElement(); child;
             child = child->nextSiblingElement()) {
            if (child->tagName() == "groupEntry")
                readEntry(*child, *group, warn);
            else
                warnAt(warn, *child, "group " + name + ": <" + child->tagName() + "> ignored");
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

namespace {

std::vector<std::unique_ptr<PropertyValueGroupClass>> readParsed(GroupsDocument &document, bool ok,
                                                                 const std::string &where,
                                                                 const PropertyWarning &warn) {
    if (!ok)
        throw HException(where + ":" + std::to_string(document.errorLine() + 1) + ": " +
                         document.errorText());
    if (document.rootElement())
        XmlPP::processConditionals(document, document.rootElement(), where, MacroMap(), true);
    if (!document.rootElement())
        return {};
    return PropertyGroupsFile::read(*document.rootElement(), warn);
}

} // namespace

std::vector<std::unique_ptr<PropertyValueGroupClass>>
PropertyGroupsFile::load(const std::string &path, const MacroExpander *macros,
                         const PropertyWarning &warn) {
    if (!std::ifstream(path))
        throw HException("couldn't read " + path);
    GroupsDocument document(warn);
    document.setMacroExpander(macros);
    const bool ok = document.parseFile(path);
    return readParsed(document, ok, path, warn);
}

std::vector<std::unique_ptr<PropertyValueGroupClass>>
PropertyGroupsFile::loadText(std::string_view text, const std::string &currentFile,
                             const MacroExpander *macros, const PropertyWarning &warn) {
    GroupsDocument document(warn);
    document.setMacroExpander(macros);
    const bool ok = document.parse(text);
    return readParsed(document, ok, currentFile, warn);
}

void PropertyGroupsFile::loadForProject(PropertyRegistry &registry, const PropertyNode *project,
                                        const std::string &path, const MacroExpander *macros,
                                        const PropertyWarning &warn) {
    registry.setPropertyGroups(project, load(path, macros, warn), warn);
}
