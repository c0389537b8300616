#pragma once

#include "project/propertyvalue.h"

#include <string>

class PropertyNode;
class PropertySetter;

// A value stored on a project-tree node for one configuration. Setting it goes through the
// project system's set operation (history, modified flag, listeners, companion property);
// reading it is the resolution's business, which subclasses supply.
class ProjectPropertyValue : public PropertyValue {
public:
    ProjectPropertyValue(const PropertyClass *definition, PropertySetter &setter,
                         PropertyNode &node, std::string configuration)
        : PropertyValue(definition), m_setter(setter), m_node(node),
          m_configuration(std::move(configuration)) {}

    void setValue(const std::string &text) override;

    PropertySetter &setter() const { return m_setter; }
    PropertyNode &node() const { return m_node; }
    const std::string &configuration() const { return m_configuration; }

private:
    PropertySetter &m_setter;
    PropertyNode &m_node;
    std::string m_configuration;
};
