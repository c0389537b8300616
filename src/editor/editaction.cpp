#include "editor/editaction.h"

#include "editor/codeedit.h"

namespace {

// The text itself when short, else its first ten characters and "...".
QString shortened(const QString &text) {
    if (text.size() < 11)
        return text;
    return text.left(10) + QStringLiteral("...");
}

} // namespace

CodeEditAction::~CodeEditAction() = default;

QString CodeEditAction::description() const {
    return QString();
}

CodeEditTextAction::CodeEditTextAction(QString text, CodeEditPosition start, CodeEditPosition end)
    : m_text(std::move(text)), m_start(start), m_end(end) {}

QString CodeEditTextAction::description() const {
    return shortened(m_text);
}

void CodeEditInsertAction::undo(CodeEdit &edit) {
    edit.deleteRange(m_start, m_end, false);
    edit.setCaret(m_start);
}

void CodeEditInsertAction::redo(CodeEdit &edit) {
    edit.insertText(m_start, m_text, false);
    edit.setCaret(m_end);
}

void CodeEditDeleteAction::undo(CodeEdit &edit) {
    edit.insertText(m_start, m_text, false);
    edit.setCaret(m_end);
}

void CodeEditDeleteAction::redo(CodeEdit &edit) {
    edit.deleteRange(m_start, m_end, false);
    edit.setCaret(m_start);
}

CodeEditReplaceAction::CodeEditReplaceAction(QString oldText, QString newText,
                                             CodeEditPosition position)
    : m_oldText(std::move(oldText)), m_newText(std::move(newText)), m_position(position) {}

void CodeEditReplaceAction::undo(CodeEdit &edit) {
    edit.replaceText(m_position, int(m_newText.size()), m_oldText, false);
    edit.setCaret(m_position);
}

void CodeEditReplaceAction::redo(CodeEdit &edit) {
    edit.replaceText(m_position, int(m_oldText.size()), m_newText, false);
    edit.setCaret({m_position.line, m_position.column + int(m_newText.size())});
}

QString CodeEditReplaceAction::description() const {
    return shortened(m_newText);
}

CodeEditMoveLinesAction::CodeEditMoveLinesAction(int first, int count, int distance)
    : m_first(first), m_count(count), m_distance(distance) {}

void CodeEditMoveLinesAction::undo(CodeEdit &edit) {
    edit.moveLines(m_first + m_distance, m_count, -m_distance, false);
}

void CodeEditMoveLinesAction::redo(CodeEdit &edit) {
    edit.moveLines(m_first, m_count, m_distance, false);
}

CodeEditCaretRestorePointAction::CodeEditCaretRestorePointAction(CodeEditPosition caret)
    : m_caret(caret) {}

void CodeEditCaretRestorePointAction::undo(CodeEdit &edit) {
    edit.setCaret(m_caret);
}

void CodeEditCaretRestorePointAction::redo(CodeEdit &) {}

CodeEditSelectionRestorePointAction::CodeEditSelectionRestorePointAction(CodeEditPosition first,
                                                                         CodeEditPosition second,
                                                                         int mode)
    : m_first(first), m_second(second), m_mode(mode) {}

void CodeEditSelectionRestorePointAction::undo(CodeEdit &edit) {
    edit.setSelectionFirst(m_first);
    edit.setSelectionSecond(m_second);
    edit.setSelectionMode(m_mode);
}

void CodeEditSelectionRestorePointAction::redo(CodeEdit &) {}
