#include "project/propertyvaluegroupclass.h"

std::string PropertyValueGroupClass::Entry::key() const {
    return family.empty() ? name : name + "~~" + family;
}

PropertyValueGroupClass::PropertyValueGroupClass(std::string name)
    : PropertyClass(std::move(name), PropertyType::Enumeration) {}

std::vector<std::string> PropertyValueGroupClass::choices() const {
    std::vector<std::string> keys;
    keys.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        keys.push_back(entry.key());
    return keys;
}

const PropertyValueGroupClass::Entry *PropertyValueGroupClass::entry(std::string_view key) const {
    for (const Entry &entry : m_entries)
        if (entry.key() == key)
            return &entry;
    return nullptr;
}
