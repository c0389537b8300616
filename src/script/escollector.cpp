#include "script/escollector.h"

#include "script/esclass.h"
#include "script/esheap.h"
#include "script/esobject.h"
#include "script/esstring.h"

void ESCollector::markValue(const ESValue &value) {
    if (value.type == ESValue::Object)
        markObject(value.object);
    else if (value.type == ESValue::String)
        markString(value.string);
}

void ESCollector::markObject(ESObject *object) {
    if (object && ESHeap::mark(object))
        m_pending.push_back(object);
}

void ESCollector::markString(ESString *string) {
    if (string && !string->isInterned())
        ESHeap::mark(string);
}

void ESCollector::markScope(ESScope *scope) {
    for (; scope && ESHeap::mark(scope); scope = scope->next)
        markObject(scope->object);
}

void ESCollector::markClass(ESClass *cls) {
    // A class keeps its prototype and constructor for the objects it makes later.
    m_lastClass = cls;
    if (!m_classes.insert(cls).second)
        return;
    markObject(cls->prototype());
    markObject(cls->constructorFunction());
}

void ESCollector::drain() {
    while (!m_pending.empty()) {
        ESObject *object = m_pending.back();
        m_pending.pop_back();
        trace(object);
    }
}

void ESCollector::trace(ESObject *object) {
    if (object->m_class != m_lastClass)
        markClass(object->m_class);
    markObject(object->m_prototype);
    markString(object->m_classString);
    markScope(object->m_scope);
    markValue(object->m_value);
    ESPropertyTable &properties = object->m_properties;
    for (int i = 0, n = properties.size(); i < n; ++i) {
        const ESProperty &p = properties.at(i);
        markString(p.name);
        markValue(p.value);
    }
    switch (object->kind()) {
    case ESObject::Array: {
        auto *array = static_cast<ESArrayObject *>(object);
        m_outsideBytes += array->m_elements.capacity() * sizeof(ESValue);
        for (const ESValue &v : array->m_elements)
            markValue(v);
        break;
    }
    case ESObject::Enumeration:
        for (ESString *name : static_cast<ESEnumerationObject *>(object)->m_names)
            markString(name);
        break;
    default:
        break;
    }
}
