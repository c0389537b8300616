#include "build/dependencyfile.h"

#include "core/hexception.h"
#include "scratchdirtest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

QStringList parse(const std::string &text) {
    return DependencyFile::parse(text);
}

std::string parseError(const std::string &text) {
    try {
        DependencyFile::parse(text);
    } catch (const HException &error) {
        return error.message();
    }
    return "no error";
}

TEST(DependencyFileTest, ReadsWhatGccWrites) {
    // gcc -MD -MP: the rule for the object, then an empty rule per header.
    const char *text = "out/main.o: src/main.c include/board.h \\\n"
                       " include/uart.h\n"
                       "include/board.h:\n"
                       "include/uart.h:\n";
    EXPECT_EQ(parse(text), (QStringList{"src/main.c", "include/board.h", "include/uart.h"}));
}

TEST(DependencyFileTest, ContinuationsAndLineEnds) {
    EXPECT_EQ(parse("a.o: \\\n  \\\n b.c \\\r\n c.h\r\nc.h:\r\n"), (QStringList{"b.c", "c.h"}));
    // No final line break, tabs as blanks, a stray carriage return inside a line.
    EXPECT_EQ(parse("a.o:\tb.c\r c.h"), (QStringList{"b.c", "c.h"}));
    // A backslash-newline as the last thing in the file.
    EXPECT_EQ(parse("a.o: b.c \\\n"), QStringList{"b.c"});
    EXPECT_EQ(parse(""), QStringList{});
    EXPECT_EQ(parse("\n\r\n  \n"), QStringList{});
}

TEST(DependencyFileTest, EscapedNames) {
    // Blanks, "#" and "$" as gcc escapes them; backslashes before other characters stay.
    EXPECT_EQ(parse("a.o: my\\ dir/x\\ y.h n\\#1.h cost$$.h C:\\inc\\b.h\n"),
              (QStringList{"my dir/x y.h", "n#1.h", "cost$.h", "C:\\inc\\b.h"}));
    // 2N backslashes before a blank are N backslashes and the blank separates; 2N+1 keep it.
    EXPECT_EQ(parse("a.o: x\\\\ y\\\\\\ z\n"), (QStringList{"x\\", "y\\ z"}));
    // A drive letter is not a rule separator.
    EXPECT_EQ(parse("c:/obj/a.o: c:/src/a.c d:\\h\\a.h\n"),
              (QStringList{"c:/src/a.c", "d:\\h\\a.h"}));
}

TEST(DependencyFileTest, SeveralRulesCommentsAndDuplicates) {
    EXPECT_EQ(parse("# written by a tool\n"
                    "a.o a.d: a.c x.h # trailing comment\n"
                    "a.o: y.h x.h\n"
                    "x.h y.h:\n"),
              (QStringList{"a.c", "x.h", "y.h"}));
    // Order-only prerequisites, up to the end of their rule.
    EXPECT_EQ(parse("a.o: a.c | obj \\\n gen\nb.o: b.c\n"), (QStringList{"a.c", "b.c"}));
}

TEST(DependencyFileTest, MalformedTextIsAnError) {
    EXPECT_EQ(parseError("a.o b.c\n"), "line 1: missing ':'");
    EXPECT_EQ(parseError("a.o: b.c\n: c.h\n"), "line 2: rule without a target");
    EXPECT_EQ(parseError("a.o: b.c \\\n c.h: d.h\n"), "line 2: unexpected ':'");
    EXPECT_EQ(parseError(std::string("a.o: b\0c", 8)), "no error");
}

class DependencyFileReadTest : public ScratchDirTest {};

TEST_F(DependencyFileReadTest, ReadsFilesAndNamesThemInErrors) {
    std::string good = write("a.d", "a.o: a.c b.h\n");
    EXPECT_EQ(DependencyFile::read(QString::fromStdString(good)), (QStringList{"a.c", "b.h"}));

    std::string bad = write("bad.d", "a.o a.c\n");
    try {
        DependencyFile::read(QString::fromStdString(bad));
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), bad + ": line 1: missing ':'");
    }
    try {
        DependencyFile::read(QString::fromStdString(path("missing.d")));
        FAIL() << "no error";
    } catch (const HException &error) {
        EXPECT_EQ(error.message(), path("missing.d") + ": cannot open");
    }
}

} // namespace
