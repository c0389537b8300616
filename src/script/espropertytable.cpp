#include "script/espropertytable.h"

#include "script/esstring.h"

int ESPropertyTable::findAny(const ESString *name) const {
    if (m_index.empty()) {
        int n = size();
        for (int i = 0; i < n; ++i) {
            if (m_entries[std::size_t(i)].name == name)
                return i;
        }
        return -1;
    }
    std::size_t mask = m_index.size() - 1;
    for (std::size_t slot = name->hash() & mask;; slot = (slot + 1) & mask) {
        std::uint32_t e = m_index[slot];
        if (e == 0)
            return -1;
        if (m_entries[e - 1].name == name)
            return int(e - 1);
    }
}

int ESPropertyTable::set(ESString *name, const ESValue &value, std::uint32_t attributes) {
    int i = findAny(name);
    if (i < 0)
        return append(name, value, attributes);
    ESProperty &p = m_entries[std::size_t(i)];
    p.value = value;
    p.attributes = attributes;
    return i;
}

int ESPropertyTable::append(ESString *name, const ESValue &value, std::uint32_t attributes) {
    m_entries.push_back({name, attributes, value});
    int i = size() - 1;
    if (!m_index.empty()) {
        if (m_entries.size() * 2 > m_index.size())
            rebuildIndex();
        else
            indexEntry(i);
    } else if (size() > kIndexThreshold) {
        rebuildIndex();
    }
    return i;
}

void ESPropertyTable::remove(int i) {
    ESProperty &p = m_entries[std::size_t(i)];
    p.attributes = ESProperty::Deleted;
    p.value = ESValue::undefined();
}

void ESPropertyTable::truncate(int count) {
    if (count >= size())
        return;
    m_entries.resize(std::size_t(count));
    if (!m_index.empty())
        rebuildIndex();
}

void ESPropertyTable::indexEntry(int i) {
    std::size_t mask = m_index.size() - 1;
    std::size_t slot = m_entries[std::size_t(i)].name->hash() & mask;
    while (m_index[slot] != 0)
        slot = (slot + 1) & mask;
    m_index[slot] = std::uint32_t(i + 1);
}

void ESPropertyTable::rebuildIndex() {
    std::size_t capacity = 32;
    while (capacity < m_entries.size() * 4)
        capacity *= 2;
    m_index.assign(capacity, 0);
    for (int i = 0; i < size(); ++i)
        indexEntry(i);
}
