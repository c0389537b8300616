#pragma once

#include "project/propertyvalue.h"

// A value that keeps its own text (session values, dialog fields).
class SimplePropertyValue : public PropertyValue {
public:
    SimplePropertyValue(const PropertyClass *definition, std::string text = {})
        : PropertyValue(definition), m_text(std::move(text)) {}

    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override { m_text = text; }
    std::string value() const override { return m_text; }

private:
    std::string m_text;
};

// The values of the dynamic-folder, breakpoint and choose-information dialogs. They behave
// as simple values; their own classes let the dialogs tell their fields apart.
class DynamicFolderPropertyValue : public SimplePropertyValue {
public:
    using SimplePropertyValue::SimplePropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
};

class BreakpointPropertyValue : public SimplePropertyValue {
public:
    using SimplePropertyValue::SimplePropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
};

class ChooseInfoPropertyValue : public SimplePropertyValue {
public:
    using SimplePropertyValue::SimplePropertyValue;
    std::unique_ptr<PropertyValue> clone() const override;
};
