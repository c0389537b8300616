#pragma once

#include "project/propertyclass.h"

// A definition read from an XML definitions file (packages, the generic options file). Its
// choices are the entries the file listed, in that order.
class GenericPropertyClass : public PropertyClass {
public:
    using PropertyClass::PropertyClass;

    std::vector<std::string> choices() const override;

    const std::vector<std::string> &entries() const { return m_entries; }
    void addEntry(std::string entry) { m_entries.push_back(std::move(entry)); }

private:
    std::vector<std::string> m_entries;
};
