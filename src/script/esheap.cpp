#include "script/esheap.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
#define ES_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ES_LEAK_CHECKED 1
#endif
#endif
#ifdef ES_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
}

ESPages::ESPages(std::size_t size, bool hugePages) : m_size(size) {
    std::size_t extra = hugePages ? kHugePage : 0;
    void *p = mmap(nullptr, size + extra, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    auto start = reinterpret_cast<std::uintptr_t>(p);
    auto aligned = hugePages ? (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1) : start;
    if (aligned > start)
        munmap(p, aligned - start);
    if (std::size_t tail = extra - (aligned - start))
        munmap(reinterpret_cast<void *>(aligned + size), tail);
    m_data = reinterpret_cast<std::byte *>(aligned);
    if (hugePages)
        madvise(m_data, size, MADV_HUGEPAGE);
#ifdef ES_LEAK_CHECKED
    // The leak checker must look for pointers in these pages as it does in the heap.
    __lsan_register_root_region(m_data, m_size);
#endif
}

ESPages::~ESPages() {
#ifdef ES_LEAK_CHECKED
    __lsan_unregister_root_region(m_data, m_size);
#endif
    munmap(m_data, m_size);
}

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
        m_chunks.push_back(std::make_unique<ESPages>(chunk, true));
        m_next = m_chunks.back()->data();
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
