#pragma once

#include "script/esclass.h"

#include <QSet>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// The `Debug` object of the threads window's own context: the thread-list script fills two
// tables (threads, and a second list such as queues or timers) row by row, in named groups.
// Rows past the project's limit are dropped with one report.
class ThreadsWindowScriptObjectClass : public ESClass {
public:
    struct Row {
        QStringList fields;
        std::uint32_t color; // 0xRRGGBB
    };
    struct Queue {
        QString name;
        std::vector<Row> rows;
    };
    struct Table {
        QStringList columns;
        std::vector<Queue> queues;
    };

    // `report` receives the message about the limit.
    ThreadsWindowScriptObjectClass(int threadLimit, std::function<void(const QString &)> report)
        : m_limit(threadLimit), m_report(std::move(report)) {}
    void install(ESContext &context, const char *name) override;

    const Table &table(int index) const { return m_tables[index]; }
    Table &table(int index) { return m_tables[index]; }
    bool sortByNumber() const { return m_sortByNumber; }
    void setSortByNumber(bool sort) { m_sortByNumber = sort; }
    std::uint32_t color() const { return m_color; }
    void setColor(std::uint32_t color) { m_color = color; }
    // Groups the user folded away in the window; every other one is shown.
    QSet<QString> &collapsedQueues() { return m_collapsed; }

    void clear();
    // Appends a row to the table's last group; false once the limit is reached.
    bool add(int table, QStringList fields);

private:
    Table m_tables[2];
    int m_limit;
    std::function<void(const QString &)> m_report;
    int m_rows = 0;
    bool m_sortByNumber = false;
    std::uint32_t m_color = 0x000000;
    QSet<QString> m_collapsed;
};
