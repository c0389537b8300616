#pragma once

#include "script/esobject.h"
#include "script/esstring.h"

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// The storage of a context's objects, unpooled strings and scope links. Nothing is freed
// before the heap itself: memory comes from large chunks and everything is destroyed in
// one pass, without recursion, when the context goes.
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
    ESString *makeString(QString text);
    ESScope *makeScope(ESScope *next, ESObject *object);

    // Bytes handed out so far, with the text of strings counted.
    std::size_t bytes() const { return m_bytes; }
    void account(std::size_t bytes) { m_bytes += bytes; }

private:
    void *allocate(std::size_t size);

    static constexpr std::size_t kChunkSize = 256 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> m_chunks;
    std::byte *m_next = nullptr;
    std::byte *m_end = nullptr;
    ESObject *m_objects = nullptr;
    ESString *m_strings = nullptr;
    std::size_t m_bytes = 0;
};
