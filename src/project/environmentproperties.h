#pragma once

#include "project/propertyclass.h"

class PropertyRegistry;

// The texts of the environment settings, keyed as the definitions ask for them:
// "<setting>.page", ".group", ".short", ".long", ".default", ".enumerates", ".suffix",
// ".minimum", ".maximum", ".singleStep", ".special".
class EnvironmentMessages : public PropertyStringProvider {
public:
    std::optional<std::string> message(std::string_view key) const override;
};

// Registers one definition per environment setting the program reads, its texts taken
// from PropertyClass::m_stringProvider (set to an EnvironmentMessages by the caller that
// owns it). Missing texts are reported through `warn`.
void registerEnvironmentProperties(PropertyRegistry &registry, const PropertyWarning &warn);
