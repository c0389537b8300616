#pragma once

#include "project/propertyvalue.h"

#include <functional>

class Settings;

// The value of an environment setting: read from and written to the environment settings
// store under a settings key (by default the definition's name, a path such as
// "Environment/Build/Building Threads"). A key the store does not hold reads as the
// definition's default. Writing changes the store only; its owner synchronizes the file.
class EnvironmentPropertyValue : public PropertyValue {
public:
    // Told after a write that changed what value() answers.
    using ChangedHandler = std::function<void(EnvironmentPropertyValue *)>;

    EnvironmentPropertyValue(const PropertyClass *definition, Settings &settings);
    EnvironmentPropertyValue(const PropertyClass *definition, Settings &settings, std::string key);

    std::unique_ptr<PropertyValue> clone() const override;
    void setValue(const std::string &text) override;
    std::string value() const override;

    const std::string &key() const { return m_key; }
    Settings &settings() const { return m_settings; }
    // Copies share the handler; one handler per value (a later call replaces it).
    void setChangedHandler(ChangedHandler handler) { m_changed = std::move(handler); }

private:
    Settings &m_settings;
    std::string m_key;
    ChangedHandler m_changed;
};
