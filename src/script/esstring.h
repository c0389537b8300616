#pragma once

#include <QString>

#include <cstdint>

// A script string. Pooled strings (names, literals, property keys) are unique per text, so
// names compare by identity; other strings (results of string operations) live in the
// context's heap until collected, and are pooled on demand when they are used as a key.
// A reference to text() is valid while the string is reachable; a QString copy of it owns
// its share of the text and stays valid after.
class ESString {
public:
    explicit ESString(QString text, int poolIndex = -1);

    const QString &text() const { return m_text; }
    int size() const { return int(m_text.size()); }
    int poolIndex() const { return m_poolIndex; }
    bool isInterned() const { return m_poolIndex >= 0; }
    std::uint32_t hash() const { return m_hash; }

    // For pooled strings: i when the text is the canonical decimal form of an integer
    // 0 <= i < 2^31 - 1, else -1. Arrays use it to tell elements from other properties.
    std::int32_t arrayIndex() const { return m_arrayIndex; }

    static std::uint32_t hashOf(QStringView text);
    static std::int32_t arrayIndexOf(QStringView text);

private:
    friend class ESStringPool;
    friend class ESHeap;
    QString m_text;
    std::uint32_t m_hash = 0;
    std::int32_t m_poolIndex;
    std::int32_t m_arrayIndex = -1;

public:
    ESString *m_pooled = nullptr; // the pooled twin of an unpooled string, once known
};
