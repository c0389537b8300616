#include "project/environmentpropertyvalue.h"

#include "project/propertyclass.h"
#include "settings/settings.h"

EnvironmentPropertyValue::EnvironmentPropertyValue(const PropertyClass *definition,
                                                   Settings &settings)
    : EnvironmentPropertyValue(definition, settings,
                               definition ? definition->name() : std::string()) {}

EnvironmentPropertyValue::EnvironmentPropertyValue(const PropertyClass *definition,
                                                   Settings &settings, std::string key)
    : PropertyValue(definition), m_settings(settings), m_key(std::move(key)) {}

std::unique_ptr<PropertyValue> EnvironmentPropertyValue::clone() const {
    return std::make_unique<EnvironmentPropertyValue>(*this);
}

void EnvironmentPropertyValue::setValue(const std::string &text) {
    if (m_key.empty())
        return;
    std::string before = value();
    m_settings.setValue(QString::fromStdString(m_key), QString::fromStdString(text));
    if (m_changed && value() != before)
        m_changed(this);
}

std::string EnvironmentPropertyValue::value() const {
    QString key = QString::fromStdString(m_key);
    if (!m_key.empty() && m_settings.contains(key))
        return m_settings.value(key).toStdString();
    return propertyClass() ? propertyClass()->defaultValue() : std::string();
}
