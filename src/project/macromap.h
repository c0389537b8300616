#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>

// Macro name -> value, ordered by name; lookups are exact and case-sensitive.
//
// Copies share their entries until one of them is changed, so a walk over nested elements can
// hand every level its own copy for the price of a reference count. An empty map owns nothing
// and costs no allocation. Copies may be used and changed on different threads; one map object
// may not be changed while another thread uses it.
class MacroMap {
public:
    using Entries = std::map<std::string, std::string, std::less<>>;

    MacroMap() = default;
    MacroMap(std::initializer_list<Entries::value_type> entries);

    // The items of a macro list: "name=value" items separated by ";", a backslash escaping
    // the next character. A later item replaces an earlier one of the same name; an item
    // without "=" defines an empty value.
    static MacroMap fromList(std::string_view list);
    void addList(std::string_view list);

    // The stored value, or null when the name is absent. Valid until the map changes.
    const std::string *find(std::string_view name) const;
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    std::string value(std::string_view name) const; // empty when absent

    void set(std::string name, std::string value);
    bool remove(std::string_view name);
    void clear() { m_entries.reset(); }

    std::size_t size() const { return m_entries ? m_entries->size() : 0; }
    bool empty() const { return size() == 0; }

    const Entries &entries() const;
    Entries::const_iterator begin() const { return entries().begin(); }
    Entries::const_iterator end() const { return entries().end(); }

    friend bool operator==(const MacroMap &a, const MacroMap &b) {
        return a.entries() == b.entries();
    }

private:
    Entries &writable();

    std::shared_ptr<Entries> m_entries;
};
