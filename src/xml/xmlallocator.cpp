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
// Objects are aligned to this.
constexpr std::size_t kAlignment = 8;
// Larger objects get a slab of their own, so a slab never wastes more than this at its end.
constexpr std::size_t kLargest = kSlabSize / 8;
// Held by the thread that still allocates from a slab; far above the objects a slab holds,
// so that releases cannot bring the count to zero before the slab is retired.
constexpr std::int64_t kOwnerHold = std::int64_t(1) << 40;

struct Slab {
    std::atomic<std::int64_t> live;
    bool mapped; // a piece of a mapping, else a block of its own from malloc
};

// Every slab, large ones too, starts at a multiple of the slab size and holds its objects
// within its first kSlabSize bytes: an object's slab is its address rounded down, so objects
// need no pointer to it.
Slab *slabOf(void *pointer) {
    return reinterpret_cast<Slab *>(std::uintptr_t(pointer) & ~(kSlabSize - 1));
}

void *mapAnonymous(std::size_t size) {
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    return memory;
}

// Fresh memory for slabs, aligned to the slab size, in huge pages where the system has them
// to give: one fault then maps what would take hundreds, and walks over a large tree miss
// the TLB far less often. Mappings of whole huge pages mostly come aligned to them already;
// others are cut out of a larger one.
char *map(std::size_t size) {
    char *memory = static_cast<char *>(mapAnonymous(size));
    if (std::uintptr_t(memory) % kSlabSize) {
        munmap(memory, size);
        const std::size_t mapped = size + kSlabSize;
        char *raw = static_cast<char *>(mapAnonymous(mapped));
        memory = reinterpret_cast<char *>((std::uintptr_t(raw) + kSlabSize - 1) &
                                          ~std::uintptr_t(kSlabSize - 1));
        if (memory != raw)
            munmap(raw, std::size_t(memory - raw));
        munmap(memory + size, std::size_t(raw + mapped - (memory + size)));
    }
    madvise(memory, size, MADV_HUGEPAGE);
    return memory;
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
    void *memory = nullptr;
    if (posix_memalign(&memory, kSlabSize, bytes) != 0)
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
    // Never 0, so that no object starts at the end of its slab.
    size = (std::max<std::size_t>(size, 1) + kAlignment - 1) & ~(kAlignment - 1);
    if (size > kLargest)
        return newLargeSlab(sizeof(Slab) + size) + 1;
    Cursor &cursor = t_cursor;
    if (std::size_t(cursor.end - cursor.next) < size) {
        cursor.retire();
        cursor.slab = newSlab(kOwnerHold);
        cursor.next = reinterpret_cast<char *>(cursor.slab + 1);
        cursor.end = reinterpret_cast<char *>(cursor.slab) + kSlabSize;
    }
    void *pointer = cursor.next;
    cursor.next += size;
    ++cursor.handedOut;
    return pointer;
#endif
}

void xmlRelease(void *pointer) noexcept {
#ifdef XML_PLAIN_HEAP
    ::operator delete(pointer);
#else
    if (pointer)
        drop(slabOf(pointer), -1);
#endif
}
