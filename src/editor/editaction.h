#pragma once

#include "editor/codeeditposition.h"

#include <QString>

class CodeEdit;

// What one editing primitive did, kept so that it can be taken back and done again. Undo and
// redo call the editor's primitives without recording, so they never add actions of their own.
class CodeEditAction {
public:
    virtual void undo(CodeEdit &edit) = 0;
    virtual void redo(CodeEdit &edit) = 0;
    virtual ~CodeEditAction();
    // A short text for lists of actions; empty for actions that carry no text.
    virtual QString description() const;
};

// The common part of an insertion and a deletion: the text and the range it took up.
class CodeEditTextAction : public CodeEditAction {
public:
    CodeEditTextAction(QString text, CodeEditPosition start, CodeEditPosition end);
    QString description() const override;

protected:
    QString m_text;
    CodeEditPosition m_start;
    CodeEditPosition m_end;
};

// Text inserted at `start`; it ended at `end`.
class CodeEditInsertAction : public CodeEditTextAction {
public:
    using CodeEditTextAction::CodeEditTextAction;
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;
};

// The text that a deletion from `start` to `end` removed.
class CodeEditDeleteAction : public CodeEditTextAction {
public:
    using CodeEditTextAction::CodeEditTextAction;
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;
};

// Text on one line replaced by other text on that line.
class CodeEditReplaceAction : public CodeEditAction {
public:
    CodeEditReplaceAction(QString oldText, QString newText, CodeEditPosition position);
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;
    QString description() const override;

private:
    QString m_oldText;
    QString m_newText;
    CodeEditPosition m_position;
};

// `count` lines from `first` moved by `distance` lines (down when positive).
class CodeEditMoveLinesAction : public CodeEditAction {
public:
    CodeEditMoveLinesAction(int first, int count, int distance);
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;

private:
    int m_first;
    int m_count;
    int m_distance;
};

// Recorded first in a command, so that undoing the command ends by putting the caret back.
class CodeEditCaretRestorePointAction : public CodeEditAction {
public:
    explicit CodeEditCaretRestorePointAction(CodeEditPosition caret);
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;

private:
    CodeEditPosition m_caret;
};

// The same for the selection: both ends and the selection mode.
class CodeEditSelectionRestorePointAction : public CodeEditAction {
public:
    CodeEditSelectionRestorePointAction(CodeEditPosition first, CodeEditPosition second, int mode);
    void undo(CodeEdit &edit) override;
    void redo(CodeEdit &edit) override;

private:
    CodeEditPosition m_first;
    CodeEditPosition m_second;
    int m_mode;
};
