#pragma once

#include "script/esvalue.h"

#include <cstdint>

// One named property of an object.
struct ESProperty {
    enum Attribute : std::uint32_t {
        ReadOnly = 1,
        DontEnum = 2,
        DontDelete = 4,
        // A deleted entry keeps its place (global slots are entry positions) and its name,
        // so that storing the name again revives the same entry.
        Deleted = 0x80000000u,
    };

    ESString *name;
    std::uint32_t attributes;
    ESValue value;

    bool isDeleted() const { return attributes & Deleted; }
};

// The property entries of an object in insertion order. The first few live inside the
// table itself, next to the object, so that reading a property of a small object touches
// one piece of memory; small tables are searched linearly by name identity, larger ones
// keep a hash index beside the entries.
class ESPropertyTable {
public:
    ESPropertyTable() = default;
    ~ESPropertyTable();
    ESPropertyTable(const ESPropertyTable &) = delete;
    ESPropertyTable &operator=(const ESPropertyTable &) = delete;

    int size() const { return int(m_size); }
    ESProperty &at(int i) { return m_data[i]; }
    const ESProperty &at(int i) const { return m_data[i]; }
    ESProperty *data() { return m_data; }

    // Position of the live entry with this name, or -1.
    int find(const ESString *name) const {
        int i = findAny(name);
        return i >= 0 && !m_data[i].isDeleted() ? i : -1;
    }
    // Position of the entry with this name, deleted or not, or -1.
    int findAny(const ESString *name) const {
        if (!m_index) {
            for (std::uint32_t i = 0; i < m_size; ++i) {
                if (m_data[i].name == name)
                    return int(i);
            }
            return -1;
        }
        return findIndexed(name);
    }

    // Sets the value of the named entry, reviving a deleted one, or appends a new entry.
    // Returns its position.
    int set(ESString *name, const ESValue &value, std::uint32_t attributes);
    int append(ESString *name, const ESValue &value, std::uint32_t attributes);
    void remove(int i);
    // Drops the entries from position `count` on.
    void truncate(int count);

private:
    static constexpr std::uint32_t kInline = 4;
    static constexpr std::uint32_t kIndexThreshold = 8;
    int findIndexed(const ESString *name) const;
    void grow();
    void rebuildIndex();
    void indexEntry(std::uint32_t i);

    ESProperty *m_data = m_inline;
    std::uint32_t m_size = 0;
    std::uint32_t m_capacity = kInline;
    std::uint32_t *m_index = nullptr; // entry position + 1, 0 when free
    std::uint32_t m_indexMask = 0;
    ESProperty m_inline[kInline];
};
