#include "editor/editgroup.h"

#include <iterator>

namespace {

// Indexed by kind; kind 0 has no name of its own.
constexpr const char *kEditGroupNames[] = {
    nullptr,
    "Cut",
    "Paste",
    "Delete",
    "Move",
    "Copy",
    "Indent",
    "Outdent",
    "Typing",
    "Typing",
    "Make Uppercase",
    "Make Lowercase",
    "Switch Case",
    "Comment",
    "Uncomment",
    "Sort Ascending",
    "Sort Descending",
    "Transpose Lines",
    "Transpose Words",
    "Template Expansion",
    "Tabify",
    "Untabify",
    "Align",
};

} // namespace

QString editGroupName(int kind) {
    if (kind <= 0 || kind >= int(std::size(kEditGroupNames)))
        return QStringLiteral("Macro");
    return QString::fromLatin1(kEditGroupNames[kind]);
}

CodeEditGroup::CodeEditGroup(int kind, CodeEditPosition caretBefore)
    : m_kind(kind), m_caretBefore(caretBefore), m_caretAfter(caretBefore) {}

void CodeEditGroup::undo(CodeEdit &edit) const {
    // Last first, so that restore points recorded at the start are applied at the end.
    for (auto it = m_actions.rbegin(); it != m_actions.rend(); ++it)
        (*it)->undo(edit);
}

void CodeEditGroup::redo(CodeEdit &edit) const {
    for (const auto &action : m_actions)
        action->redo(edit);
}
