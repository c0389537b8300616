#include "build/buildlogitem.h"

#include <utility>

namespace {

QString summary(int count, const char *one, const char *many) {
    if (count == 0)
        return {};
    if (count == 1)
        return QString::fromLatin1(one);
    return QString::fromLatin1(many).arg(count);
}

} // namespace

void DiagnosticCounts::add(int kind, int delta) {
    switch (kind) {
    case Bookmark::Error:
        errors += delta;
        break;
    case Bookmark::Warning:
        warnings += delta;
        break;
    case Bookmark::Note:
        notes += delta;
        break;
    default:
        break;
    }
}

QString DiagnosticCounts::errorSummary() const {
    return summary(errors, "1 Error", "%1 Errors");
}

QString DiagnosticCounts::warningSummary() const {
    return summary(warnings, "1 Warning", "%1 Warnings");
}

QString DiagnosticCounts::noteSummary() const {
    return summary(notes, "1 Note", "%1 Notes");
}

QStringList DiagnosticCounts::summaries() const {
    QStringList texts;
    for (const QString &text : {errorSummary(), warningSummary(), noteSummary()})
        if (!text.isEmpty())
            texts << text;
    return texts;
}

BuildLogItem::BuildLogItem(Type type, QString text, int kind, int flags, int builderIndex)
    : m_type(type), m_text(std::move(text)), m_kind(kind), m_flags(flags),
      m_builderIndex(builderIndex) {}

BuildLogItem::~BuildLogItem() {
    // Destroy the subtree from a work list: a hostile builder can nest groups deeply.
    std::vector<std::unique_ptr<BuildLogItem>> pending = takeChildren();
    while (!pending.empty()) {
        std::unique_ptr<BuildLogItem> item = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<BuildLogItem> &child : item->takeChildren())
            pending.push_back(std::move(child));
    }
}

void BuildLogItem::setResult(const QDateTime &startTime, int steps) {
    m_startTime = startTime;
    m_steps = steps;
}

BuildLogItem *BuildLogItem::appendChild(std::unique_ptr<BuildLogItem> child) {
    child->m_parent = this;
    child->m_row = childCount();
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

std::vector<std::unique_ptr<BuildLogItem>> BuildLogItem::takeChildren() {
    return std::exchange(m_children, {});
}
