#pragma once

#include "script/esvalue.h"

#include <cstdint>
#include <vector>

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

// The property entries of an object in insertion order. Small tables are searched
// linearly by name identity; larger ones keep a hash index beside the entries.
class ESPropertyTable {
public:
    int size() const { return int(m_entries.size()); }
    ESProperty &at(int i) { return m_entries[std::size_t(i)]; }
    const ESProperty &at(int i) const { return m_entries[std::size_t(i)]; }
    ESProperty *data() { return m_entries.data(); }

    // Position of the live entry with this name, or -1.
    int find(const ESString *name) const {
        int i = findAny(name);
        return i >= 0 && !m_entries[std::size_t(i)].isDeleted() ? i : -1;
    }
    // Position of the entry with this name, deleted or not, or -1.
    int findAny(const ESString *name) const;

    // Sets the value of the named entry, reviving a deleted one, or appends a new entry.
    // Returns its position.
    int set(ESString *name, const ESValue &value, std::uint32_t attributes);
    int append(ESString *name, const ESValue &value, std::uint32_t attributes);
    void remove(int i);
    // Drops the entries from position `count` on.
    void truncate(int count);

private:
    static constexpr int kIndexThreshold = 8;
    void rebuildIndex();
    void indexEntry(int i);

    std::vector<ESProperty> m_entries;
    std::vector<std::uint32_t> m_index; // entry position + 1, 0 when free
};
