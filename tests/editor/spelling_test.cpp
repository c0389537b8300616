// Spell checking of comments: the words marked agree with the hunspell command on the same
// text, words in code are never marked, and a dictionary that cannot be read marks nothing.

#include "parsertesting.h"

#include "editor/codeeditcparser.h"
#include "editor/commentsettings.h"
#include "editor/spellchecker.h"
#include "editor/styletable.h"
#include "settings/settings.h"

#include "crosstool.h"
#include "golden.h"
#include "scratchdirtest.h"

#include <QProcess>

#include <set>

namespace {

bool haveEnglishDictionary() {
    QString error;
    return HunspellChecker::open("en_US", &error) != nullptr;
}

#define REQUIRE_DICTIONARY()                                                                       \
    do {                                                                                           \
        if (!haveEnglishDictionary()) {                                                            \
            if (qEnvironmentVariable("CI") == "true")                                              \
                FAIL() << "en_US is missing: scripts/install-deps must install hunspell-en-us";    \
            GTEST_SKIP() << "en_US is missing: install the Debian package hunspell-en-us";         \
        }                                                                                          \
    } while (0)

// The marked words and the comment text of every line of `lines`, parsed in order.
void parseComments(CodeEditParser &parser, const QStringList &lines, std::set<std::string> &marked,
                   QString &commentText) {
    parser.setLineState(0);
    for (const QString &line : lines) {
        std::u16string text(reinterpret_cast<const char16_t *>(line.utf16()), line.size());
        ParseResult result = parseLine(parser, text, parser.lineState());
        parser.setLineState(result.state);
        std::u16string decoded;
        std::vector<MarkupRun> runs;
        std::u16string terminated = result.markup + u'\0';
        decodeMarkup(terminated.c_str(), decoded, runs);
        for (const MarkupRun &run : runs) {
            QString piece = QString::fromUtf16(decoded.data() + run.start, run.length);
            if (run.flags & kMarkupSquiggle)
                marked.insert(piece.toStdString());
            if (run.style == StyleComment)
                commentText += piece + "\n";
        }
    }
}

class Spelling : public ::testing::Test {
protected:
    void TearDown() override { CodeEditParser::setCommentSettings(nullptr); }
    CodeEditCParser m_parser;
};

TEST_F(Spelling, MarksAgreeWithTheHunspellCommand) {
    REQUIRE_TOOL("hunspell", "hunspell");
    REQUIRE_DICTIONARY();
    CommentSettings settings;
    settings.spellChecker = HunspellChecker::open("en_US", nullptr);
    CodeEditParser::setCommentSettings(&settings);
    QStringList lines =
        QString::fromStdString(readFileBytes(testDataPath("highlight/spelling.c"))).split('\n');
    std::set<std::string> marked;
    QString commentText;
    parseComments(m_parser, lines, marked, commentText);

    QProcess hunspell;
    hunspell.start("hunspell", {"-l", "-d", "en_US"});
    hunspell.write(commentText.toUtf8());
    hunspell.closeWriteChannel();
    ASSERT_TRUE(hunspell.waitForFinished(30000));
    std::set<std::string> expected;
    for (const QByteArray &word : hunspell.readAllStandardOutput().split('\n'))
        if (!word.isEmpty())
            expected.insert(word.toStdString());
    EXPECT_EQ(marked, expected);
    // the fixture has misspellings in block and line comments, and "teh"-like words in code
    // (none here) would not count
    EXPECT_TRUE(marked.count("recieves") && marked.count("nubmer") && marked.count("retun"));
    EXPECT_FALSE(marked.count("doesn't"));
}

TEST_F(Spelling, CapitalsCodeAndGluedWordsAreNotChecked) {
    REQUIRE_DICTIONARY();
    CommentSettings settings;
    settings.spellChecker = HunspellChecker::open("en_US", nullptr);
    CodeEditParser::setCommentSettings(&settings);
    EXPECT_MARKUP(parseLine(m_parser, u"wrold; // XYZZY x86 foo_bar wrold").markup,
                  esc(0) + u"wrold" + esc(7) + u";" + esc(0) + u" " + esc(2) +
                      u"// XYZZY x86 foo_bar " + esc(315) + u"wrold" + esc(316));
    // apostrophes around a word are not part of it
    EXPECT_MARKUP(parseLine(m_parser, u"// 'wrold'").markup,
                  esc(2) + u"// '" + esc(315) + u"wrold" + esc(316) + u"'");
}

class SpellingFiles : public ScratchDirTest {};

TEST_F(SpellingFiles, UnreadableDictionaryLeavesSpellingOff) {
    write("broken.dic", "no count here\nword\n");
    write("broken.aff", "SET UTF-8\n");
    QString error;
    EXPECT_EQ(HunspellChecker::open(QString::fromStdString(path("broken")), &error), nullptr);
    EXPECT_EQ(error.toStdString(), "cannot read dictionary " + path("broken.dic"));
    EXPECT_EQ(HunspellChecker::open(QString::fromStdString(path("absent")), &error), nullptr);
    EXPECT_EQ(error.toStdString(), "cannot find dictionary " + path("absent"));

    // through the settings: checking asked for, but no checker, so no marks
    QString warning;
    CommentSettings settings = CommentSettings::read(
        [&](const char *key, const char *defaultValue) -> QString {
            if (QString(key) == CommentSettings::kCheckCommentsKey)
                return "Yes";
            if (QString(key) == CommentSettings::kDictionaryKey)
                return QString::fromStdString(path("broken.dic"));
            return defaultValue;
        },
        &warning);
    EXPECT_EQ(settings.spellChecker, nullptr);
    EXPECT_EQ(warning.toStdString(), "cannot read dictionary " + path("broken.dic"));
    CodeEditParser::setCommentSettings(&settings);
    CodeEditCParser parser;
    EXPECT_MARKUP(parseLine(parser, u"// wrold").markup, esc(2) + u"// wrold");
    CodeEditParser::setCommentSettings(nullptr);
}

TEST(CommentSettingsRead, DefaultsAndLists) {
    CommentSettings settings =
        CommentSettings::read([](const char *key, const char *defaultValue) -> QString {
            if (QString(key) == CommentSettings::kLintWordsKey)
                return " lint ; ;PC-lint";
            return defaultValue;
        });
    EXPECT_EQ(settings.spellChecker, nullptr); // checking is off by default
    EXPECT_TRUE(settings.fixmeWords.contains(u"FIXME"));
    EXPECT_TRUE(settings.attentionWords.contains(u"NOTE"));
    EXPECT_TRUE(settings.lintWords.contains(u"lint"));
    EXPECT_TRUE(settings.lintWords.contains(u"PC-lint"));
    EXPECT_FALSE(settings.lintWords.contains(u""));
}

TEST_F(SpellingFiles, ReadFromASettingsStore) {
    Settings store;
    store.setValue(CommentSettings::kFixmeWordsKey, "HACK;REVIEW");
    store.setValue(CommentSettings::kAttentionWordsKey, ""); // emptied by the user
    store.setValue(CommentSettings::kCheckCommentsKey, "No");
    store.setValue(CommentSettings::kDictionaryKey, QString::fromStdString(path("absent")));
    QString warning;
    CommentSettings settings = CommentSettings::read(store, &warning);
    EXPECT_TRUE(settings.fixmeWords.contains(u"REVIEW"));
    EXPECT_FALSE(settings.fixmeWords.contains(u"FIXME"));
    EXPECT_FALSE(settings.attentionWords.contains(u"NOTE"));
    EXPECT_TRUE(settings.lintWords.contains(u"NOLINT")); // not in the store: the default
    EXPECT_EQ(settings.spellChecker, nullptr);
    EXPECT_TRUE(warning.isEmpty()); // checking is off, so the dictionary is not opened

    // "Yes" exactly switches checking on; a removed key is unset again
    store.setValue(CommentSettings::kCheckCommentsKey, "yes");
    EXPECT_EQ(CommentSettings::read(store, &warning).spellChecker, nullptr);
    EXPECT_TRUE(warning.isEmpty());
    store.setValue(CommentSettings::kCheckCommentsKey, "Yes");
    EXPECT_EQ(CommentSettings::read(store, &warning).spellChecker, nullptr);
    EXPECT_EQ(warning.toStdString(), "cannot find dictionary " + path("absent"));
    store.remove(CommentSettings::kFixmeWordsKey);
    EXPECT_TRUE(CommentSettings::read(store).fixmeWords.contains(u"FIXME"));
}

} // namespace
