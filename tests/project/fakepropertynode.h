#pragma once

#include "project/propertynode.h"

#include <map>
#include <string>

// A tree node for the property tests: configuration values in maps, a parent link for the
// enclosing project, and counters for what the set operation must trigger.
class FakePropertyNode : public PropertyNode {
public:
    explicit FakePropertyNode(Kind kind, FakePropertyNode *parent = nullptr,
                              std::string projectType = {})
        : m_kind(kind), m_parent(parent), m_projectType(std::move(projectType)) {}

    Kind kind() const override { return m_kind; }
    PropertyNode *project() const override {
        for (const FakePropertyNode *node = this; node; node = node->m_parent)
            if (node->m_kind == Kind::Project)
                return const_cast<FakePropertyNode *>(node);
        return nullptr;
    }
    std::string projectType() const override {
        const PropertyNode *owner = project();
        return owner ? static_cast<const FakePropertyNode *>(owner)->m_projectType : "";
    }
    std::optional<std::string> storedValue(const std::string &configuration,
                                           std::string_view name) const override {
        auto child = m_configurations.find(configuration);
        if (child == m_configurations.end())
            return std::nullopt;
        auto value = child->second.find(name);
        if (value == child->second.end())
            return std::nullopt;
        return value->second;
    }
    void storeValue(const std::string &configuration, std::string_view name,
                    const std::optional<std::string> &text) override {
        auto &values = m_configurations[configuration];
        if (text)
            values[std::string(name)] = *text;
        else
            values.erase(std::string(name));
    }
    bool isModified() const override { return m_modified; }
    void setModified(bool modified) override { m_modified = modified; }
    void projectMacrosChanged() override { ++m_macrosChanged; }

    std::map<std::string, std::map<std::string, std::string, std::less<>>> m_configurations;
    int m_macrosChanged = 0;
    bool m_modified = false;

private:
    Kind m_kind;
    FakePropertyNode *m_parent;
    std::string m_projectType;
};
