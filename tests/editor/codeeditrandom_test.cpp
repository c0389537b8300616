// The edit model against a plain one that keeps a copy of the whole text for every step.

#include "editor/codeedit.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class SnapshotModel {
public:
    explicit SnapshotModel(QString text) : m_text(std::move(text)) {}

    void push(const QString &before, const QString &after) {
        m_undo.push_back(before);
        m_redo.clear();
        m_text = after;
    }
    void undo() {
        if (m_undo.empty())
            return;
        m_redo.push_back(m_text);
        m_text = m_undo.back();
        m_undo.pop_back();
    }
    void redo() {
        if (m_redo.empty())
            return;
        m_undo.push_back(m_text);
        m_text = m_redo.back();
        m_redo.pop_back();
    }
    QString first() const { return m_undo.empty() ? m_text : m_undo.front(); }
    QString last() const { return m_redo.empty() ? m_text : m_redo.front(); }

    const QString &text() const { return m_text; }
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

private:
    QString m_text;
    std::vector<QString> m_undo;
    std::vector<QString> m_redo;
};

class RandomEdits {
public:
    explicit RandomEdits(unsigned seed) : m_random(seed) {}

    int below(int n) { return int(m_random() % unsigned(n)); }
    int between(int low, int high) { return low + below(high - low + 1); }

    // Also positions before the start, past the end and beyond the ends of lines.
    CodeEditPosition position(const CodeEdit &edit) {
        int line = between(-1, edit.lineCount());
        int length = int(edit.line(line).size());
        return {line, between(-1, length + 4)};
    }
    QString text(bool breaks) {
        QString out;
        for (int n = below(7); n > 0; --n)
            out += breaks && below(5) == 0 ? QChar(u'\n') : QChar(u"ab x\t\u00e9"[below(6)]);
        return out;
    }

    // One primitive with random arguments, recording. True for a move of lines, which is
    // recorded even when the lines it swaps are equal and the text stays the same.
    bool primitive(CodeEdit &edit) {
        switch (below(4)) {
        case 0:
            edit.insertText(position(edit), text(true));
            return false;
        case 1:
            edit.deleteRange(position(edit), position(edit));
            return false;
        case 2:
            edit.replaceText(position(edit), below(5), text(false));
            return false;
        default:
            edit.moveLines(between(-1, edit.lineCount()), between(0, 3), between(-3, 3));
            return true;
        }
    }

private:
    std::mt19937 m_random;
};

TEST(CodeEditRandom, UndoAndRedoMatchASnapshotModel) {
    const QString start = QStringLiteral("first line\n\tsecond\n\nlast");
    CodeEdit edit;
    edit.setText(start);
    SnapshotModel model(start);
    RandomEdits random(20261206);

    for (int step = 0; step < 10000; ++step) {
        const QString before = edit.text();
        const int undoBefore = edit.undoCount();
        const int action = random.below(10);
        // Whether the command may be an undo step without changing the text.
        bool compound = false;
        switch (action) {
        case 0:
        case 1:
        case 2:
            compound = random.primitive(edit);
            break;
        case 3:
            // A command of several primitives, some of them nested.
            compound = true;
            edit.beginEdit(0, random.between(0, 23));
            for (int n = random.between(1, 4); n > 0; --n) {
                if (random.below(4) == 0) {
                    edit.beginEdit(0, 1);
                    random.primitive(edit);
                    edit.endEdit();
                } else {
                    random.primitive(edit);
                }
            }
            edit.endEdit();
            break;
        case 4: {
            edit.setCaret(random.position(edit));
            if (random.below(2)) {
                edit.setSelectionFirst(random.position(edit));
                edit.setSelectionSecond(random.position(edit));
            } else {
                edit.setSelectionFirst(edit.caret());
                edit.setSelectionSecond(edit.caret());
            }
            compound = true; // the restore points make even a null move a step of its own
            if (random.below(2))
                edit.moveLinesUp();
            else
                edit.moveLinesDown();
            break;
        }
        case 5:
            // Nothing may change in a read-only editor.
            edit.setReadOnly(true);
            random.primitive(edit);
            edit.undo();
            edit.setReadOnly(false);
            break;
        case 6:
        case 7:
            edit.undo();
            model.undo();
            break;
        default:
            edit.redo();
            model.redo();
            break;
        }
        if (action <= 5) {
            const QString after = edit.text();
            const bool pushed = edit.undoCount() == undoBefore + 1;
            if (after != before || (compound && pushed)) {
                ASSERT_TRUE(pushed) << "step " << step;
                model.push(before, after);
            } else {
                ASSERT_EQ(edit.undoCount(), undoBefore) << "step " << step;
            }
        }
        ASSERT_EQ(edit.text(), model.text()) << "step " << step << " action " << action;
        ASSERT_EQ(edit.undoCount(), model.undoCount()) << "step " << step;
        ASSERT_EQ(edit.redoCount(), model.redoCount()) << "step " << step;
    }

    const QString first = model.first();
    const QString last = model.last();
    EXPECT_EQ(first, start);
    EXPECT_GT(edit.undoCount(), 100);
    edit.undoAll();
    EXPECT_EQ(edit.text(), first);
    EXPECT_FALSE(edit.canUndo());
    edit.redoAll();
    EXPECT_EQ(edit.text(), last);
    EXPECT_FALSE(edit.canRedo());
}

} // namespace
