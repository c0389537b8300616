// An independent oracle: pygments' lexers on public source files of this machine. The coarse
// class of every non-blank character (comment, string, number, preprocessor, other) must
// agree in at least 99 % of the characters. The differences that are choices of ours, not
// faults, are listed per language and not counted.

#include "editor/codeeditparserregistry.h"
#include "editor/styletable.h"

#include "crosstool.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

char ourClass(int style) {
    switch (style) {
    case StyleComment:
    case StyleFixme:
    case StyleAttention:
    case StyleLint:
    case StyleDocKeyword:
    case StyleDocArgument:
    case StyleDocCode:
        return 'c';
    case StyleString:
    case StyleStringDelimiter:
    case StyleStringEscape:
        return 's';
    case StyleLiteral:
        return 'n';
    case StyleControl:
        return 'p';
    default:
        return 'o';
    }
}

// One character where the two disagree, with what the difference rules need to know.
struct Character {
    char ours;
    char theirs;
    const QString &line; // the whole line
    qsizetype column;    // in UTF-16 units
    bool directive;      // on a C preprocessor line or its continuation
    bool ifZero;         // between "#if 0" and its "#else" or "#endif"
    std::uint32_t state; // our line state at the start of the line
};

using KnownDifference = std::function<bool(const Character &)>;

struct Language {
    const char *id;    // our short name
    const char *lexer; // pygments' name
    QStringList files;
    std::vector<std::pair<const char *, KnownDifference>> known;
};

// Files below `roots` whose names end in one of `suffixes`, in name order, up to `budget`
// bytes in all.
QStringList publicFiles(const QStringList &roots, const QStringList &suffixes, qint64 budget,
                        bool recursive) {
    QStringList all;
    for (const QString &root : roots) {
        QDirIterator it(root, QDir::Files | QDir::Readable,
                        recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
        while (it.hasNext()) {
            QString file = it.next();
            for (const QString &suffix : suffixes)
                if (file.endsWith(suffix)) {
                    all << file;
                    break;
                }
        }
    }
    all.sort();
    QStringList chosen;
    qint64 total = 0;
    for (const QString &file : all) {
        qint64 size = QFileInfo(file).size();
        if (size == 0 || size > budget / 4 || total + size > budget)
            continue;
        chosen << file;
        total += size;
    }
    return chosen;
}

std::map<QString, QString> pygmentsClasses(const char *lexer, const QStringList &files) {
    QProcess python;
    python.start("/usr/bin/python3", QStringList{QString(PYGMENTS_SCRIPT), lexer} + files);
    EXPECT_TRUE(python.waitForFinished(600000));
    std::map<QString, QString> result;
    for (const QByteArray &line : python.readAllStandardOutput().split('\n')) {
        qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            result[QString::fromUtf8(line.left(tab))] = QString::fromLatin1(line.mid(tab + 1));
    }
    return result;
}

bool pygmentsAvailable() {
    QProcess python;
    python.start("/usr/bin/python3", {"-c", "import pygments"});
    return python.waitForFinished(30000) && python.exitCode() == 0;
}

void compare(const Language &language) {
    std::map<QString, QString> theirs = pygmentsClasses(language.lexer, language.files);
    CodeEditParser *parser = CodeEditParserRegistry::instance().findLanguage(language.id)->parser;
    long counted = 0, agreed = 0, files = 0;
    std::map<std::string, long> known;
    std::map<std::string, std::pair<long, std::string>> unknown; // "ours/theirs" -> count, example
    std::vector<char16_t> markup;
    std::u16string text;
    std::vector<MarkupRun> runs;
    for (const QString &file : language.files) {
        auto found = theirs.find(file);
        if (found == theirs.end() || found->second == "SKIP")
            continue;
        QFile input(file);
        if (!input.open(QIODevice::ReadOnly))
            continue;
        QString content = QString::fromUtf8(input.readAll());
        const QString &classes = found->second;
        ++files;
        parser->setLineState(0);
        qsizetype at = 0; // code point index into classes
        bool directive = false, continued = false;
        int ifZero = 0;
        for (const QString &line : content.split('\n')) {
            QString trimmed = line.trimmed();
            directive = trimmed.startsWith('#') || (directive && continued);
            continued = line.endsWith('\\');
            if (trimmed.startsWith('#')) {
                QString word = trimmed.mid(1).trimmed().section(QRegularExpression("\\W"), 0, 0);
                if (ifZero > 0 && word.startsWith("if"))
                    ++ifZero;
                else if (ifZero > 0 && word == "endif")
                    --ifZero;
                else if (ifZero == 1 && (word == "else" || word == "elif"))
                    ifZero = 0;
                else if (ifZero == 0 &&
                         QRegularExpression("^#\\s*if\\s+0\\b").match(trimmed).hasMatch())
                    ifZero = 1;
            }
            std::u16string units(reinterpret_cast<const char16_t *>(line.utf16()), line.size());
            std::uint32_t state = parser->lineState();
            markup.resize(std::size_t(markupCapacity(long(units.size()))));
            int braces = 0;
            parser->parse(units.c_str(), markup.data(), braces);
            decodeMarkup(markup.data(), text, runs);
            for (const MarkupRun &run : runs)
                for (long i = run.start; i < run.start + run.length; ++i) {
                    char16_t c = text[std::size_t(i)];
                    if (c >= 0xDC00 && c <= 0xDFFF)
                        continue;
                    char other = at < classes.size() ? char(classes[at].unicode()) : 'o';
                    ++at;
                    if (QChar(c).isSpace())
                        continue;
                    Character character{ourClass(run.style), other,      line, qsizetype(i),
                                        directive,           ifZero > 0, state};
                    if (character.ours == character.theirs) {
                        ++counted;
                        ++agreed;
                        continue;
                    }
                    bool excused = false;
                    for (const auto &[description, rule] : language.known)
                        if (rule(character)) {
                            ++known[description];
                            excused = true;
                            break;
                        }
                    if (excused)
                        continue;
                    ++counted;
                    auto &entry = unknown[std::string{character.ours, '/', character.theirs}];
                    if (entry.first++ < 3)
                        entry.second += "\n    " + file.toStdString() + ": " +
                                        line.trimmed().left(100).toStdString();
                }
            ++at; // the line break
        }
    }
    ASSERT_GT(files, 0) << "no files compared";
    double agreement = counted ? double(agreed) / double(counted) : 1.0;
    std::string report;
    for (const auto &[pair, entry] : unknown)
        report += "\n  ours/theirs " + pair + ": " + std::to_string(entry.first) + entry.second;
    for (const auto &[description, count] : known)
        report += "\n  known: " + std::string(description) + ": " + std::to_string(count);
    std::printf("%s: %ld files, %ld characters, %.3f %% agree\n", language.id, files, counted,
                100.0 * agreement);
    EXPECT_GE(agreement, 0.99) << report;
    if (qEnvironmentVariable("ORACLE_REPORT") == "1")
        std::printf("%s\n", report.c_str());
}

class PygmentsOracle : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTool("/usr/bin/python3") || !pygmentsAvailable()) {
            if (qEnvironmentVariable("CI") == "true")
                FAIL() << "pygments is missing: scripts/install-deps must install "
                          "python3-pygments";
            GTEST_SKIP() << "pygments is missing: install the Debian package python3-pygments";
        }
    }
};

constexpr qint64 kBudget = 700 * 1024;

TEST_F(PygmentsOracle, C) {
    compare({"c",
             "c",
             publicFiles({"/usr/include"}, {".h"}, kBudget, false),
             {{"pygments gives a whole preprocessor line (and its continuations) the "
               "preprocessor class; we give it to the directive and colour the rest as code, "
               "header names as strings",
               [](const Character &c) { return c.directive && c.theirs == 'p' && c.ours != 'c'; }},
              {"pygments shows the lines of an #if 0 block as a comment; we colour them",
               [](const Character &c) { return c.ifZero && c.theirs == 'c'; }},
              {"a sign before a number is part of the number to pygments, an operator to us",
               [](const Character &c) {
                   return c.theirs == 'n' && c.ours == 'o' &&
                          (c.line[c.column] == '-' || c.line[c.column] == '+');
               }}}});
}

TEST_F(PygmentsOracle, Python) {
    compare({"python",
             "python",
             publicFiles({"/usr/lib/python3.11", "/usr/lib/python3"}, {".py"}, kBudget, false),
             {}});
}

TEST_F(PygmentsOracle, XML) {
    compare({"xml", "xml", publicFiles({"/usr/share"}, {".xml"}, kBudget, true), {}});
}

TEST_F(PygmentsOracle, CMake) {
    compare({"cmake",
             "cmake",
             publicFiles({"/usr/share"}, {".cmake"}, kBudget, true),
             {{"pygments shows unquoted arguments as strings; we colour them as text",
               [](const Character &c) { return c.theirs == 's' && c.ours == 'o'; }},
              {"pygments before 2.15 (Debian 12's) ends a bracket comment #[[ ... ]] at its "
               "first line break and reads the rest as code; we colour it to its closing bracket",
               [](const Character &c) {
                   return c.ours == 'c' && c.theirs != 'c' && (c.state & 0xFF) == 1;
               }},
              {"after some commands pygments reads whole-line comments as unquoted arguments",
               [](const Character &c) {
                   return c.theirs == 's' && c.ours == 'c' && c.line.trimmed().startsWith('#');
               }}}});
}

TEST_F(PygmentsOracle, YAML) {
    compare({"yaml",
             "yaml",
             publicFiles({"/usr/share", "/usr/lib"}, {".yaml", ".yml"}, kBudget, true),
             {{"the lines of a block scalar (| or >) are strings to us, constants to pygments",
               [](const Character &c) {
                   return (c.state & 0xFF) == 3 && c.ours == 's' && c.theirs == 'o';
               }},
              {"numbers among plain scalars are literals to us, plain text to pygments",
               [](const Character &c) { return c.ours == 'n' && c.theirs == 'o'; }}}});
}

} // namespace
