#pragma once

#include "editor/codeeditposition.h"
#include "editor/editgroup.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The editor's document without a view: lines of text, the caret, the selection, and the
// primitives every command changes the text through, with undo and redo.
//
// A command runs between beginEdit() and endEdit(); the primitives called inside it record
// their actions into the command's group, which then becomes one undo step. Primitives
// called outside a command form a step of their own.
class CodeEdit : public QObject {
    Q_OBJECT
public:
    explicit CodeEdit(QObject *parent = nullptr);
    ~CodeEdit() override;

    // The lines joined by "\n". setText() starts a new document: no history, unmodified,
    // the caret at the start.
    QString text() const;
    void setText(const QString &text);
    int lineCount() const { return int(m_lines.size()); }
    QString line(int index) const { return m_lines.value(index); }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    // The caret may stand beyond the end of its line; inserting there pads the line.
    CodeEditPosition caret() const { return m_caret; }
    void setCaret(CodeEditPosition position);
    CodeEditPosition selectionFirst() const { return m_selectionFirst; }
    CodeEditPosition selectionSecond() const { return m_selectionSecond; }
    int selectionMode() const { return m_selectionMode; }
    void setSelectionFirst(CodeEditPosition position);
    void setSelectionSecond(CodeEditPosition position);
    void setSelectionMode(int mode) { m_selectionMode = mode; }
    bool hasSelection() const { return m_selectionFirst != m_selectionSecond; }

    // Commands nest: only the outermost pair makes the group (of `kind`) and finishes it.
    // An end without a begin is ignored. The flags are for views; this buffer has none.
    void beginEdit(int flags = 0, int kind = 0);
    void endEdit(int flags = 0);
    bool isEditing() const { return m_depth > 0; }

    // The primitives. Each does nothing in a read-only editor. Positions past the end of the
    // text are taken as its end; a position beyond the end of its line first pads the line
    // with blanks, recorded as an insertion of its own. With `record` the change becomes
    // part of the current command's undo step and marks the text modified.

    // Inserts and puts the caret after the text; returns that position.
    CodeEditPosition insertText(CodeEditPosition position, const QString &text, bool record = true);
    // Deletes from `start` to `end` (in either order) and puts the caret at the start;
    // returns the text removed.
    QString deleteRange(CodeEditPosition start, CodeEditPosition end, bool record = true);
    // Replaces `length` characters at `position` with `text`, all on one line (a `text`
    // with a line break is refused); puts the caret after the new text.
    void replaceText(CodeEditPosition position, int length, const QString &text,
                     bool record = true);
    // Moves `count` lines from `first` by `distance` lines (down when positive), as far as
    // the text allows; the caret and selection move with their lines.
    void moveLines(int first, int count, int distance, bool record = true);

    // Commands that move the caret's line, or the lines of the selection, up or down by one.
    // Undoing them also puts caret and selection back.
    void moveLinesUp();
    void moveLinesDown();

    // Undo and redo are ignored in a read-only editor and while a command is open.
    void undo();
    void redo();
    // Repeat until nothing is left; report "Undone %1 actions" ("Redone %1 actions") as a
    // status message and return the count.
    int undoAll();
    int redoAll();
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }
    // The newest group on each stack, or null.
    const CodeEditGroup *nextUndo() const { return m_undo.empty() ? nullptr : m_undo.back().get(); }
    const CodeEditGroup *nextRedo() const { return m_redo.empty() ? nullptr : m_redo.back().get(); }

signals:
    // Lines were added (positive) or removed (negative) after `firstLine`.
    void lineCountChanged(int firstLine, int delta);
    void statusMessage(const QString &message);
    void modificationChanged(bool modified);

private:
    CodeEditPosition clamped(CodeEditPosition position) const;
    void pad(CodeEditPosition position, bool record);
    void recordAction(std::unique_ptr<CodeEditAction> action);
    void moveSelectedLines(int distance);
    int mapMovedLine(int line, int first, int count, int distance) const;
    bool undoStep();
    bool redoStep();
    // Runs `step` until it finds nothing more, as one command, and reports the count.
    int repeatSteps(bool (CodeEdit::*step)(), const char *message);

    QStringList m_lines{QString()};
    CodeEditPosition m_caret;
    CodeEditPosition m_selectionFirst;
    CodeEditPosition m_selectionSecond;
    int m_selectionMode = 0;
    bool m_readOnly = false;
    bool m_modified = false;

    int m_depth = 0;
    std::unique_ptr<CodeEditGroup> m_open;
    // Newest last.
    std::vector<std::unique_ptr<CodeEditGroup>> m_undo;
    std::vector<std::unique_ptr<CodeEditGroup>> m_redo;
};
