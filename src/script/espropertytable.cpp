#include "script/espropertytable.h"

#include "script/esstring.h"

#include <cstdlib>
#include <cstring>
#include <new>

ESPropertyTable::~ESPropertyTable() {
    if (m_data != m_inline)
        std::free(m_data);
    delete[] m_index;
}

int ESPropertyTable::findIndexed(const ESString *name) const {
    for (std::uint32_t slot = name->hash() & m_indexMask;; slot = (slot + 1) & m_indexMask) {
        std::uint32_t e = m_index[slot];
        if (e == 0)
            return -1;
        if (m_data[e - 1].name == name)
            return int(e - 1);
    }
}

int ESPropertyTable::set(ESString *name, const ESValue &value, std::uint32_t attributes) {
    int i = findAny(name);
    if (i < 0)
        return append(name, value, attributes);
    ESProperty &p = m_data[i];
    p.value = value;
    p.attributes = attributes;
    return i;
}

void ESPropertyTable::grow() {
    std::uint32_t capacity = m_capacity * 2;
    auto *data = static_cast<ESProperty *>(std::malloc(sizeof(ESProperty) * capacity));
    if (!data)
        throw std::bad_alloc();
    std::memcpy(static_cast<void *>(data), m_data, sizeof(ESProperty) * m_size);
    if (m_data != m_inline)
        std::free(m_data);
    m_data = data;
    m_capacity = capacity;
}

int ESPropertyTable::append(ESString *name, const ESValue &value, std::uint32_t attributes) {
    if (m_size == m_capacity)
        grow();
    std::uint32_t i = m_size++;
    m_data[i] = {name, attributes, value};
    if (m_index) {
        if (m_size * 2 > m_indexMask + 1)
            rebuildIndex();
        else
            indexEntry(i);
    } else if (m_size > kIndexThreshold) {
        rebuildIndex();
    }
    return int(i);
}

void ESPropertyTable::remove(int i) {
    ESProperty &p = m_data[i];
    p.attributes = ESProperty::Deleted;
    p.value = ESValue::undefined();
}

void ESPropertyTable::truncate(int count) {
    if (count < 0 || std::uint32_t(count) >= m_size)
        return;
    m_size = std::uint32_t(count);
    if (m_index)
        rebuildIndex();
}

void ESPropertyTable::indexEntry(std::uint32_t i) {
    std::uint32_t slot = m_data[i].name->hash() & m_indexMask;
    while (m_index[slot] != 0)
        slot = (slot + 1) & m_indexMask;
    m_index[slot] = i + 1;
}

void ESPropertyTable::rebuildIndex() {
    std::uint32_t capacity = 32;
    while (capacity < m_size * 4)
        capacity *= 2;
    delete[] m_index;
    m_index = new std::uint32_t[capacity]();
    m_indexMask = capacity - 1;
    for (std::uint32_t i = 0; i < m_size; ++i)
        indexEntry(i);
}
