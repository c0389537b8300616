#include "editor/keywordlist.h"

#include <algorithm>

KeywordList::KeywordList(std::initializer_list<const char *> words) {
    for (const char *word : words) {
        std::u16string wide;
        for (const char *p = word; *p; ++p)
            wide.push_back(char16_t(static_cast<unsigned char>(*p)));
        add(wide);
    }
}

void KeywordList::add(std::u16string_view word) {
    if (word.empty())
        return;
    auto at = std::lower_bound(m_words.begin(), m_words.end(), word);
    if (at != m_words.end() && *at == word)
        return;
    m_words.insert(at, std::u16string(word));
    m_longest = std::max(m_longest, word.size());
}

bool KeywordList::contains(std::u16string_view word) const {
    if (word.size() > m_longest)
        return false;
    auto at =
        std::lower_bound(m_words.begin(), m_words.end(), word,
                         [](const std::u16string &a, std::u16string_view b) { return a < b; });
    return at != m_words.end() && *at == word;
}
