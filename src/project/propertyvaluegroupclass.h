#pragma once

#include "project/propertyclass.h"

#include <utility>

// An Enumeration whose choices are the entries of a property groups file: choosing an entry
// sets each property it lists.
class PropertyValueGroupClass : public PropertyClass {
public:
    struct Entry {
        std::string name;
        std::string family;                                      // empty when the entry has none
        std::vector<std::pair<std::string, std::string>> values; // property name, value text
        // The choice text: the name, or "name~~family".
        std::string key() const;
    };

    explicit PropertyValueGroupClass(std::string name);

    std::vector<std::string> choices() const override;

    const std::vector<Entry> &entries() const { return m_entries; }
    // The entry chosen by `key`, or null.
    const Entry *entry(std::string_view key) const;
    void addEntry(Entry entry) { m_entries.push_back(std::move(entry)); }

private:
    std::vector<Entry> m_entries;
};
