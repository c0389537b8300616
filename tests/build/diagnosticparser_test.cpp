// The diagnostic parsers on single lines: locations, severities, and the lines that fool a
// naive reader.
#include "build/regexpdiagnosticparser.h"
#include "build/standarddiagnosticparser.h"

#include "scratchdirtest.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

struct Parsed {
    bool recognised = false;
    Bookmark record;
};

Parsed parseWith(DiagnosticParser &parser, const QString &line) {
    QList<Bookmark> records;
    Parsed parsed;
    parsed.recognised = parser.parse(line, records);
    EXPECT_LE(records.size(), 1) << line.toStdString();
    EXPECT_EQ(parsed.recognised, !records.isEmpty()) << line.toStdString();
    if (!records.isEmpty())
        parsed.record = records.front();
    return parsed;
}

class StandardParser : public ScratchDirTest {
protected:
    void SetUp() override {
        write("src/main.c", "int main(void) { return 0 }\n");
        write("file.h", "\n");
        m_parser.setWorkingDirectory(QString::fromStdString(path("")));
        m_parser.setGenerator("gcc");
    }
    QString file(const std::string &name) { return QString::fromStdString(path(name)); }
    Parsed parse(const QString &line) { return parseWith(m_parser, line); }

    StandardDiagnosticParser m_parser;
};

TEST_F(StandardParser, CompilerLocationsAndSeverities) {
    struct Row {
        QString line;
        QString file; // relative to the scratch directory; empty for none
        int lineNumber, column, kind;
        QString message;
    };
    const QString abs = file("file.h");
    const Row rows[] = {
        {"src/main.c:12:5: error: expected ';'", "src/main.c", 12, 5, 4, "expected ';'"},
        {abs + ":3: warning: x", "file.h", 3, -1, 3, "x"},
        {"./src/main.c:7:1: note: declared here", "src/main.c", 7, 1, 2, "declared here"},
        {"src/../src/main.c:1:1: warning: w", "src/main.c", 1, 1, 3, "w"},
        {"Info: loading", "", -1, -1, 2, "loading"},
        {"file.h:4: Error: bad instruction `foo r0'", "file.h", 4, -1, 4,
         "bad instruction `foo r0'"},
        {"file.h:5: Warning: careful", "file.h", 5, -1, 3, "careful"},
        {"collect2: error: ld returned 1 exit status", "", -1, -1, 4, "ld returned 1 exit status"},
        {"src/main.c:3:10: fatal error: x.h: No such file or directory", "src/main.c", 3, 10, 4,
         "x.h: No such file or directory"},
        {"src/main.c:9:12:   required from here", "src/main.c", 9, 12, 0, "required from here"},
        {"src/main.c: In function 'main':", "src/main.c", -1, -1, 0, ""},
        {"missing.c:3:1: error: gone", "", 3, 1, 4, "gone"},
        {"src/main.c:0: warning: zero", "src/main.c", 0, -1, 3, "zero"},
        // A path in the message does not displace the location in front of it.
        {"src/main.c:1:10: fatal error: " + abs + ": No such file or directory", "src/main.c", 1,
         10, 4, abs + ": No such file or directory"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.line.toStdString());
        Parsed parsed = parse(row.line);
        ASSERT_TRUE(parsed.recognised);
        EXPECT_EQ(parsed.record.file(),
                  row.file.isEmpty() ? QString() : file(row.file.toStdString()));
        EXPECT_EQ(parsed.record.line(), row.lineNumber);
        EXPECT_EQ(parsed.record.column(), row.column);
        EXPECT_EQ(parsed.record.kind(), row.kind);
        EXPECT_EQ(parsed.record.text(), row.message);
        EXPECT_EQ(parsed.record.generator(), "gcc");
    }
}

TEST_F(StandardParser, LinesWithoutASeverity) {
    // make's own line: a location without a number, and "Error" without ": ".
    Parsed make = parse("make: *** [all] Error 2");
    EXPECT_TRUE(make.recognised);
    EXPECT_EQ(make.record.kind(), 0);
    EXPECT_EQ(make.record.line(), -1);
    EXPECT_EQ(make.record.text(), "");
    EXPECT_FALSE(parse("compilation terminated.").recognised);
    EXPECT_FALSE(parse("1 warning and 2 errors generated.").recognised);
    EXPECT_FALSE(parse("").recognised);
}

TEST_F(StandardParser, TheLeftmostKeywordOutsideQuotesDecides) {
    Parsed warning = parse("src/main.c:2:2: warning: #warning \"error: board not configured\"");
    EXPECT_EQ(warning.record.kind(), 3);
    EXPECT_EQ(warning.record.text(), "#warning \"error: board not configured\"");
    // Clang's form of the same line.
    EXPECT_EQ(parse("src/main.c:2:2: warning: \"error: board\" [-W#warnings]").record.kind(), 3);
    // A note whose text mentions an error is still a note.
    EXPECT_EQ(parse("src/main.c:5:1: note: the error: earlier one").record.kind(), 2);
    // Quoted text never counts, with escaped quotes inside it.
    Parsed echo = parse("  printf(\"say \\\"error: %d\\\"\\n\", v);");
    EXPECT_NE(echo.record.kind(), 4);
    // An unterminated quote hides the rest of the line.
    EXPECT_EQ(parse("src/main.c:1:1: warning: missing terminating \" character").record.kind(), 3);
}

TEST_F(StandardParser, GccEchoAndCaretLinesArePlainText) {
    for (QString line : {"    3 |   printf(\"error: %d\\n\", v);", "      |   ^~~~~~",
                         "   12 | int x; // warning: old", "  | x", "3 | y"}) {
        EXPECT_TRUE(StandardDiagnosticParser::isSourceEcho(line)) << line.toStdString();
        EXPECT_FALSE(parse(line).recognised) << line.toStdString();
    }
    for (QString line : {"|x", "12| x", "a | b", "    3 x |"})
        EXPECT_FALSE(StandardDiagnosticParser::isSourceEcho(line)) << line.toStdString();
}

TEST_F(StandardParser, IncludeChainsNameTheIncludingFile) {
    Parsed first = parse("In file included from src/main.c:4:");
    EXPECT_EQ(first.record.file(), file("src/main.c"));
    EXPECT_EQ(first.record.line(), 4);
    EXPECT_EQ(first.record.kind(), 0);
    Parsed next = parse("                 from file.h:2,");
    EXPECT_EQ(next.record.file(), file("file.h"));
    EXPECT_EQ(next.record.line(), 2);
    Parsed absolute = parse("In file included from " + file("file.h") + ":9:");
    EXPECT_EQ(absolute.record.file(), file("file.h"));
    EXPECT_EQ(absolute.record.line(), 9);
}

TEST_F(StandardParser, NumbersBeyondIntAreAbsent) {
    Parsed huge = parse("src/main.c:2147483648:99999999999999999999: error: far");
    EXPECT_EQ(huge.record.line(), -1);
    EXPECT_EQ(huge.record.column(), -1);
    EXPECT_EQ(huge.record.kind(), 4);
    Parsed edge = parse("src/main.c:2147483647:2147483647: error: edge");
    EXPECT_EQ(edge.record.line(), 2147483647);
    EXPECT_EQ(edge.record.column(), 2147483647);
}

TEST_F(StandardParser, FatalErrorsAreFinal) {
    EXPECT_TRUE(parse("src/main.c:1:10: fatal error: x.h: gone").record.isFinal());
    EXPECT_FALSE(parse("src/main.c:1:10: error: x").record.isFinal());
}

TEST_F(StandardParser, ExistenceFollowsTheWorkingDirectory) {
    EXPECT_EQ(parse("src/main.c:1:1: error: x").record.file(), file("src/main.c"));
    m_parser.setWorkingDirectory(file("src"));
    EXPECT_EQ(parse("src/main.c:1:1: error: x").record.file(), "");
    EXPECT_EQ(parse("main.c:1:1: error: x").record.file(), file("src/main.c"));
    // A relative working directory is taken from the current one.
    QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(file("")));
    m_parser.setWorkingDirectory("src/");
    EXPECT_EQ(parse("main.c:1:1: error: x").record.file(), file("src/main.c"));
    QDir::setCurrent(current);
    m_parser.setWorkingDirectory(file("src"));
    // A directory is no file to open.
    EXPECT_EQ(parse(file("src") + ":1:1: error: x").record.file(), "");
}

TEST(CleanLine, StripsCarriageReturnsAndTerminalSequences) {
    EXPECT_EQ(DiagnosticParser::cleanLine("a.c:1:1: error: x\r"), "a.c:1:1: error: x");
    EXPECT_EQ(DiagnosticParser::cleanLine(
                  "\x1b[01m\x1b[Ka.c:1:1:\x1b[m\x1b[K \x1b[01;31m\x1b[Kerror: \x1b[m\x1b[Kx"),
              "a.c:1:1: error: x");
    // GCC's links: ESC ] 8 ;; URL ESC backslash TEXT ESC ] 8 ;; ESC backslash, or ended by BEL.
    EXPECT_EQ(DiagnosticParser::cleanLine("[\x1b]8;;https://x/y\x1b\\-Wcpp\x1b]8;;\x1b\\]"),
              "[-Wcpp]");
    EXPECT_EQ(DiagnosticParser::cleanLine("a\x1b]0;title\ab"), "ab");
    // Unfinished sequences at the end of a line are dropped, not read past.
    EXPECT_EQ(DiagnosticParser::cleanLine("x\x1b"), "x");
    EXPECT_EQ(DiagnosticParser::cleanLine("x\x1b[01"), "x");
    EXPECT_EQ(DiagnosticParser::cleanLine("x\x1b]8;;"), "x");
}

class RegexpParser : public ScratchDirTest {};

TEST_F(RegexpParser, FirstMatchingExpressionGivesANote) {
    RegexpDiagnosticParser parser({"", "^LINT (\\S+) line (\\d+): (.*)$", "^(\\S+)#(\\d+) (.*)$"});
    parser.setWorkingDirectory(QString::fromStdString(path("")));
    parser.setGenerator("lint");
    Parsed parsed = parseWith(parser, "LINT src/a.c line 17: shadowed name");
    ASSERT_TRUE(parsed.recognised);
    EXPECT_EQ(parsed.record.file(), QString::fromStdString(path("src/a.c")));
    EXPECT_EQ(parsed.record.line(), 17);
    EXPECT_EQ(parsed.record.column(), -1);
    EXPECT_EQ(parsed.record.kind(), 2);
    EXPECT_EQ(parsed.record.text(), "shadowed name");
    EXPECT_EQ(parsed.record.generator(), "lint");
    EXPECT_EQ(parseWith(parser, "/abs/b.c#3 text").record.file(), "/abs/b.c");
    // A name starting with a colon is a relative name, not a Qt resource (found by fuzzing).
    EXPECT_EQ(parseWith(parser, ":c:9#12 text").record.file(),
              QString::fromStdString(path(":c:9")));
    EXPECT_FALSE(parseWith(parser, "src/a.c:1:1: error: x").recognised);
}

TEST_F(RegexpParser, BadNumbersAndMissingCaptures) {
    RegexpDiagnosticParser parser({"^(\\S+):(\\w+)"});
    Parsed huge = parseWith(parser, "a.c:99999999999");
    EXPECT_EQ(huge.record.line(), -1);
    EXPECT_EQ(huge.record.text(), "") << "no third capture: no message";
    EXPECT_EQ(parseWith(parser, "a.c:12x").record.line(), -1);
    EXPECT_EQ(parseWith(parser, "a.c:0x1f").record.line(), -1) << "decimal only";
}

TEST_F(RegexpParser, SlotsAndInvalidExpressions) {
    RegexpDiagnosticParser parser;
    EXPECT_FALSE(parser.setExpression(6, "x"));
    EXPECT_FALSE(parser.setExpression(-1, "x"));
    EXPECT_FALSE(parser.setExpression(0, "(unclosed"));
    EXPECT_EQ(parser.expression(0), "");
    EXPECT_FALSE(parseWith(parser, "(unclosed").recognised);
    EXPECT_TRUE(parser.setExpression(5, "^(x)"));
    EXPECT_EQ(parser.expression(5), "^(x)");
    EXPECT_TRUE(parseWith(parser, "x").recognised);
    EXPECT_TRUE(parser.setExpression(5, ""));
    EXPECT_FALSE(parseWith(parser, "x").recognised);
    // Six slots at most; the seventh pattern is not taken.
    RegexpDiagnosticParser many({"a^", "a^", "a^", "a^", "a^", "a^", "(z)"});
    EXPECT_FALSE(parseWith(many, "z").recognised);
}

} // namespace
