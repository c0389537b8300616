#pragma once

#include <QDateTime>

#include <optional>
#include <string>
#include <vector>

class PropertyClass;
class PropertyNode;

// What a property change replaced, for undoing it.
struct PropertyHistoryRecord {
    PropertyNode *node;
    const PropertyClass *definition;
    std::string configuration;
    std::optional<std::string> oldText; // nothing when the node had no value of its own
    QDateTime when;
    bool wasModified; // the node's modified flag before the change
    bool projectFlag; // the project system's change flag at the time
};

// The project system's list of property changes, oldest first.
class PropertyHistory {
public:
    void append(PropertyHistoryRecord record) { m_records.push_back(std::move(record)); }
    const std::vector<PropertyHistoryRecord> &records() const { return m_records; }
    std::size_t count() const { return m_records.size(); }
    void clear() { m_records.clear(); }

private:
    std::vector<PropertyHistoryRecord> m_records;
};
