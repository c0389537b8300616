#include "project/projectelement.h"

#include "core/hexception.h"
#include "core/namevaluelist.h"
#include "project/propertyresolver.h"

#include <set>
#include <typeinfo>

namespace {

constexpr const char *kKindTags[] = {"solution", "configuration", "project", "folder", "file"};

} // namespace

ProjectElement::ProjectElement(std::string_view tagName)
    : XMLElement(tagName), m_kind(kindOfTag(tagName)) {}

ProjectElement::~ProjectElement() = default;

PropertyNode::Kind ProjectElement::kindOfTag(std::string_view tagName) {
    for (int kind = 0; kind < 5; ++kind)
        if (tagName == kKindTags[kind])
            return static_cast<Kind>(kind);
    return Unknown;
}

const char *ProjectElement::tagOfKind(Kind kind) {
    const int index = static_cast<int>(kind);
    return index >= 0 && index < 5 ? kKindTags[index] : "";
}

ProjectElement *ProjectElement::from(XMLNode *node) {
    return const_cast<ProjectElement *>(from(static_cast<const XMLNode *>(node)));
}

const ProjectElement *ProjectElement::from(const XMLNode *node) {
    // Nearly every node asked about is a project element itself: comparing the type is a
    // fraction of a dynamic_cast, which a build with nothing to do makes 13,000 times.
    if (node && typeid(*node) == typeid(ProjectElement))
        return static_cast<const ProjectElement *>(node);
    return dynamic_cast<const ProjectElement *>(node);
}

void ProjectElement::setTagName(std::string_view tagName) {
    XMLElement::setTagName(tagName);
    m_kind = kindOfTag(tagName);
}

void ProjectElement::setAttribute(std::string_view name, XMLValue value) {
    XMLElement::setAttribute(name, value);
    if (m_kind != Kind::Configuration)
        return;
    if (name == "Name" || name == "inherited_configurations")
        childConfigurationChanged();
    else if (ProjectElement *owner = parentElement())
        owner->invalidateCaches();
}

void ProjectElement::setAttributes(const XMLAttributeList &attributes) {
    for (const XMLAttribute &attribute : attributes)
        setAttribute(attribute.name, attribute.value);
}

void ProjectElement::removeAttribute(std::string_view name) {
    XMLElement::removeAttribute(name);
    if (m_kind == Kind::Configuration && (name == "Name" || name == "inherited_configurations"))
        childConfigurationChanged();
}

void ProjectElement::childConfigurationChanged() {
    // The reader links elements before it sets their attributes: parents that never built
    // their maps build them once the tree is complete, not once per configuration child.
    ProjectElement *owner = parentElement();
    if (owner && owner->m_mapsBuilt) {
        owner->rebuildDerivedMaps();
        owner->invalidateCaches();
    }
}

void ProjectElement::invalidateCaches() {
    m_valueCache.clear();
}

std::vector<std::string> ProjectElement::rebuildDerivedMaps() {
    m_configurations.clear();
    m_inherited.clear();
    m_mapsBuilt = true;
    std::vector<std::string> duplicates;
    for (XMLNode *child = firstChild(); child; child = child->nextSibling()) {
        ProjectElement *element = from(child);
        if (!element || element->m_kind != Kind::Configuration)
            continue;
        const char *name = element->getAttribute("Name");
        if (!name)
            continue;
        if (!m_configurations.emplace(name, element).second) {
            duplicates.emplace_back(name);
            continue;
        }
        if (m_kind == Kind::Solution) {
            if (const char *list = element->getAttribute("inherited_configurations"))
                m_inherited.emplace(name, splitEscapedList(list));
        }
    }
    return duplicates;
}

ProjectElement *ProjectElement::nearest(Kind kind) const {
    for (XMLNode *node = const_cast<ProjectElement *>(this); node; node = node->parent()) {
        ProjectElement *element = from(node);
        if (element && element->m_kind == kind)
            return element;
    }
    return nullptr;
}

ProjectElement *ProjectElement::configuration(std::string_view name) const {
    auto found = m_configurations.find(name);
    return found == m_configurations.end() ? nullptr : found->second;
}

ProjectElement *ProjectElement::configurationOrCreate(const std::string &name) {
    if (!m_mapsBuilt)
        rebuildDerivedMaps();
    if (ProjectElement *existing = configuration(name))
        return existing;
    auto child = std::make_unique<ProjectElement>("configuration");
    ProjectElement *added = child.get();
    // Configuration children go before the other children, as sorted saves write them.
    XMLNode *after = nullptr;
    for (XMLNode *node = firstChild(); node; node = node->nextSibling()) {
        const ProjectElement *element = from(node);
        if (!element || element->m_kind != Kind::Configuration)
            break;
        after = node;
    }
    insertChildren(after, std::move(child));
    added->setAttribute("Name", name);
    return added;
}

std::string ProjectElement::displayName() const {
    return attributeOr(m_kind == Kind::File ? "file_name" : "Name");
}

std::string ProjectElement::projectType() const {
    const ProjectElement *owner = nearest(Kind::Project);
    if (!owner)
        return {};
    return owner->storedValue("Common", "project_type").value_or("");
}

std::optional<std::string> ProjectElement::storedValue(const std::string &configuration,
                                                       std::string_view name) const {
    // Identity attributes belong to the node: every configuration child has a `Name` too.
    const ProjectElement *child = PropertyResolver::isIdentityAttribute(*this, name)
                                      ? this
                                      : this->configuration(configuration);
    if (!child)
        return std::nullopt;
    const auto attribute = child->getAttributeList().attribute(name);
    if (!attribute || attribute->value.isNull())
        return std::nullopt;
    return std::string(attribute->value.view());
}

void ProjectElement::storeValue(const std::string &configuration, std::string_view name,
                                const std::optional<std::string> &text) {
    if (!isEditable()) {
        const ProjectElement *source = solution();
        throw HException("solution " + (source ? source->cachedPath() : std::string()) +
                         " cannot be modified");
    }
    ProjectElement *holder = PropertyResolver::isIdentityAttribute(*this, name)
                                 ? this
                                 : configurationOrCreate(configuration);
    if (text)
        holder->setAttribute(name, *text);
    else if (holder == this)
        removeAttribute(name);
    else
        holder->setAttribute(name, XMLValue());
    m_changed = true;
}

void ProjectElement::projectMacrosChanged() {
    if (ProjectElement *owner = nearest(Kind::Project))
        owner->m_macroCache.clear();
}

bool ProjectElement::isEditable() const {
    for (const XMLNode *node = this; node; node = node->parent()) {
        const ProjectElement *element = from(node);
        if (element && element->m_imported && !element->m_canModify)
            return false;
    }
    return true;
}
