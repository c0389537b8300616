#include "script/esheap.h"

ESHeap::~ESHeap() {
    for (ESObject *o = m_objects; o;) {
        ESObject *next = o->m_nextObject;
        o->~ESObject();
        o = next;
    }
    for (ESString *s = m_strings; s;) {
        ESString *next = s->m_nextString;
        s->~ESString();
        s = next;
    }
}

void *ESHeap::allocate(std::size_t size) {
    size = (size + 15) & ~std::size_t(15);
    m_bytes += size;
    if (size > std::size_t(m_end - m_next)) {
        std::size_t chunk = std::max(size, kChunkSize);
        m_chunks.push_back(std::make_unique_for_overwrite<std::byte[]>(chunk));
        m_next = m_chunks.back().get();
        m_end = m_next + chunk;
    }
    void *p = m_next;
    m_next += size;
    return p;
}

ESString *ESHeap::makeString(QString text) {
    m_bytes += std::size_t(text.size()) * 2;
    ESString *s = new (allocate(sizeof(ESString))) ESString(std::move(text));
    s->m_nextString = m_strings;
    m_strings = s;
    return s;
}

ESScope *ESHeap::makeScope(ESScope *next, ESObject *object) {
    return new (allocate(sizeof(ESScope))) ESScope{next, object};
}
