#pragma once

#include "script/esobject.h"
#include "script/esstring.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// Memory taken from the system in whole pages: pages never touched cost nothing, and a
// region aligned for them may be backed by huge pages.
class ESPages {
public:
    ESPages(std::size_t size, bool hugePages);
    ~ESPages();
    ESPages(const ESPages &) = delete;
    ESPages &operator=(const ESPages &) = delete;

    std::byte *data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    std::byte *m_data;
    std::size_t m_size;
};

// The storage of a context's objects, unpooled strings and scope links. Every allocation
// is a cell with a small header (its size, what it holds and a mark bit) followed by the
// payload; cells never move. Small and middle-sized cells come from large chunks and are
// reused through free lists by size, large ones get pages of their own. The collector marks
// the reachable cells; sweep() then destroys the others and merges neighbouring free cells.
class ESHeap {
public:
    enum Kind : std::uint8_t { Free, Object, String, Scope };

    ESHeap();
    ~ESHeap();
    ESHeap(const ESHeap &) = delete;
    ESHeap &operator=(const ESHeap &) = delete;

    template <class T, class... Args> T *make(Args &&...args) {
        static_assert(alignof(T) <= kHeader);
        return new (allocate(sizeof(T), Object)) T(std::forward<Args>(args)...);
    }
    ESString *makeString(QStringView text);
    ESScope *makeScope(ESScope *next, ESObject *object);

    // Bytes in cells not yet found unreachable, with the text of strings counted.
    std::size_t bytes() const { return m_bytes; }
    // Bytes allocated since the last sweep; memory held outside the heap on behalf of its
    // objects (array elements) counts too.
    std::size_t allocatedSinceSweep() const { return m_allocatedSinceSweep; }
    void addOutside(std::size_t bytes);

    // A collection is due once this many bytes were allocated since the last sweep; *flag
    // is raised at that moment so that the interpreter stops at its next safe point.
    void setBudget(std::size_t bytes) { m_budget = bytes; }
    void setSignal(bool *flag) { m_signal = flag; }
    bool collectionDue() const { return m_requested || m_allocatedSinceSweep >= m_budget; }
    void requestCollection() {
        m_requested = true;
        if (m_signal)
            *m_signal = true;
    }

    // Marks the cell holding `payload`; false when it was marked already.
    static bool mark(const void *payload) {
        Header *h = header(payload);
        if (h->marked)
            return false;
        h->marked = 1;
        return true;
    }
    // Destroys every unmarked cell and clears the marks; returns the bytes freed.
    std::size_t sweep();

private:
    struct Header {
        std::uint32_t size; // of the whole cell, a multiple of kGranule
        Kind kind;
        std::uint8_t marked;
        std::uint16_t unused;
    };
    static constexpr std::size_t kHeader = sizeof(Header);
    static constexpr std::size_t kGranule = 16;
    static constexpr std::size_t kSmallLimit = 512; // cells up to this size have exact lists
    static constexpr std::size_t kChunkSize = 2 * 1024 * 1024;
    static constexpr std::size_t kLargeLimit = kChunkSize / 8; // larger cells get own pages

    static Header *header(const void *payload) {
        return reinterpret_cast<Header *>(
            const_cast<std::byte *>(static_cast<const std::byte *>(payload) - kHeader));
    }
    static void *payload(Header *h) { return reinterpret_cast<std::byte *>(h) + kHeader; }
    static Header *&link(Header *h) { return *static_cast<Header **>(payload(h)); }

    void *allocate(std::size_t size, Kind kind);
    Header *allocateLarge(std::size_t size);
    Header *takeMiddle(std::size_t size);
    void newChunk();
    void pushFree(Header *h, std::size_t size);
    // Destroys a cell's content; returns the bytes it took, its own and outside text.
    static std::size_t destroy(Header *h);
    static std::size_t textBytesOf(std::size_t length);

    std::vector<std::unique_ptr<ESPages>> m_chunks;
    std::vector<std::unique_ptr<ESPages>> m_large; // one cell each
    Header *m_small[kSmallLimit / kGranule + 1] = {};
    Header *m_middle = nullptr;  // free cells above kSmallLimit, first fit
    std::byte *m_next = nullptr; // the unused end of the last chunk
    std::byte *m_end = nullptr;
    std::size_t m_bytes = 0;
    std::size_t m_allocatedSinceSweep = 0;
    std::size_t m_budget = SIZE_MAX;
    bool *m_signal = nullptr;
    bool m_requested = false;
};
