#include "forth/fwordlist.h"

#include "forth/pcolonchild.h"

std::string FWordList::key(std::string_view name) {
    std::string key(name);
    for (char &c : key) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return key;
}

PColonChild *FWordList::find(std::string_view name) const {
    auto it = m_map.find(key(name));
    return it == m_map.end() ? nullptr : it->second;
}

PColonChild *FWordList::add(PColonChild *word) {
    PColonChild *&slot = m_map[key(word->name())];
    PColonChild *hidden = slot;
    slot = word;
    m_order.push_back(word);
    return hidden;
}

std::vector<PColonChild *> FWordList::words() const {
    std::vector<PColonChild *> visible;
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it) {
        if (find((*it)->name()) == *it)
            visible.push_back(*it);
    }
    return visible;
}

void FWordList::clear() {
    m_map.clear();
    m_order.clear();
}

void FWordList::truncate(std::size_t count) {
    if (count >= m_order.size())
        return;
    m_order.resize(count);
    m_map.clear();
    for (PColonChild *word : m_order)
        m_map[key(word->name())] = word;
}
