#pragma once

#include <QString>

#include <memory>
#include <string_view>

class Hunspell;

// Decides whether a word of a comment is spelt right. Parsers only ask; which dictionary
// answers is the environment's business.
class SpellChecker {
public:
    virtual ~SpellChecker();
    virtual bool isCorrect(std::u16string_view word) const = 0;
};

// A MySpell/Hunspell dictionary: NAME.aff and NAME.dic.
class HunspellChecker : public SpellChecker {
public:
    ~HunspellChecker() override;

    // Opens the dictionary at `path` (with or without the .aff/.dic suffix) or, when `path`
    // names no file, the dictionary of that name in the system's dictionary directories.
    // Returns nullptr with a message in `error` when the files cannot be read or hold no
    // dictionary: a checker without words would mark every word.
    static std::unique_ptr<HunspellChecker> open(const QString &path, QString *error);

    bool isCorrect(std::u16string_view word) const override;

private:
    HunspellChecker() = default;

    std::unique_ptr<Hunspell> m_hunspell;
    bool m_utf8 = true;
};
