#include "project/macropropertyclass.h"

MacroPropertyClass::MacroPropertyClass(const std::string &macroName, bool system,
                                       const std::string &description)
    : PropertyClass("$(" + macroName + ")", PropertyType::String), m_macroName(macroName) {
    setShortText(name());
    setLongText(description);
    setPage("Properties");
    setGroup(system ? kSystemGroup : kBuildGroup);
}
