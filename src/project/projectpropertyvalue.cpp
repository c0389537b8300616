#include "project/projectpropertyvalue.h"

#include "core/namevaluelist.h"
#include "project/configurations.h"
#include "project/projectelement.h"
#include "project/propertyclass.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"
#include "project/propertysetter.h"
#include "project/propertyvaluegroupclass.h"

namespace {

ProjectElement *elementOf(PropertyNode &node) {
    return dynamic_cast<ProjectElement *>(&node);
}

std::string joined(const std::vector<std::string> &items) {
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : ";") + item;
    return text;
}

// Makes each listed configuration of the node's solution public or private.
void markConfigurations(PropertyNode &node, const std::string &text, bool hidden) {
    ProjectElement *element = elementOf(node);
    ProjectElement *solution = element ? element->solution() : nullptr;
    if (!solution)
        return;
    for (const std::string &name : splitEscapedList(text)) {
        if (name == PropertyResolver::kCommon)
            continue;
        ProjectElement *child = solution->configurationOrCreate(name);
        if (hidden)
            child->setAttribute("hidden", "Yes");
        else
            child->removeAttribute("hidden");
    }
    solution->setModified(true);
    solution->setChanged(true);
}

std::string listedConfigurations(PropertyNode &node, unsigned mask) {
    ProjectElement *element = elementOf(node);
    ProjectElement *solution = element ? element->solution() : nullptr;
    return solution ? joined(Configurations::list(*solution, mask)) : std::string();
}

} // namespace

std::unique_ptr<ProjectPropertyValue> ProjectPropertyValue::create(const PropertyClass *definition,
                                                                   PropertySetter &setter,
                                                                   PropertyNode &node,
                                                                   std::string configuration) {
    const std::string name = definition ? definition->name() : std::string();
    if (dynamic_cast<const PropertyValueGroupClass *>(definition))
        return std::make_unique<PropertyValueGroupValue>(definition, setter, node,
                                                         std::move(configuration));
    if (name == "public_configurations")
        return std::make_unique<PublicConfigurationsProjectPropertyValue>(definition, setter, node,
                                                                          std::move(configuration));
    if (name == "private_configurations")
        return std::make_unique<PrivateConfigurationsProjectPropertyValue>(
            definition, setter, node, std::move(configuration));
    if (name == "inherited_configurations")
        return std::make_unique<InheritedConfigurationsProjectPropertyValue>(
            definition, setter, node, std::move(configuration));
    return std::make_unique<ProjectPropertyValue>(definition, setter, node,
                                                  std::move(configuration));
}

std::unique_ptr<PropertyValue> ProjectPropertyValue::clone() const {
    return std::make_unique<ProjectPropertyValue>(*this);
}

bool ProjectPropertyValue::isModifiable() const {
    const ProjectElement *element = elementOf(m_node);
    return !element || element->isEditable();
}

void ProjectPropertyValue::setValue(const std::string &text) {
    if (propertyClass())
        m_setter.setWithBuddy(m_node, *propertyClass(), m_configuration, text);
}

std::string ProjectPropertyValue::value() const {
    const PropertyClass *definition = propertyClass();
    if (!definition)
        return {};
    const ProjectElement *element = elementOf(m_node);
    if (definition->type() == PropertyType::StringList || !element)
        return m_node.storedValue(m_configuration, definition->name()).value_or("");
    return PropertyResolver::resolve(*element, *definition, m_configuration);
}

std::unique_ptr<PropertyValue> PublicConfigurationsProjectPropertyValue::clone() const {
    return std::make_unique<PublicConfigurationsProjectPropertyValue>(*this);
}

void PublicConfigurationsProjectPropertyValue::setValue(const std::string &text) {
    markConfigurations(node(), text, false);
}

std::string PublicConfigurationsProjectPropertyValue::value() const {
    return listedConfigurations(node(), Configurations::Public);
}

std::unique_ptr<PropertyValue> PrivateConfigurationsProjectPropertyValue::clone() const {
    return std::make_unique<PrivateConfigurationsProjectPropertyValue>(*this);
}

void PrivateConfigurationsProjectPropertyValue::setValue(const std::string &text) {
    markConfigurations(node(), text, true);
}

std::string PrivateConfigurationsProjectPropertyValue::value() const {
    return listedConfigurations(node(), Configurations::Private);
}

std::unique_ptr<PropertyValue> InheritedConfigurationsProjectPropertyValue::clone() const {
    return std::make_unique<InheritedConfigurationsProjectPropertyValue>(*this);
}

void InheritedConfigurationsProjectPropertyValue::setValue(const std::string &text) {
    ProjectElement *element = elementOf(node());
    if (ProjectElement *solution = element ? element->solution() : nullptr)
        Configurations::setInherited(*solution, configuration(), splitEscapedList(text));
}

std::string InheritedConfigurationsProjectPropertyValue::value() const {
    const ProjectElement *element = elementOf(node());
    const ProjectElement *solution = element ? element->solution() : nullptr;
    if (!solution)
        return {};
    const auto &map = solution->inheritedConfigurations();
    auto found = map.find(configuration());
    return found == map.end() ? std::string() : joined(found->second);
}

std::unique_ptr<PropertyValue> PropertyValueGroupValue::clone() const {
    return std::make_unique<PropertyValueGroupValue>(*this);
}

void PropertyValueGroupValue::setValue(const std::string &text) {
    const auto *group = static_cast<const PropertyValueGroupClass *>(propertyClass());
    setter().set(node(), *group, configuration(), text);
    const PropertyValueGroupClass::Entry *entry = group->entry(text);
    if (!entry)
        return;
    for (const auto &[name, value] : entry->values) {
        if (const PropertyClass *definition = setter().registry().findPropertyClass(&node(), name))
            setter().set(node(), *definition, configuration(), value);
        else
            node().storeValue(configuration(), name, value);
    }
}
