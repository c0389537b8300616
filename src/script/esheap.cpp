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
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
#endif

namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// Under the address checker the payload of a free cell is poisoned, so that a value the
// collector freed while something still used it is reported where it is used.
void poison(void *p, std::size_t size) {
#ifdef ES_LEAK_CHECKED
    ASAN_POISON_MEMORY_REGION(p, size);
#else
    (void)p, (void)size;
#endif
}
void unpoison(void *p, std::size_t size) {
#ifdef ES_LEAK_CHECKED
    ASAN_UNPOISON_MEMORY_REGION(p, size);
#else
    (void)p, (void)size;
#endif
}
} // namespace

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
    // The checker's record of poisoned bytes outlives the mapping: pages mapped here later
    // must not inherit it.
    ASAN_UNPOISON_MEMORY_REGION(m_data, m_size);
#endif
    munmap(m_data, m_size);
}

ESHeap::ESHeap() = default;

ESHeap::~ESHeap() {
    // Every cell goes now, reachable or not.
    for (auto &chunk : m_chunks) {
        std::byte *end = &chunk == &m_chunks.back() ? m_next : chunk->data() + chunk->size();
        for (std::byte *p = chunk->data(); p < end;) {
            auto *h = reinterpret_cast<Header *>(p);
            p += h->size;
            destroy(h);
        }
    }
    for (auto &pages : m_large)
        destroy(reinterpret_cast<Header *>(pages->data()));
}

std::size_t ESHeap::destroy(Header *h) {
    // Scope links own nothing outside their cell.
    if (h->kind == Object) {
        static_cast<ESObject *>(payload(h))->~ESObject();
    } else if (h->kind == String) {
        auto *string = static_cast<ESString *>(payload(h));
        std::size_t textBytes = textBytesOf(std::size_t(string->size()));
        string->~ESString();
        return h->size + textBytes;
    }
    return h->size;
}

void ESHeap::addOutside(std::size_t bytes) {
    m_allocatedSinceSweep += bytes;
    if (m_allocatedSinceSweep >= m_budget && m_signal)
        *m_signal = true;
}

void *ESHeap::allocate(std::size_t size, Kind kind) {
    size = (size + kHeader + kGranule - 1) & ~(kGranule - 1);
    Header *h;
    if (size <= kSmallLimit && m_small[size / kGranule]) {
        h = m_small[size / kGranule];
        unpoison(payload(h), size - kHeader);
        m_small[size / kGranule] = link(h);
    } else if (size > kLargeLimit) {
        h = allocateLarge(size);
    } else if (size <= std::size_t(m_end - m_next)) {
        h = reinterpret_cast<Header *>(m_next);
        unpoison(h, size);
        m_next += size;
    } else if (!(h = takeMiddle(size))) {
        newChunk();
        h = reinterpret_cast<Header *>(m_next);
        m_next += size;
    }
    h->size = std::uint32_t(size);
    h->kind = kind;
    h->marked = 0;
    m_bytes += size;
    m_allocatedSinceSweep += size;
    if (m_allocatedSinceSweep >= m_budget && m_signal)
        *m_signal = true;
    return payload(h);
}

ESHeap::Header *ESHeap::allocateLarge(std::size_t size) {
    if (size > UINT32_MAX)
        throw std::bad_alloc();
    m_large.push_back(std::make_unique<ESPages>(size, false));
    return reinterpret_cast<Header *>(m_large.back()->data());
}

ESHeap::Header *ESHeap::takeMiddle(std::size_t size) {
    for (Header **p = &m_middle; *p; p = &link(*p)) {
        Header *h = *p;
        if (h->size < size)
            continue;
        *p = link(h);
        unpoison(payload(h), h->size - kHeader);
        if (std::size_t rest = h->size - size) {
            auto *tail = reinterpret_cast<Header *>(reinterpret_cast<std::byte *>(h) + size);
            pushFree(tail, rest);
        }
        return h;
    }
    return nullptr;
}

void ESHeap::newChunk() {
    // The rest of the current chunk becomes a free cell, so that every chunk is a
    // sequence of cells from its start to its end.
    if (m_next < m_end)
        pushFree(reinterpret_cast<Header *>(m_next), std::size_t(m_end - m_next));
    // Large aligned chunks let the kernel back them with huge pages: a script that makes
    // millions of objects then takes few page faults.
    m_chunks.push_back(std::make_unique<ESPages>(kChunkSize, true));
    m_next = m_chunks.back()->data();
    m_end = m_next + kChunkSize;
}

void ESHeap::pushFree(Header *h, std::size_t size) {
    unpoison(h, kHeader + sizeof(Header *));
    h->size = std::uint32_t(size);
    h->kind = Free;
    h->marked = 0;
    Header *&list = size <= kSmallLimit ? m_small[size / kGranule] : m_middle;
    link(h) = list;
    list = h;
    poison(reinterpret_cast<std::byte *>(h) + kHeader + sizeof(Header *),
           size - kHeader - sizeof(Header *));
}

std::size_t ESHeap::sweep() {
    std::size_t freed = 0;
    std::fill(std::begin(m_small), std::end(m_small), nullptr);
    m_middle = nullptr;
    for (auto &chunk : m_chunks) {
        std::byte *start = chunk->data();
        bool current = &chunk == &m_chunks.back();
        std::byte *end = current ? m_next : start + chunk->size();
        std::byte *run = nullptr; // the first of the free cells just walked
        for (std::byte *p = start; p < end;) {
            auto *h = reinterpret_cast<Header *>(p);
            std::size_t size = h->size;
            if (h->kind != Free && h->marked) {
                h->marked = 0;
                if (run)
                    pushFree(reinterpret_cast<Header *>(run), std::size_t(p - run));
                run = nullptr;
            } else {
                if (h->kind != Free) {
                    freed += destroy(h);
                    h->kind = Free;
                }
                if (!run)
                    run = p;
            }
            p += size;
        }
        if (run && current) {
            // Free cells at the end of the last chunk go back to its unused end.
            poison(run, std::size_t(m_next - run));
            m_next = run;
        } else if (run) {
            pushFree(reinterpret_cast<Header *>(run), std::size_t(end - run));
        }
    }
    for (std::size_t i = 0; i < m_large.size();) {
        auto *h = reinterpret_cast<Header *>(m_large[i]->data());
        if (h->marked) {
            h->marked = 0;
            ++i;
            continue;
        }
        freed += destroy(h);
        m_large[i] = std::move(m_large.back());
        m_large.pop_back();
    }
    m_bytes -= freed;
    m_allocatedSinceSweep = 0;
    m_requested = false;
    return freed;
}

ESString *ESHeap::makeString(QStringView text) {
    // The text is a QString of its own rather than part of the cell: copies of it that
    // natives and hosts keep stay valid after the string is collected.
    void *cell = allocate(sizeof(ESString), String);
    std::size_t textBytes = textBytesOf(std::size_t(text.size()));
    m_bytes += textBytes;
    m_allocatedSinceSweep += textBytes;
    return new (cell) ESString(text.toString());
}

std::size_t ESHeap::textBytesOf(std::size_t length) {
    return (length + 1) * sizeof(char16_t);
}

ESScope *ESHeap::makeScope(ESScope *next, ESObject *object) {
    return new (allocate(sizeof(ESScope), Scope)) ESScope{next, object};
}
