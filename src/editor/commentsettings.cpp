#include "editor/commentsettings.h"

#include "editor/spellchecker.h"
#include "settings/settings.h"

#include <QStringList>

KeywordList keywordListFromSetting(const QString &text) {
    KeywordList list;
    for (const QString &item : text.split(';', Qt::SkipEmptyParts)) {
        QString word = item.trimmed();
        list.add(std::u16string_view(reinterpret_cast<const char16_t *>(word.utf16()),
                                     std::size_t(word.size())));
    }
    return list;
}

CommentSettings CommentSettings::read(const ValueLookup &value, QString *warning) {
    CommentSettings settings;
    settings.fixmeWords = keywordListFromSetting(value(kFixmeWordsKey, kDefaultFixmeWords));
    settings.attentionWords =
        keywordListFromSetting(value(kAttentionWordsKey, kDefaultAttentionWords));
    settings.lintWords = keywordListFromSetting(value(kLintWordsKey, kDefaultLintWords));
    if (value(kCheckCommentsKey, kDefaultCheckComments) == "Yes") {
        QString error;
        settings.spellChecker =
            HunspellChecker::open(value(kDictionaryKey, kDefaultDictionary), &error);
        if (!settings.spellChecker && warning)
            *warning = error;
    }
    return settings;
}

CommentSettings CommentSettings::read(const Settings &store, QString *warning) {
    return read(
        [&](const char *key, const char *defaultValue) {
            QString name = QString::fromLatin1(key);
            return store.contains(name) ? store.value(name) : QString::fromLatin1(defaultValue);
        },
        warning);
}
