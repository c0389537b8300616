#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class PropertyClass;

// A property's value bound to its definition: a short-lived view made for an editor or a
// query. Where the text lives depends on the subclass.
class PropertyValue {
public:
    explicit PropertyValue(const PropertyClass *definition) : m_class(definition) {}
    PropertyValue(const PropertyValue &) = default;
    PropertyValue &operator=(const PropertyValue &) = delete;
    virtual ~PropertyValue();

    virtual std::unique_ptr<PropertyValue> clone() const = 0;
    // Editors show the value but do not offer to change it.
    virtual bool isReadOnly() const { return m_readOnly; }
    // Whether the place the value lives in may change (project values ask their node).
    virtual bool isModifiable() const { return true; }
    virtual std::string help() const;
    virtual void setValue(const std::string &text) = 0;
    virtual std::string value() const = 0;

    const PropertyClass *propertyClass() const { return m_class; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }

private:
    bool m_readOnly = false;
    const PropertyClass *m_class;
};

// The values a property view shows, in display order; the list owns them.
class PropertyValueList {
public:
    void append(std::unique_ptr<PropertyValue> value) { m_values.push_back(std::move(value)); }
    std::size_t size() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }
    PropertyValue &at(std::size_t index) const { return *m_values.at(index); }
    // The first value of the named property, or null.
    PropertyValue *find(std::string_view name) const;

    auto begin() const { return m_values.begin(); }
    auto end() const { return m_values.end(); }

private:
    std::vector<std::unique_ptr<PropertyValue>> m_values;
};
