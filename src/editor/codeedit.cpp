#include "editor/codeedit.h"

#include <algorithm>

CodeEdit::CodeEdit(QObject *parent) : QObject(parent) {}

CodeEdit::~CodeEdit() = default;

QString CodeEdit::text() const {
    return m_lines.join(u'\n');
}

void CodeEdit::setText(const QString &text) {
    const int before = lineCount();
    m_lines = text.split(u'\n');
    m_undo.clear();
    m_redo.clear();
    m_caret = m_selectionFirst = m_selectionSecond = CodeEditPosition{};
    setModified(false);
    if (lineCount() != before)
        emit lineCountChanged(0, lineCount() - before);
}

void CodeEdit::setModified(bool modified) {
    if (m_modified == modified)
        return;
    m_modified = modified;
    emit modificationChanged(modified);
}

void CodeEdit::setCaret(CodeEditPosition position) {
    m_caret = {std::clamp(position.line, 0, lineCount() - 1), std::max(position.column, 0)};
}

void CodeEdit::setSelectionFirst(CodeEditPosition position) {
    m_selectionFirst = clamped(position);
}

void CodeEdit::setSelectionSecond(CodeEditPosition position) {
    m_selectionSecond = clamped(position);
}

CodeEditPosition CodeEdit::clamped(CodeEditPosition position) const {
    if (position.line < 0)
        return {};
    if (position.line >= lineCount())
        return {lineCount() - 1, int(m_lines.back().size())};
    return {position.line, std::max(position.column, 0)};
}

void CodeEdit::beginEdit(int, int kind) {
    if (m_depth++ == 0)
        m_open = std::make_unique<CodeEditGroup>(kind, m_caret);
}

void CodeEdit::endEdit(int) {
    if (m_depth == 0)
        return;
    if (--m_depth > 0)
        return;
    std::unique_ptr<CodeEditGroup> group = std::move(m_open);
    // A command that changed nothing leaves both stacks as they were.
    if (group->isEmpty())
        return;
    group->setCaretAfter(m_caret);
    m_redo.clear();
    m_undo.push_back(std::move(group));
}

void CodeEdit::recordAction(std::unique_ptr<CodeEditAction> action) {
    m_open->append(std::move(action));
    setModified(true);
}

void CodeEdit::pad(CodeEditPosition position, bool record) {
    QString &line = m_lines[position.line];
    const int length = int(line.size());
    if (position.column <= length)
        return;
    const QString blanks(position.column - length, u' ');
    line += blanks;
    if (record)
        recordAction(std::make_unique<CodeEditInsertAction>(
            blanks, CodeEditPosition{position.line, length}, position));
}

CodeEditPosition CodeEdit::insertText(CodeEditPosition position, const QString &text, bool record) {
    position = clamped(position);
    if (m_readOnly || text.isEmpty())
        return position;
    beginEdit();
    pad(position, record);
    const QStringList pieces = text.split(u'\n');
    QString &first = m_lines[position.line];
    const QString tail = first.mid(position.column);
    first.truncate(position.column);
    first += pieces.front();
    for (qsizetype i = 1; i < pieces.size(); ++i)
        m_lines.insert(position.line + int(i), pieces[i]);
    const int lastLine = position.line + int(pieces.size()) - 1;
    const CodeEditPosition end{lastLine, int(m_lines[lastLine].size())};
    m_lines[lastLine] += tail;
    if (pieces.size() > 1)
        emit lineCountChanged(position.line, int(pieces.size()) - 1);
    m_caret = end;
    if (record)
        recordAction(std::make_unique<CodeEditInsertAction>(text, position, end));
    endEdit();
    return end;
}

QString CodeEdit::deleteRange(CodeEditPosition start, CodeEditPosition end, bool record) {
    if (m_readOnly)
        return QString();
    start = clamped(start);
    end = clamped(end);
    if (end < start)
        std::swap(start, end);
    end.column = std::min(end.column, int(m_lines[end.line].size()));
    // Nothing but blanks beyond the end of one line: nothing to delete.
    if (start.line == end.line && start.column >= end.column)
        return QString();
    beginEdit();
    pad(start, record);
    QString removed;
    if (start.line == end.line) {
        removed = m_lines[start.line].mid(start.column, end.column - start.column);
        m_lines[start.line].remove(start.column, end.column - start.column);
    } else {
        removed = m_lines[start.line].mid(start.column);
        for (int line = start.line + 1; line < end.line; ++line)
            removed += u'\n' + m_lines[line];
        removed += u'\n' + m_lines[end.line].left(end.column);
        m_lines[start.line] =
            m_lines[start.line].left(start.column) + m_lines[end.line].mid(end.column);
        m_lines.remove(start.line + 1, end.line - start.line);
        emit lineCountChanged(start.line, start.line - end.line);
    }
    m_caret = start;
    if (record)
        recordAction(std::make_unique<CodeEditDeleteAction>(removed, start, end));
    endEdit();
    return removed;
}

void CodeEdit::replaceText(CodeEditPosition position, int length, const QString &text,
                           bool record) {
    position = clamped(position);
    if (m_readOnly || text.contains(u'\n'))
        return;
    beginEdit();
    pad(position, record);
    QString &line = m_lines[position.line];
    length = std::clamp(length, 0, int(line.size()) - position.column);
    const QString old = line.mid(position.column, length);
    if (old != text) {
        line.replace(position.column, length, text);
        m_caret = {position.line, position.column + int(text.size())};
        if (record)
            recordAction(std::make_unique<CodeEditReplaceAction>(old, text, position));
    }
    endEdit();
}

int CodeEdit::mapMovedLine(int line, int first, int count, int distance) const {
    if (line >= first && line < first + count)
        return line + distance;
    // Lines the block passed over shift the other way by its size.
    if (distance > 0 && line >= first + count && line < first + count + distance)
        return line - count;
    if (distance < 0 && line >= first + distance && line < first)
        return line + count;
    return line;
}

void CodeEdit::moveLines(int first, int count, int distance, bool record) {
    if (m_readOnly || first < 0 || first >= lineCount())
        return;
    count = std::min(count, lineCount() - first);
    if (count <= 0)
        return;
    distance = std::clamp(distance, -first, lineCount() - first - count);
    if (distance == 0)
        return;
    beginEdit();
    const QStringList block = m_lines.mid(first, count);
    m_lines.remove(first, count);
    for (int i = 0; i < count; ++i)
        m_lines.insert(first + distance + i, block[i]);
    m_caret.line = mapMovedLine(m_caret.line, first, count, distance);
    m_selectionFirst.line = mapMovedLine(m_selectionFirst.line, first, count, distance);
    m_selectionSecond.line = mapMovedLine(m_selectionSecond.line, first, count, distance);
    if (record)
        recordAction(std::make_unique<CodeEditMoveLinesAction>(first, count, distance));
    endEdit();
}

void CodeEdit::moveSelectedLines(int distance) {
    if (m_readOnly)
        return;
    int first = m_caret.line;
    int last = m_caret.line;
    if (hasSelection()) {
        const CodeEditPosition from = std::min(m_selectionFirst, m_selectionSecond);
        const CodeEditPosition to = std::max(m_selectionFirst, m_selectionSecond);
        first = from.line;
        // A selection that ends at the start of a line does not take that line along.
        last = to.column == 0 && to.line > from.line ? to.line - 1 : to.line;
    }
    // At the top or bottom nothing moves, and nothing is recorded.
    if (first + distance < 0 || last + distance >= lineCount())
        return;
    beginEdit(0, kEditKindMove);
    recordAction(std::make_unique<CodeEditCaretRestorePointAction>(m_caret));
    if (hasSelection())
        recordAction(std::make_unique<CodeEditSelectionRestorePointAction>(
            m_selectionFirst, m_selectionSecond, m_selectionMode));
    moveLines(first, last - first + 1, distance, true);
    endEdit();
}

void CodeEdit::moveLinesUp() {
    moveSelectedLines(-1);
}

void CodeEdit::moveLinesDown() {
    moveSelectedLines(1);
}

bool CodeEdit::undoStep() {
    if (m_undo.empty())
        return false;
    m_redo.push_back(std::move(m_undo.back()));
    m_undo.pop_back();
    m_redo.back()->undo(*this);
    return true;
}

bool CodeEdit::redoStep() {
    if (m_redo.empty())
        return false;
    m_undo.push_back(std::move(m_redo.back()));
    m_redo.pop_back();
    m_undo.back()->redo(*this);
    return true;
}

// The text now differs from what was saved, whichever way the history went.
void CodeEdit::undo() {
    if (m_readOnly || isEditing() || !canUndo())
        return;
    beginEdit();
    undoStep();
    endEdit();
    setModified(true);
}

void CodeEdit::redo() {
    if (m_readOnly || isEditing() || !canRedo())
        return;
    beginEdit();
    redoStep();
    endEdit();
    setModified(true);
}

int CodeEdit::repeatSteps(bool (CodeEdit::*step)(), const char *message) {
    if (m_readOnly || isEditing())
        return 0;
    int count = 0;
    beginEdit();
    while ((this->*step)())
        ++count;
    endEdit();
    if (count > 0)
        setModified(true);
    emit statusMessage(QString::fromLatin1(message).arg(count));
    return count;
}

int CodeEdit::undoAll() {
    return repeatSteps(&CodeEdit::undoStep, "Undone %1 actions");
}

int CodeEdit::redoAll() {
    return repeatSteps(&CodeEdit::redoStep, "Redone %1 actions");
}
