#include "project/projectpropertyvalue.h"

#include "project/propertysetter.h"

void ProjectPropertyValue::setValue(const std::string &text) {
    if (propertyClass())
        m_setter.setWithBuddy(m_node, *propertyClass(), m_configuration, text);
}
