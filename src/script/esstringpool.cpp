#include "script/esstringpool.h"

#include "script/esstring.h"

ESStringPool::ESStringPool() : m_slots(1024, nullptr) {}

ESStringPool::~ESStringPool() = default;

std::size_t ESStringPool::slotOf(QStringView text, std::uint32_t hash) const {
    std::size_t mask = m_slots.size() - 1;
    std::size_t i = hash & mask;
    while (ESString *s = m_slots[i]) {
        if (s->hash() == hash && QStringView(s->text()) == text)
            return i;
        i = (i + 1) & mask;
    }
    return i;
}

ESString *ESStringPool::find(QStringView text) const {
    return m_slots[slotOf(text, ESString::hashOf(text))];
}

ESString *ESStringPool::intern(const QString &text) {
    std::uint32_t hash = ESString::hashOf(text);
    std::size_t slot = slotOf(text, hash);
    if (ESString *s = m_slots[slot])
        return s;
    // A copy of its own: the text may live in the context's heap.
    m_strings.push_back(
        std::make_unique<ESString>(QString(text.constData(), text.size()), int(m_strings.size())));
    ESString *s = m_strings.back().get();
    m_slots[slot] = s;
    if (m_strings.size() * 2 > m_slots.size())
        grow();
    return s;
}

ESString *ESStringPool::intern(QStringView text) {
    std::uint32_t hash = ESString::hashOf(text);
    if (ESString *s = m_slots[slotOf(text, hash)])
        return s;
    return intern(text.toString());
}

void ESStringPool::grow() {
    std::vector<ESString *> fresh(m_slots.size() * 2, nullptr);
    m_slots.swap(fresh);
    for (auto &s : m_strings)
        m_slots[slotOf(s->text(), s->hash())] = s.get();
}
