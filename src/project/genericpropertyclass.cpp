#include "project/genericpropertyclass.h"

std::vector<std::string> GenericPropertyClass::choices() const {
    if (m_entries.empty())
        return PropertyClass::choices();
    return m_entries;
}
