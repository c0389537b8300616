#pragma once

#include "script/esvalue.h"

class ESContext;

// A script value held by native code between calls: a host object's callback, a bound
// object, a pending result, or a value a native keeps while it calls into script. While
// the holder lives, the value and everything it reaches stay alive: the context's
// collector treats it as a root. Holders belong to the context's thread and must not
// outlive the context.
class ESPersistent {
public:
    explicit ESPersistent(ESContext *context, ESValue value = ESValue::undefined());
    ~ESPersistent();
    ESPersistent(const ESPersistent &) = delete;
    ESPersistent &operator=(const ESPersistent &) = delete;

    ESContext *context() const { return m_context; }
    ESValue value() const { return m_value; }
    void setValue(ESValue value) { m_value = value; }

private:
    friend class ESContext;
    ESContext *m_context;
    ESValue m_value;
    ESPersistent *m_previous = nullptr; // the context's list of holders
    ESPersistent *m_next = nullptr;
};
