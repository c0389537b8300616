#pragma once

#include "script/esvalue.h"

#include <cstddef>
#include <unordered_set>
#include <vector>

class ESClass;
class ESObject;
class ESString;
struct ESScope;

// The mark phase of a collection: marks what the roots given to it reach, with an explicit
// stack rather than recursion, so that long chains of objects cannot exhaust the native
// stack. Pooled strings live in the pool and are never marked.
class ESCollector {
public:
    void markValue(const ESValue &value);
    void markObject(ESObject *object);
    void markString(ESString *string);
    void markScope(ESScope *scope);
    void markClass(ESClass *cls);
    // Traces everything reached from the objects marked so far.
    void drain();
    // Memory the reachable arrays hold outside the heap for their elements.
    std::size_t outsideBytes() const { return m_outsideBytes; }

private:
    void trace(ESObject *object);

    std::vector<ESObject *> m_pending;
    std::unordered_set<ESClass *> m_classes;
    ESClass *m_lastClass = nullptr;
    std::size_t m_outsideBytes = 0;
};
