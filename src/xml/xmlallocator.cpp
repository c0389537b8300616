#include "xml/xmlallocator.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define XML_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XML_PLAIN_HEAP 1
#endif
#endif

#ifndef XML_PLAIN_HEAP
namespace {

// Slabs come from malloc and stay below its mmap threshold: mapping and unmapping each one
// costs far more than the allocations it serves.
constexpr std::size_t kSlabSize = 64 * 1024;
// Every object is preceded by a pointer to its slab.
constexpr std::size_t kPrefix = sizeof(void *);
// Larger objects get a slab of their own, so a slab never wastes more than this at its end.
constexpr std::size_t kLargest = kSlabSize / 8;
// Held by the thread that still allocates from a slab; far above the objects a slab holds,
// so that releases cannot bring the count to zero before the slab is retired.
constexpr std::int64_t kOwnerHold = std::int64_t(1) << 40;

struct Slab {
    std::atomic<std::int64_t> live;
};

Slab *newSlab(std::size_t bytes, std::int64_t live) {
    void *memory = std::malloc(bytes);
    if (!memory)
        throw std::bad_alloc();
    return new (memory) Slab{live};
}

void drop(Slab *slab, std::int64_t delta) {
    if (slab->live.fetch_add(delta, std::memory_order_acq_rel) + delta == 0) {
        slab->~Slab();
        std::free(slab);
    }
}

void *place(Slab *slab, char *at) {
    std::memcpy(at, &slab, kPrefix);
    return at + kPrefix;
}

struct Cursor {
    Slab *slab = nullptr;
    char *next = nullptr;
    char *end = nullptr;
    std::int64_t handedOut = 0;

    // Trades the hold for the number of objects handed out, which releases then count down.
    void retire() {
        if (slab)
            drop(slab, handedOut - kOwnerHold);
        slab = nullptr;
        next = end = nullptr;
        handedOut = 0;
    }
    ~Cursor() { retire(); }
};

thread_local Cursor t_cursor;

} // namespace
#endif

void *xmlAllocate(std::size_t size) {
#ifdef XML_PLAIN_HEAP
    return ::operator new(size);
#else
    size = kPrefix + ((size + kPrefix - 1) & ~(kPrefix - 1));
    if (size > kLargest) {
        Slab *slab = newSlab(sizeof(Slab) + size, 1);
        return place(slab, reinterpret_cast<char *>(slab + 1));
    }
    Cursor &cursor = t_cursor;
    if (std::size_t(cursor.end - cursor.next) < size) {
        cursor.retire();
        cursor.slab = newSlab(kSlabSize, kOwnerHold);
        cursor.next = reinterpret_cast<char *>(cursor.slab + 1);
        cursor.end = reinterpret_cast<char *>(cursor.slab) + kSlabSize;
    }
    void *pointer = place(cursor.slab, cursor.next);
    cursor.next += size;
    ++cursor.handedOut;
    return pointer;
#endif
}

void xmlRelease(void *pointer) noexcept {
#ifdef XML_PLAIN_HEAP
    ::operator delete(pointer);
#else
    if (pointer) {
        Slab *slab;
        std::memcpy(&slab, static_cast<char *>(pointer) - kPrefix, kPrefix);
        drop(slab, -1);
    }
#endif
}
