#pragma once

#include "build/bookmark.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Errors, warnings and notes counted below a row, with the texts the log shows for them.
struct DiagnosticCounts {
    int errors = 0;
    int warnings = 0;
    int notes = 0;

    // Counts one row of the given Bookmark kind; other kinds are not counted.
    void add(int kind, int delta = 1);
    // "1 Error" or "N Errors"; empty when there is none. Likewise for the others.
    QString errorSummary() const;
    QString warningSummary() const;
    QString noteSummary() const;
    // The non-empty summaries in that order.
    QStringList summaries() const;
};

// A colour gradient for a row's background, as 0xRRGGBB values.
struct BuildLogGradient {
    unsigned from = 0;
    unsigned to = 0;
    bool operator==(const BuildLogGradient &) const = default;
};

// One row of the build log: a group (project, folder, step), a parsed record, a plain line
// of output, a message, or a result with its time and step count.
class BuildLogItem {
public:
    enum Type { Group, Record, Plain, Message, Result };

    BuildLogItem(Type type, QString text, int kind, int flags, int builderIndex);
    ~BuildLogItem();
    BuildLogItem(const BuildLogItem &) = delete;
    BuildLogItem &operator=(const BuildLogItem &) = delete;

    Type type() const { return m_type; }
    const QString &text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }
    // The Bookmark kind of the row itself (4 error, 3 warning, 2 note, 0 other).
    int kind() const { return m_kind; }
    int flags() const { return m_flags; }
    int builderIndex() const { return m_builderIndex; }
    const DiagnosticCounts &counts() const { return m_counts; }
    DiagnosticCounts &counts() { return m_counts; }
    const QString &badgeText() const { return m_badgeText; }
    void setBadgeText(const QString &badge) { m_badgeText = badge; }
    const Bookmark &bookmark() const { return m_bookmark; }
    void setBookmark(const Bookmark &bookmark) { m_bookmark = bookmark; }
    const QDateTime &startTime() const { return m_startTime; }
    int steps() const { return m_steps; }
    void setResult(const QDateTime &startTime, int steps);
    // Colours are 0xRRGGBB; -1 when the row has no colour of its own.
    long long colour() const { return m_colour; }
    void setColour(long long colour) { m_colour = colour; }
    const BuildLogGradient &gradient() const { return m_gradient; }
    void setGradient(const BuildLogGradient &gradient) { m_gradient = gradient; }
    // An icon name, such as "error" or "build-complete"; the front end maps it to a picture.
    const QString &icon() const { return m_icon; }
    void setIcon(const QString &icon) { m_icon = icon; }
    bool isOpen() const { return m_open; }
    void setOpen(bool open) { m_open = open; }

    // Lines of standard error the parser did not recognise, held back until the step fails
    // (when unparsed error output is not shown).
    QStringList &heldOutput() { return m_heldOutput; }

    BuildLogItem *parent() const { return m_parent; }
    int row() const { return m_row; }
    int childCount() const { return int(m_children.size()); }
    BuildLogItem *child(int row) const { return m_children[size_t(row)].get(); }
    BuildLogItem *appendChild(std::unique_ptr<BuildLogItem> child);
    // Hands over the children, leaving none; lets a deep tree be destroyed without recursion.
    std::vector<std::unique_ptr<BuildLogItem>> takeChildren();

private:
    Type m_type;
    QString m_text;
    int m_kind;
    int m_flags;
    int m_builderIndex;
    DiagnosticCounts m_counts;
    QString m_badgeText;
    Bookmark m_bookmark;
    QDateTime m_startTime;
    int m_steps = 0;
    long long m_colour = -1;
    BuildLogGradient m_gradient;
    QString m_icon;
    bool m_open = false;
    QStringList m_heldOutput;
    BuildLogItem *m_parent = nullptr;
    int m_row = 0;
    std::vector<std::unique_ptr<BuildLogItem>> m_children;
};
