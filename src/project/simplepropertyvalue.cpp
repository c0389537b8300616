#include "project/simplepropertyvalue.h"

std::unique_ptr<PropertyValue> SimplePropertyValue::clone() const {
    return std::make_unique<SimplePropertyValue>(*this);
}

std::unique_ptr<PropertyValue> DynamicFolderPropertyValue::clone() const {
    return std::make_unique<DynamicFolderPropertyValue>(*this);
}

std::unique_ptr<PropertyValue> BreakpointPropertyValue::clone() const {
    return std::make_unique<BreakpointPropertyValue>(*this);
}

std::unique_ptr<PropertyValue> ChooseInfoPropertyValue::clone() const {
    return std::make_unique<ChooseInfoPropertyValue>(*this);
}
