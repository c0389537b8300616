#include "script/espersistent.h"

#include "script/escontext.h"

ESPersistent::ESPersistent(ESContext *context, ESValue value) : m_context(context), m_value(value) {
    if (!m_context)
        return;
    m_next = m_context->m_persistents;
    if (m_next)
        m_next->m_previous = this;
    m_context->m_persistents = this;
}

ESPersistent::~ESPersistent() {
    if (!m_context)
        return;
    if (m_previous)
        m_previous->m_next = m_next;
    else
        m_context->m_persistents = m_next;
    if (m_next)
        m_next->m_previous = m_previous;
}
