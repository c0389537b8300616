#pragma once

#include "script/esobject.h"
#include "script/esstring.h"

#include <cstddef>
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

// The storage of a context's objects, unpooled strings and scope links. Nothing is freed
// before the heap itself: memory comes from large chunks and the objects are destroyed in
// one pass, without recursion, when the context goes. The text of an unpooled string
// lives in the chunk right behind its ESString.
class ESHeap {
public:
    ESHeap() = default;
    ~ESHeap();
    ESHeap(const ESHeap &) = delete;
    ESHeap &operator=(const ESHeap &) = delete;

    template <class T, class... Args> T *make(Args &&...args) {
        T *object = new (allocate(sizeof(T))) T(std::forward<Args>(args)...);
        object->m_nextObject = m_objects;
        m_objects = object;
        return object;
    }
    ESString *makeString(QStringView text);
    ESScope *makeScope(ESScope *next, ESObject *object);

    // Bytes handed out so far, with the text of strings counted.
    std::size_t bytes() const { return m_bytes; }

private:
    void *allocate(std::size_t size);

    static constexpr std::size_t kChunkSize = 2 * 1024 * 1024;
    std::vector<std::unique_ptr<ESPages>> m_chunks;
    std::byte *m_next = nullptr;
    std::byte *m_end = nullptr;
    ESObject *m_objects = nullptr;
    std::size_t m_bytes = 0;
};
