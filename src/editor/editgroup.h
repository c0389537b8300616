#pragma once

#include "editor/codeeditposition.h"
#include "editor/editaction.h"

#include <QString>

#include <memory>
#include <vector>

// Kinds of command that code refers to by name; editGroupName() has them all.
inline constexpr int kEditKindMove = 4;
inline constexpr int kEditKindTyping = 8;

// The display name of a command kind ("Cut", "Typing", ...); "Macro" for kinds outside the
// table.
QString editGroupName(int kind);

// The actions of one user command, undone and redone together.
class CodeEditGroup {
public:
    CodeEditGroup(int kind, CodeEditPosition caretBefore);

    int kind() const { return m_kind; }
    QString name() const { return editGroupName(m_kind); }

    void append(std::unique_ptr<CodeEditAction> action) { m_actions.push_back(std::move(action)); }
    bool isEmpty() const { return m_actions.empty(); }
    const std::vector<std::unique_ptr<CodeEditAction>> &actions() const { return m_actions; }

    CodeEditPosition caretBefore() const { return m_caretBefore; }
    CodeEditPosition caretAfter() const { return m_caretAfter; }
    void setCaretAfter(CodeEditPosition caret) { m_caretAfter = caret; }

    void undo(CodeEdit &edit) const;
    void redo(CodeEdit &edit) const;

private:
    int m_kind;
    CodeEditPosition m_caretBefore;
    CodeEditPosition m_caretAfter;
    std::vector<std::unique_ptr<CodeEditAction>> m_actions;
};
