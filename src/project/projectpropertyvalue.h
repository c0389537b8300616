#pragma once

#include "project/propertyvalue.h"

#include <string>

class PropertyNode;
class PropertySetter;

// A value stored on a project-tree node for one configuration. Setting it goes through the
// project system's set operation (history, modified flag, listeners, companion property).
// Reading it resolves the value through the tree, except that a StringList reads only the
// text stored on this node for this configuration (the part a property view edits).
class ProjectPropertyValue : public PropertyValue {
public:
    ProjectPropertyValue(const PropertyClass *definition, PropertySetter &setter,
                         PropertyNode &node, std::string configuration)
        : PropertyValue(definition), m_setter(setter), m_node(node),
          m_configuration(std::move(configuration)) {}

    // The view that suits the definition: the configuration lists and property groups have
    // their own.
    static std::unique_ptr<ProjectPropertyValue> create(const PropertyClass *definition,
                                                        PropertySetter &setter, PropertyNode &node,
                                                        std::string configuration);

    std::unique_ptr<PropertyValue> clone() const override;
    bool isModifiable() const override;
    void setValue(const std::string &text) override;
    std::string value() const override;

    PropertySetter &setter() const { return m_setter; }
    PropertyNode &node() const { return m_node; }
    const std::string &configuration() const { return m_configuration; }

private:
    PropertySetter &m_setter;
    PropertyNode &m_node;
    std::string m_configuration;
};

// `public_configurations` / `private_configurations` of a solution: the sorted names, read
// only from the tree. Setting lists names that become public (private): each gets a
// configuration child on the solution, with `hidden` cleared (set). Names left out keep
// their children and values.
class PublicConfigurationsProjectPropertyValue : public ProjectPropertyValue {
public:
    using ProjectPropertyValue::ProjectPropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override;
    std::string value() const override;
};

class PrivateConfigurationsProjectPropertyValue : public ProjectPropertyValue {
public:
    using ProjectPropertyValue::ProjectPropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override;
    std::string value() const override;
};

// `inherited_configurations` of the value's configuration on the solution of the node.
class InheritedConfigurationsProjectPropertyValue : public ProjectPropertyValue {
public:
    using ProjectPropertyValue::ProjectPropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override;
    std::string value() const override;
};

// A property group's selection: choosing an entry stores its key and sets every property
// the entry lists on the same node and configuration.
class PropertyValueGroupValue : public ProjectPropertyValue {
public:
    using ProjectPropertyValue::ProjectPropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override;
};
