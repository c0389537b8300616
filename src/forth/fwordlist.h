#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class PColonChild;

// A word list: the latest header of each name (names compare without regard to case), and
// every header in the order it was added, for listings.
class FWordList {
public:
    explicit FWordList(std::string name) : m_name(std::move(name)) {}

    const std::string &name() const noexcept { return m_name; }
    PColonChild *find(std::string_view name) const;
    // Adds a header; returns the one it hides, if any.
    PColonChild *add(PColonChild *word);
    // Visible words, the latest first.
    std::vector<PColonChild *> words() const;
    void clear();
    // MARKER: the number of headers added so far, and forgetting every header after them
    // (the names they hid come back).
    std::size_t size() const noexcept { return m_order.size(); }
    void truncate(std::size_t count);

    static std::string key(std::string_view name);

private:
    std::string m_name;
    std::unordered_map<std::string, PColonChild *> m_map;
    std::vector<PColonChild *> m_order;
};
