#pragma once

#include <QStringView>

#include <memory>
#include <vector>

class ESString;
class QString;

// The interned strings of one context. Interning the same text twice yields the same
// ESString; a string's index in creation order is the 16-bit string operand of the byte
// code. Strings live as long as the pool.
class ESStringPool {
public:
    ESStringPool();
    ~ESStringPool();
    ESStringPool(const ESStringPool &) = delete;
    ESStringPool &operator=(const ESStringPool &) = delete;

    ESString *intern(QStringView text);
    ESString *intern(const QString &text);
    ESString *find(QStringView text) const;
    ESString *at(int index) const { return m_strings[std::size_t(index)].get(); }
    int size() const { return int(m_strings.size()); }

private:
    std::size_t slotOf(QStringView text, std::uint32_t hash) const;
    void grow();

    std::vector<std::unique_ptr<ESString>> m_strings;
    std::vector<ESString *> m_slots; // open addressing, power-of-two size
};
