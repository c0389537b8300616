#pragma once

#include "project/propertyclass.h"

// Documents one macro in property views: named and titled "$(Name)", a String on the
// "Properties" page, in "System Macro Values" or "(Build Macro Values)".
class MacroPropertyClass : public PropertyClass {
public:
    MacroPropertyClass(const std::string &macroName, bool system, const std::string &description);

    // The bare name, the key of the macro maps.
    const std::string &macroName() const { return m_macroName; }

    static constexpr const char *kSystemGroup = "System Macro Values";
    static constexpr const char *kBuildGroup = "(Build Macro Values)";

private:
    std::string m_macroName;
};
