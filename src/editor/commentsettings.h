#pragma once

#include "editor/keywordlist.h"

#include <QString>

#include <functional>
#include <memory>

class Settings;
class SpellChecker;

// What the parsers take from the environment settings for comments: the word lists that mark
// the first word of a line comment, and whether comment words are spell-checked, read from the
// environment settings under the keys below.
struct CommentSettings {
    static constexpr const char *kCheckCommentsKey = "Text Editor/Spelling/Check Comments";
    static constexpr const char *kDictionaryKey = "Text Editor/Spelling/Dictionary";
    static constexpr const char *kFixmeWordsKey = "Text Editor/Comments/FIXME Words";
    static constexpr const char *kAttentionWordsKey = "Text Editor/Comments/ATTENTION Words";
    static constexpr const char *kLintWordsKey = "Text Editor/Comments/Lint Words";

    // Defaults of the keys above, as "Yes"/"No" and ";"-separated lists.
    static constexpr const char *kDefaultCheckComments = "No";
    static constexpr const char *kDefaultDictionary = "en_US";
    static constexpr const char *kDefaultFixmeWords = "FIXME;TODO;XXX;BUG";
    static constexpr const char *kDefaultAttentionWords = "ATTENTION;NOTE;WARNING;HACK;NB";
    static constexpr const char *kDefaultLintWords = "lint;NOLINT;NOLINTNEXTLINE";

    KeywordList fixmeWords;
    KeywordList attentionWords;
    KeywordList lintWords;
    // Null when spelling is off or the dictionary could not be read: no marks then.
    std::shared_ptr<const SpellChecker> spellChecker;

    // Reads every key through `value` (key, default) -> text and opens the dictionary when
    // checking is on. A dictionary that cannot be read leaves checking off; its message goes
    // to `warning` when given.
    using ValueLookup = std::function<QString(const char *key, const char *defaultValue)>;
    static CommentSettings read(const ValueLookup &value, QString *warning = nullptr);
    // The same from a settings store: a key it does not hold takes its default; one it holds
    // empty stays empty (an emptied word list marks nothing).
    static CommentSettings read(const Settings &store, QString *warning = nullptr);
};

// Splits a ";"-separated settings list into a keyword list (empty items dropped).
KeywordList keywordListFromSetting(const QString &text);
