#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// A sorted list of words, looked up by binary search on a view of the line: no allocation on
// the lookup, which runs for every identifier of every painted line.
class KeywordList {
public:
    KeywordList() = default;
    KeywordList(std::initializer_list<const char *> words);

    void add(std::u16string_view word);
    void clear() { m_words.clear(); }
    bool contains(std::u16string_view word) const;
    bool empty() const { return m_words.empty(); }
    // The longest word's length: longer candidates need no lookup.
    std::size_t longest() const { return m_longest; }

private:
    std::vector<std::u16string> m_words;
    std::size_t m_longest = 0;
};
