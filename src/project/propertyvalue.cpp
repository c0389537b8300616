#include "project/propertyvalue.h"

#include "project/propertyclass.h"

PropertyValue::~PropertyValue() = default;

std::string PropertyValue::help() const {
    return m_class ? m_class->help() : std::string();
}

PropertyValue *PropertyValueList::find(std::string_view name) const {
    for (const std::unique_ptr<PropertyValue> &value : m_values)
        if (value->propertyClass() && value->propertyClass()->name() == name)
            return value.get();
    return nullptr;
}
