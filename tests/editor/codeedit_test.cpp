#include "editor/codeedit.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using Pos = CodeEditPosition;

std::string str(const QString &text) {
    return text.toStdString();
}

// Every emission of a signal, as the list of its arguments.
template <class... Args> struct Recorder {
    template <class Signal> Recorder(CodeEdit &edit, Signal signal) {
        QObject::connect(&edit, signal, [this](Args... args) { calls.emplace_back(args...); });
    }
    std::vector<std::tuple<Args...>> calls;
};

TEST(CodeEditUndo, TypingIsOneStepWithTheCaret) {
    CodeEdit edit;
    edit.setText("x");
    edit.setCaret({0, 1});
    edit.beginEdit(0, kEditKindTyping);
    for (QString c : {"a", "b", "c"})
        edit.insertText(edit.caret(), c);
    edit.endEdit();
    EXPECT_EQ(str(edit.text()), "xabc");
    ASSERT_EQ(edit.undoCount(), 1);
    EXPECT_EQ(str(edit.nextUndo()->name()), "Typing");
    EXPECT_EQ(edit.nextUndo()->caretBefore(), (Pos{0, 1}));
    EXPECT_EQ(edit.nextUndo()->caretAfter(), (Pos{0, 4}));

    edit.undo();
    EXPECT_EQ(str(edit.text()), "x");
    EXPECT_EQ(edit.caret(), (Pos{0, 1}));
    edit.redo();
    EXPECT_EQ(str(edit.text()), "xabc");
    EXPECT_EQ(edit.caret(), (Pos{0, 4}));
}

TEST(CodeEditUndo, CommandsThatChangeNothingLeaveTheStacks) {
    CodeEdit edit;
    edit.setText("abc\ndef");
    edit.insertText({0, 0}, "1");
    edit.undo();
    ASSERT_TRUE(edit.canRedo());
    edit.beginEdit(0, 3);
    edit.deleteRange({1, 1}, {1, 1});
    edit.deleteRange({0, 5}, {0, 9}); // beyond the end of one line: nothing there
    edit.insertText({1, 0}, "");
    edit.replaceText({0, 0}, 1, "a");
    edit.moveLines(0, 1, 0);
    edit.endEdit();
    edit.moveLinesUp(); // the caret is on the first line
    EXPECT_TRUE(edit.canRedo());
    EXPECT_FALSE(edit.canUndo());
    EXPECT_EQ(str(edit.text()), "abc\ndef");
}

TEST(CodeEditUndo, PaddingIsUndoneWithTheInsert) {
    CodeEdit edit;
    edit.setText("abc\nnext");
    edit.insertText({0, 8}, "X");
    EXPECT_EQ(str(edit.line(0)), "abc     X");
    const CodeEditGroup *group = edit.nextUndo();
    ASSERT_EQ(group->actions().size(), 2u);
    EXPECT_EQ(str(group->actions()[0]->description()), "     ");
    EXPECT_EQ(str(group->actions()[1]->description()), "X");
    edit.undo();
    EXPECT_EQ(str(edit.text()), "abc\nnext");
    edit.redo();
    EXPECT_EQ(str(edit.line(0)), "abc     X");

    // Joining a line with the next from beyond its end pads it too.
    edit.setText("ab\ncd");
    EXPECT_EQ(str(edit.deleteRange({0, 4}, {1, 1})), "\nc");
    EXPECT_EQ(str(edit.text()), "ab  d");
    edit.undo();
    EXPECT_EQ(str(edit.text()), "ab\ncd");
}

TEST(CodeEditUndo, ModifiedFlagFollowsUndoAndRedo) {
    CodeEdit edit;
    Recorder<bool> changes(edit, &CodeEdit::modificationChanged);
    edit.setText("saved");
    EXPECT_FALSE(edit.isModified());
    edit.insertText({0, 5}, "!");
    EXPECT_TRUE(edit.isModified());
    edit.setModified(false); // saved
    edit.undo();
    EXPECT_TRUE(edit.isModified()) << "the text differs from the saved file";
    edit.setModified(false);
    edit.redo();
    EXPECT_TRUE(edit.isModified());
    EXPECT_EQ(changes.calls.size(), 5u);
}

TEST(CodeEditUndo, UndoAllAndRedoAllReportTheirCount) {
    CodeEdit edit;
    Recorder<QString> messages(edit, &CodeEdit::statusMessage);
    for (int i = 0; i < 5; ++i)
        edit.insertText(edit.caret(), QString::number(i));
    EXPECT_EQ(edit.undoAll(), 5);
    EXPECT_EQ(str(edit.text()), "");
    EXPECT_EQ(edit.redoAll(), 5);
    EXPECT_EQ(str(edit.text()), "01234");
    ASSERT_EQ(messages.calls.size(), 2u);
    EXPECT_EQ(str(std::get<0>(messages.calls[0])), "Undone 5 actions");
    EXPECT_EQ(str(std::get<0>(messages.calls[1])), "Redone 5 actions");
}

TEST(CodeEditUndo, ReadOnlyChangesNothing) {
    CodeEdit edit;
    edit.setText("abc");
    edit.insertText({0, 0}, "x");
    edit.setReadOnly(true);
    edit.insertText({0, 0}, "y");
    edit.deleteRange({0, 0}, {0, 2});
    edit.replaceText({0, 0}, 1, "z");
    edit.moveLines(0, 1, 1);
    edit.undo();
    EXPECT_EQ(edit.undoAll(), 0);
    EXPECT_EQ(str(edit.text()), "xabc");
    EXPECT_EQ(edit.undoCount(), 1);
    edit.setReadOnly(false);
    edit.undo();
    EXPECT_EQ(str(edit.text()), "abc");
}

TEST(CodeEditUndo, UnbalancedAndNestedCommands) {
    CodeEdit edit;
    edit.endEdit(); // without a begin: ignored
    edit.endEdit();
    edit.beginEdit(0, 2);
    edit.insertText({0, 0}, "a");
    edit.beginEdit(0, 3);
    edit.insertText({0, 1}, "b");
    edit.endEdit();
    edit.undo(); // ignored while a command is open
    EXPECT_EQ(edit.undoCount(), 0);
    edit.endEdit();
    ASSERT_EQ(edit.undoCount(), 1);
    EXPECT_EQ(str(edit.nextUndo()->name()), "Paste");
    EXPECT_EQ(edit.nextUndo()->actions().size(), 2u);
    edit.endEdit();
    edit.insertText({0, 2}, "c");
    EXPECT_EQ(edit.undoCount(), 2);
}

TEST(CodeEditUndo, PositionsPastTheEndAreClamped) {
    CodeEdit edit;
    edit.setText("one\ntwo");
    EXPECT_EQ(edit.insertText({99, 99}, "!"), (Pos{1, 4}));
    EXPECT_EQ(edit.insertText({-3, -1}, "<"), (Pos{0, 1}));
    EXPECT_EQ(str(edit.text()), "<one\ntwo!");
    EXPECT_EQ(str(edit.deleteRange({1, 2}, {50, 0})), "o!");
    EXPECT_EQ(str(edit.text()), "<one\ntw");
    edit.undoAll();
    EXPECT_EQ(str(edit.text()), "one\ntwo");
}

TEST(CodeEditUndo, LineCountChangesAreReported) {
    CodeEdit edit;
    Recorder<int, int> lines(edit, &CodeEdit::lineCountChanged);
    edit.setText("a\nb");
    edit.insertText({0, 1}, "\n\n");
    edit.deleteRange({0, 0}, {2, 0});
    edit.insertText({0, 0}, "no break");
    using Change = std::tuple<int, int>;
    EXPECT_EQ(lines.calls, (std::vector<Change>{{0, 1}, {0, 2}, {0, -2}}));
}

TEST(CodeEditUndo, MovingLinesRestoresCaretAndSelection) {
    CodeEdit edit;
    edit.setText("1\n2\n3\n4");
    edit.setSelectionFirst({1, 1});
    edit.setSelectionSecond({2, 1});
    edit.setSelectionMode(2);
    edit.setCaret({2, 1});
    edit.moveLinesDown();
    EXPECT_EQ(str(edit.text()), "1\n4\n2\n3");
    EXPECT_EQ(edit.caret(), (Pos{3, 1}));
    ASSERT_EQ(edit.undoCount(), 1);
    EXPECT_EQ(str(edit.nextUndo()->name()), "Move");

    edit.setSelectionFirst({0, 0});
    edit.setSelectionSecond({0, 0});
    edit.setSelectionMode(0);
    edit.setCaret({0, 0});
    edit.undo();
    EXPECT_EQ(str(edit.text()), "1\n2\n3\n4");
    EXPECT_EQ(edit.caret(), (Pos{2, 1}));
    EXPECT_EQ(edit.selectionFirst(), (Pos{1, 1}));
    EXPECT_EQ(edit.selectionSecond(), (Pos{2, 1}));
    EXPECT_EQ(edit.selectionMode(), 2);

    edit.redo();
    EXPECT_EQ(str(edit.text()), "1\n4\n2\n3");
    edit.setSelectionSecond(edit.selectionFirst());
    edit.setCaret({0, 0});
    edit.moveLinesUp(); // first line: nothing moves or is recorded
    EXPECT_EQ(edit.undoCount(), 1);
}

TEST(CodeEditUndo, ReplaceOnOneLine) {
    CodeEdit edit;
    edit.setText("make upper");
    edit.replaceText({0, 5}, 5, "UPPER-CASE");
    EXPECT_EQ(str(edit.text()), "make UPPER-CASE");
    EXPECT_EQ(edit.caret(), (Pos{0, 15}));
    edit.replaceText({0, 0}, 1, "x\ny"); // a line break is refused
    EXPECT_EQ(str(edit.text()), "make UPPER-CASE");
    edit.undo();
    EXPECT_EQ(str(edit.text()), "make upper");
    EXPECT_EQ(edit.caret(), (Pos{0, 5}));
    edit.redo();
    EXPECT_EQ(edit.caret(), (Pos{0, 15}));
}

TEST(CodeEditActions, DescriptionsAndGroupNames) {
    struct Row {
        QString text;
        const char *description;
    } rows[] = {{"", ""},
                {"hello", "hello"},
                {"0123456789", "0123456789"},
                {"hello world", "hello worl..."}};
    for (const Row &row : rows) {
        EXPECT_EQ(str(CodeEditInsertAction(row.text, {}, {}).description()), row.description);
        EXPECT_EQ(str(CodeEditDeleteAction(row.text, {}, {}).description()), row.description);
        EXPECT_EQ(str(CodeEditReplaceAction("old", row.text, {}).description()), row.description);
    }
    EXPECT_EQ(str(CodeEditMoveLinesAction(0, 1, 1).description()), "");

    struct Name {
        int kind;
        const char *name;
    } names[] = {{-1, "Macro"},
                 {0, "Macro"},
                 {1, "Cut"},
                 {4, "Move"},
                 {8, "Typing"},
                 {9, "Typing"},
                 {10, "Make Uppercase"},
                 {17, "Transpose Lines"},
                 {19, "Template Expansion"},
                 {22, "Align"},
                 {23, "Macro"}};
    for (const Name &name : names)
        EXPECT_EQ(str(editGroupName(name.kind)), name.name) << name.kind;
}

} // namespace
