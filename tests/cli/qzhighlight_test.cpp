// qzhighlight as a user runs it: the three output forms, language and scheme choice, spelling,
// and every bad-input path with its message and exit status.

#include "crosstool.h"
#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

class QzHighlight : public ScratchDirTest {
protected:
    // The tool reads the user's environment settings: give it a home of its own.
    void SetUp() override {
        m_home = qgetenv("HOME");
        m_hadHome = qEnvironmentVariableIsSet("HOME");
        qputenv("HOME", m_dir.path().toLocal8Bit());
    }
    void TearDown() override {
        if (m_hadHome)
            qputenv("HOME", m_home);
        else
            qunsetenv("HOME");
    }
    std::string settingsFile(const std::string &name,
                             const std::vector<std::pair<std::string, std::string>> &values) {
        std::string text = "<!DOCTYPE Palindor_Settings_File>\n<settings>\n";
        for (const auto &[key, value] : values)
            text += "  <setting name=\"" + key + "\">" + value + "</setting>\n";
        QDir().mkpath(QFileInfo(QString::fromStdString(path(name))).path());
        return write(name, text + "</settings>\n");
    }
    ToolResult run(const std::vector<std::string> &arguments, const std::string &input = {}) {
        return runTool("qzhighlight", arguments, input, m_dir.path().toStdString());
    }

    QByteArray m_home;
    bool m_hadHome = false;
};

std::string stripAnsi(const std::string &text) {
    static const QRegularExpression sgr(QStringLiteral("\x1b\\[[0-9;:]*m"));
    return QString::fromStdString(text).remove(sgr).toStdString();
}

// Every sample of tests/data/highlight/samples against its golden run list: the parsers'
// rules on realistic text, one language per file.
TEST_F(QzHighlight, SamplesMatchTheirGoldenRuns) {
    QDir samples(QString::fromStdString(testDataPath("highlight/samples")));
    const QStringList files = samples.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 20);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        ToolResult result = run({"--runs", samples.filePath(file).toStdString()});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err, "");
        expectMatchesGolden(result.out, "highlight/golden/" + file.toStdString() + ".runs");
    }
}

TEST_F(QzHighlight, RunsFormat) {
    std::string file = write("t.c", "a\t\"x\\\\y\" // c\r\n\n  \\n\n");
    ToolResult result = run({"--runs", file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "1:1 editor-text a\\t\n"
                          "1:3 string-delimiter \"\n"
                          "1:4 string x\n"
                          "1:5 string-escape \\\\\\\\\n"
                          "1:7 string y\n"
                          "1:8 string-delimiter \"\n"
                          "1:9 editor-text  \n"
                          "1:10 comment // c\n"
                          "3:1 editor-text   \\\\n\n");
}

TEST_F(QzHighlight, ColumnsCountCharactersNotBytes) {
    std::string file = write("t.py", "s = \"\xc3\xa9\xf0\x9f\x98\x80\" + x\n");
    ToolResult result = run({"--runs", file});
    EXPECT_NE(result.out.find("1:9 editor-text  \n1:10 operator +"), std::string::npos)
        << result.out;
}

TEST_F(QzHighlight, LanguageByNameOrShortNameInAnyCase) {
    std::string file = write("notes.txt", "def f(): pass\n");
    EXPECT_EQ(run({"--runs", file}).out, "1:1 editor-text def f(): pass\n");
    for (const char *name : {"PYTHON", "python", "Python"}) {
        ToolResult result = run({"--runs", "--language", name, file});
        EXPECT_EQ(result.out.substr(0, 16), "1:1 keyword def\n") << name;
    }
    EXPECT_EQ(run({"--runs", "--language=c/c++", file}).out.substr(0, 16), "1:1 editor-text ");
    ToolResult unknown = run({"--language", "cobol", file});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "error: unknown language cobol (see --list-languages)\n");
}

TEST_F(QzHighlight, LanguageByWholeFileNameBeforeExtension) {
    std::string file = write("CMakeLists.txt", "if(X)\n");
    EXPECT_EQ(run({"--runs", file}).out.substr(0, 15), "1:1 keyword if\n");
    std::string upper = write("MAIN.C", "int x;\n");
    EXPECT_EQ(run({"--runs", upper}).out.substr(0, 16), "1:1 keyword int\n");
}

TEST_F(QzHighlight, StateCarriesAcrossLinesAndRestartsPerFile) {
    std::string a = write("a.c", "/* open\n");
    std::string b = write("b.c", "x\n");
    ToolResult result = run({"--runs", a, b});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "==> " + a + " <==\n1:1 comment /* open\n==> " + b + " <==\n1:1 editor-text x\n");
}

TEST_F(QzHighlight, AnsiIsTheDefaultAndKeepsTheText) {
    std::string text = "int main(void) { return 0; } /* \xc3\xa9 */\r\nlast";
    std::string file = write("m.c", text);
    ToolResult result = run({file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(stripAnsi(result.out), text);
    // the Default scheme's keyword colour, bold, and a reset before each line break
    EXPECT_NE(result.out.find("\x1b[0;38;2;0;0;192;1mint"), std::string::npos);
    EXPECT_NE(result.out.find("\x1b[0m\r\n"), std::string::npos);
    EXPECT_EQ(run({"--ansi", file}).out, result.out);
}

TEST_F(QzHighlight, HtmlPageWithOneSpanPerRun) {
    std::string file = write("p.c", "if (a < b && c) x = \"&\";\n");
    ToolResult runs = run({"--runs", file});
    ToolResult html = run({"--html", file});
    EXPECT_EQ(html.exitCode, 0);
    EXPECT_EQ(html.out.rfind("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n", 0), 0u);
    EXPECT_NE(html.out.find(".keyword { color: #0000c0; font-weight: bold; }"), std::string::npos);
    EXPECT_NE(html.out.find("<title>" + file + "</title>"), std::string::npos);
    long spans = 0;
    for (std::size_t at = 0; (at = html.out.find("<span class=", at)) != std::string::npos; ++at)
        ++spans;
    EXPECT_EQ(spans, std::count(runs.out.begin(), runs.out.end(), '\n'));
    EXPECT_NE(html.out.find("<span class=\"operator\">&lt;</span>"), std::string::npos);
    EXPECT_NE(html.out.find("<span class=\"string\">&amp;</span>"), std::string::npos);
    EXPECT_EQ(html.out.substr(html.out.size() - 16), "</body>\n</html>\n");
}

TEST_F(QzHighlight, HtmlIsWholeOrNothing) {
    std::string file = write("p.c", "x\n");
    ToolResult result = run({"--html", file, path("missing.c")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("error: cannot read " + path("missing.c")), std::string::npos);
}

TEST_F(QzHighlight, UnreadableFileIsReportedAndTheOthersStillPrinted) {
    std::string file = write("p.c", "x\n");
    ToolResult result = run({"--runs", path("missing.c"), file});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("1:1 editor-text x\n"), std::string::npos);
    EXPECT_EQ(result.err.rfind("error: cannot read " + path("missing.c") + ": ", 0), 0u);
    ToolResult directory = run({"--runs", path("")});
    EXPECT_EQ(directory.exitCode, 1);
    EXPECT_NE(directory.err.find("is a directory"), std::string::npos);
}

TEST_F(QzHighlight, StandardInput) {
    ToolResult result = run({"--runs", "--language", "c", "-"}, "int\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "1:1 keyword int\n");
}

TEST_F(QzHighlight, SchemeFromFileInheritingFromDefault) {
    std::string scheme = write("s.xml", "<!DOCTYPE Tovan_Color_Scheme_File>\n<schemes>\n"
                                        " <scheme name=\"Mine\" inherits=\"Default\">\n"
                                        "  <scheme-color name=\"keyword\" color=\"#102030\"/>\n"
                                        " </scheme>\n</schemes>\n");
    std::string file = write("m.c", "int x; // c\n");
    ToolResult result = run({"--scheme", scheme, file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("\x1b[0;38;2;16;32;48mint"), std::string::npos);
    // the comment colour comes from Default
    EXPECT_NE(result.out.find("\x1b[0;38;2;106;115;125;3m// c"), std::string::npos);
    EXPECT_NE(run({"--scheme", "Dark", file}).out.find("\x1b[0;38;2;86;156;214;1mint"),
              std::string::npos);
}

TEST_F(QzHighlight, SchemeCycleIsAWarningNotAHang) {
    std::string scheme = write("s.xml", "<!DOCTYPE Tovan_Color_Scheme_File>\n<schemes>\n"
                                        " <scheme name=\"A\" inherits=\"B\"/>\n"
                                        " <scheme name=\"B\" inherits=\"A\">\n"
                                        "  <scheme-color name=\"keyword\" color=\"#010203\"/>\n"
                                        " </scheme>\n</schemes>\n");
    std::string file = write("m.c", "int\n");
    ToolResult result = run({"--scheme", scheme, file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "warning: colour scheme A inherits from itself through A -> B\n");
    EXPECT_NE(result.out.find("\x1b[0;38;2;1;2;3mint"), std::string::npos);
}

TEST_F(QzHighlight, BadSchemeFiles) {
    std::string file = write("m.c", "int\n");
    ToolResult missing = run({"--scheme", path("none.xml"), file});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("error: cannot read " + path("none.xml"), 0), 0u);
    std::string wrong = write("w.xml", "<!DOCTYPE Other>\n<schemes/>\n");
    ToolResult other = run({"--scheme", wrong, file});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.err,
              "error: " + wrong + ":1: not a colour scheme file (document type Other)\n");
    std::string broken = write("b.xml", "<schemes><scheme name=\"x\">\n");
    EXPECT_EQ(run({"--scheme", broken, file}).exitCode, 1);
    std::string hidden = write("h.xml", "<schemes><scheme name=\"x\" hidden=\"1\"/></schemes>\n");
    ToolResult none = run({"--scheme", hidden, file});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.err, "error: " + hidden + ": no visible colour scheme\n");
}

TEST_F(QzHighlight, ListLanguages) {
    ToolResult result = run({"--list-languages"});
    EXPECT_EQ(result.exitCode, 0);
    for (const char *name : {"C/C++", "Java", "JavaScript", "XML", "HTML", "VHDL", "Link script",
                             "XC", "Forth", "BASIC", "Markdown", "Assembly Language", "Batch File",
                             "qzDoc", "DovIve", "CMake File", "Device Tree", "YAML", "Python"})
        EXPECT_NE(("\n" + result.out).find(std::string("\n") + name + " "), std::string::npos)
            << name;
    EXPECT_NE(result.out.find("CMakeLists.txt"), std::string::npos);
}

TEST_F(QzHighlight, UsageErrors) {
    std::string file = write("m.c", "int\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{}, "no input files"},
        {{"--bogus", file}, "unknown option --bogus"},
        {{"-x", file}, "unknown option -x"},
        {{"--html", "--runs", file}, "only one of --ansi, --html and --runs"},
        {{file, "--language"}, "--language needs a value"},
        {{"--runs=1", file}, "--runs takes no value"},
    };
    for (const Case &c : cases) {
        ToolResult result = run(c.arguments);
        EXPECT_EQ(result.exitCode, 1) << c.message;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err,
                  "error: " + c.message + "\nTry 'qzhighlight --help' for more information.\n");
    }
    ToolResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: qzhighlight FILE...", 0), 0u);
}

TEST_F(QzHighlight, CommentWordListsFromOptions) {
    std::string file = write("m.c", "// HACK here\n// TODO there\n");
    ToolResult defaults = run({"--runs", file});
    EXPECT_NE(defaults.out.find("1:4 attention HACK"), std::string::npos) << defaults.out;
    EXPECT_NE(defaults.out.find("2:4 fixme TODO"), std::string::npos);
    ToolResult custom = run({"--runs", "--fixme-words", "HACK", "--attention-words=", file});
    EXPECT_NE(custom.out.find("1:4 fixme HACK"), std::string::npos) << custom.out;
    EXPECT_EQ(custom.out.find("TODO\n"), std::string::npos);
}

TEST_F(QzHighlight, SpellingMarksMisspeltCommentWords) {
    if (!QFile::exists("/usr/share/hunspell/en_US.dic")) {
        if (qEnvironmentVariable("CI") == "true")
            FAIL() << "en_US dictionary is missing: scripts/install-deps must install "
                      "hunspell-en-us";
        GTEST_SKIP() << "en_US dictionary is missing: install the Debian package hunspell-en-us";
    }
    std::string file = write("m.c", "int teh; /* the wrold is ROUND */\n");
    ToolResult result = run({"--runs", "--spell", file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("1:10 comment /* the \n1:17 comment+squiggle wrold\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("1:4 editor-text  teh\n"), std::string::npos); // code is not checked
    // a dictionary that cannot be read switches the marks off instead of marking every word
    std::string bad = write("bad.dic", "not a dictionary\n");
    write("bad.aff", "SET UTF-8\n");
    ToolResult off = run({"--runs", "--spell", "--dictionary", path("bad"), file});
    EXPECT_EQ(off.exitCode, 0);
    EXPECT_EQ(off.out.find("squiggle"), std::string::npos);
    EXPECT_EQ(off.err, "warning: cannot read dictionary " + bad + "; spelling is not checked\n");
    ToolResult missing = run({"--runs", "--spell", "--dictionary", "xx_NONE", file});
    EXPECT_EQ(missing.out.find("squiggle"), std::string::npos);
    EXPECT_EQ(missing.err, "warning: cannot find dictionary xx_NONE; spelling is not checked\n");
}

TEST_F(QzHighlight, CommentSettingsFromTheSettingsFileUnderTheOptions) {
    std::string file = write("m.c", "// REVIEW here\n// HACK there\n// TODO too\n");
    std::string settings =
        settingsFile("env.xml", {{"Text Editor/Comments/ATTENTION Words", ""},
                                 {"Text Editor/Comments/FIXME Words", "REVIEW"}});
    std::string before = readFileBytes(settings);
    ToolResult fromFile = run({"--runs", "--settings", settings, file});
    EXPECT_EQ(fromFile.exitCode, 0) << fromFile.err;
    EXPECT_EQ(fromFile.err, "");
    EXPECT_NE(fromFile.out.find("1:4 fixme REVIEW"), std::string::npos) << fromFile.out;
    EXPECT_EQ(fromFile.out.find("attention HACK"), std::string::npos); // emptied list
    EXPECT_EQ(fromFile.out.find("fixme TODO"), std::string::npos);

    ToolResult overridden =
        run({"--runs", "--settings=" + settings, "--fixme-words", "TODO", file});
    EXPECT_NE(overridden.out.find("3:4 fixme TODO"), std::string::npos) << overridden.out;
    EXPECT_EQ(overridden.out.find("fixme REVIEW"), std::string::npos);
    EXPECT_EQ(overridden.out.find("attention HACK"), std::string::npos);
    // the options are not written back
    EXPECT_EQ(readFileBytes(settings), before);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settings + ".bak")));

    // the spelling switch and dictionary come from the file too
    std::string spelling =
        settingsFile("spell.xml", {{"Text Editor/Spelling/Check Comments", "Yes"},
                                   {"Text Editor/Spelling/Dictionary", "xx_NONE"}});
    ToolResult spell = run({"--runs", "--settings", spelling, file});
    EXPECT_EQ(spell.exitCode, 0);
    EXPECT_EQ(spell.err, "warning: cannot find dictionary xx_NONE; spelling is not checked\n");
}

TEST_F(QzHighlight, TheUsersEnvironmentSettingsAreReadFromHome) {
    std::string file = write("m.c", "// REVIEW here\n");
    ToolResult none = run({"--runs", file});
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_EQ(none.err, "");
    EXPECT_EQ(none.out.find("fixme"), std::string::npos);

    settingsFile(".local/share/palindor/environment_settings.xml",
                 {{"Text Editor/Comments/FIXME Words", "REVIEW"}});
    ToolResult user = run({"--runs", file});
    EXPECT_EQ(user.err, "");
    EXPECT_NE(user.out.find("1:4 fixme REVIEW"), std::string::npos) << user.out;
    // --settings replaces the user's file
    std::string other = settingsFile("other.xml", {});
    EXPECT_EQ(run({"--runs", "--settings", other, file}).out.find("fixme"), std::string::npos);

    // a broken user file is a warning; the defaults stand
    std::string broken = write(".local/share/palindor/environment_settings.xml", "<settings>");
    ToolResult warned = run({"--runs", file});
    EXPECT_EQ(warned.exitCode, 0);
    EXPECT_EQ(warned.err.rfind("warning: couldn't read " + broken + ": ", 0), 0u) << warned.err;
    EXPECT_NE(warned.err.find("; the default comment settings are used\n"), std::string::npos);
    EXPECT_EQ(warned.out.find("fixme"), std::string::npos);
}

TEST_F(QzHighlight, ASettingsFileThatCannotBeReadIsAnError) {
    std::string file = write("m.c", "// x\n");
    ToolResult missing = run({"--runs", "--settings", path("absent.xml"), file});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err,
              "error: couldn't read " + path("absent.xml") + ": No such file or directory\n");
    std::string broken = write("broken.xml", "<settings><setting");
    ToolResult bad = run({"--runs", "--settings", broken, file});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("error: couldn't read " + broken + ": ", 0), 0u) << bad.err;
    ToolResult noValue = run({"--runs", file, "--settings"});
    EXPECT_EQ(noValue.exitCode, 1);
    EXPECT_EQ(noValue.err.rfind("error: --settings needs a value\n", 0), 0u) << noValue.err;
    ToolResult empty = run({"--runs", file, "--settings="});
    EXPECT_EQ(empty.err.rfind("error: --settings needs a file name\n", 0), 0u) << empty.err;
}

} // namespace
