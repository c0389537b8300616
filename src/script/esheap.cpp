#include "script/esheap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

ESHeap::~ESHeap() {
    for (ESObject *o = m_objects; o;) {
        ESObject *next = o->m_nextObject;
        o->~ESObject();
        o = next;
    }
}

void *ESHeap::allocate(std::size_t size) {
    size = (size + 15) & ~std::size_t(15);
    m_bytes += size;
    if (size > std::size_t(m_end - m_next)) {
        // Large aligned chunks let the kernel back them with huge pages: a script that
        // makes millions of objects then takes few page faults.
        std::size_t chunk = (std::max(size, kChunkSize) + kChunkSize - 1) & ~(kChunkSize - 1);
        void *memory = std::aligned_alloc(kChunkSize, chunk);
        if (!memory)
            throw std::bad_alloc();
        madvise(memory, chunk, MADV_HUGEPAGE);
        m_chunks.emplace_back(static_cast<std::byte *>(memory));
        m_next = m_chunks.back().get();
        m_end = m_next + chunk;
    }
    void *p = m_next;
    m_next += size;
    return p;
}

ESString *ESHeap::makeString(QStringView text) {
    // The QString refers to the copy in the chunk; it owns nothing, so the string needs no
    // destruction.
    std::size_t header = (sizeof(ESString) + 15) & ~std::size_t(15);
    auto *block = static_cast<std::byte *>(
        allocate(header + (std::size_t(text.size()) + 1) * sizeof(char16_t)));
    auto *chars = reinterpret_cast<char16_t *>(block + header);
    std::copy(text.utf16(), text.utf16() + text.size(), chars);
    chars[text.size()] = 0;
    return new (block)
        ESString(QString::fromRawData(reinterpret_cast<const QChar *>(chars), text.size()));
}

ESScope *ESHeap::makeScope(ESScope *next, ESObject *object) {
    return new (allocate(sizeof(ESScope))) ESScope{next, object};
}
