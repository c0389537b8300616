#include "project/macromap.h"

#include "core/namevaluelist.h"

#include <atomic>

MacroMap::MacroMap(std::initializer_list<Entries::value_type> entries) {
    if (entries.size() != 0)
        m_entries = std::make_shared<Entries>(entries);
}

MacroMap MacroMap::fromList(std::string_view list) {
    MacroMap map;
    map.addList(list);
    return map;
}

void MacroMap::addList(std::string_view list) {
    for (NameValue &item : parseNameValueList(list)) {
        if (!item.name.empty())
            set(std::move(item.name), item.value ? std::move(*item.value) : std::string());
    }
}

const std::string *MacroMap::find(std::string_view name) const {
    if (!m_entries)
        return nullptr;
    auto it = m_entries->find(name);
    return it == m_entries->end() ? nullptr : &it->second;
}

std::string MacroMap::value(std::string_view name) const {
    const std::string *found = find(name);
    return found ? *found : std::string();
}

void MacroMap::set(std::string name, std::string value) {
    writable().insert_or_assign(std::move(name), std::move(value));
}

bool MacroMap::remove(std::string_view name) {
    if (!contains(name))
        return false;
    Entries &entries = writable();
    entries.erase(entries.find(name));
    return true;
}

const MacroMap::Entries &MacroMap::entries() const {
    static const Entries none;
    return m_entries ? *m_entries : none;
}

MacroMap::Entries &MacroMap::writable() {
    if (!m_entries) {
        m_entries = std::make_shared<Entries>();
    } else if (m_entries.use_count() > 1) {
        m_entries = std::make_shared<Entries>(*m_entries);
    } else {
        // The last other copy may have been dropped on another thread just after reading the
        // entries; see its reads finished before they are changed here.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    return *m_entries;
}
