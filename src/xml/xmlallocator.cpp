#include "xml/xmlallocator.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define XML_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XML_PLAIN_HEAP 1
#endif
#endif

#ifndef XML_PLAIN_HEAP
namespace {

constexpr std::size_t kSlabSize = 64 * 1024;
// Slabs are cut from larger mappings, each twice the last, so that small documents do not
// hold more than they use and large ones take few mappings.
constexpr std::size_t kFirstMapping = 4 * kSlabSize;
constexpr std::size_t kLargestMapping = 64 * kSlabSize;
// Every object is preceded by a pointer to its slab.
constexpr std::size_t kPrefix = sizeof(void *);
// Larger objects get a slab of their own, so a slab never wastes more than this at its end.
constexpr std::size_t kLargest = kSlabSize / 8;
// Held by the thread that still allocates from a slab; far above the objects a slab holds,
// so that releases cannot bring the count to zero before the slab is retired.
constexpr std::int64_t kOwnerHold = std::int64_t(1) << 40;

struct Slab {
    std::atomic<std::int64_t> live;
    bool mapped; // a piece of a mapping, else a block of its own from malloc
};

// Fresh memory for slabs, in huge pages where the system has them to give: one fault then
// maps what would take hundreds, and walks over a large tree miss the TLB far less often.
char *map(std::size_t size) {
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    madvise(memory, size, MADV_HUGEPAGE);
    return static_cast<char *>(memory);
}

// What is left of the thread's last mapping; given back when the thread ends.
struct Reservoir {
    char *next = nullptr;
    char *end = nullptr;
    std::size_t nextMapping = kFirstMapping;

    void *take() {
        if (next == end) {
            next = map(nextMapping);
            end = next + nextMapping;
            nextMapping = std::min(nextMapping * 2, kLargestMapping);
        }
        void *slab = next;
        next += kSlabSize;
        return slab;
    }
    ~Reservoir() {
        if (next != end)
            munmap(next, std::size_t(end - next));
    }
};

thread_local Reservoir t_reservoir;

Slab *newSlab(std::int64_t live) {
    return new (t_reservoir.take()) Slab{live, true};
}

Slab *newLargeSlab(std::size_t bytes) {
    void *memory = std::malloc(bytes);
    if (!memory)
        throw std::bad_alloc();
    return new (memory) Slab{1, false};
}

void drop(Slab *slab, std::int64_t delta) {
    if (slab->live.fetch_add(delta, std::memory_order_acq_rel) + delta == 0) {
        const bool mapped = slab->mapped;
        slab->~Slab();
        if (mapped)
            munmap(slab, kSlabSize);
        else
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
        Slab *slab = newLargeSlab(sizeof(Slab) + size);
        return place(slab, reinterpret_cast<char *>(slab + 1));
    }
    Cursor &cursor = t_cursor;
    if (std::size_t(cursor.end - cursor.next) < size) {
        cursor.retire();
        cursor.slab = newSlab(kOwnerHold);
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
