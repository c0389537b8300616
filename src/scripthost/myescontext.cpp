#include "scripthost/myescontext.h"

#include "scripthost/scriptsystem.h"

#include <QCoreApplication>

namespace {
// Processing events costs far more than an instruction: the script system does it once per
// this many.
constexpr unsigned kEventInterval = 1024;
constexpr unsigned kConsoleEventInterval = 11;
} // namespace

MyESContext::MyESContext(ScriptSystem &system, bool processEvents)
    : m_system(system), m_processEvents(processEvents) {}

bool MyESContext::carryOnExecuting() {
    if (m_processEvents && ++m_count % kEventInterval == 0 && QCoreApplication::instance())
        QCoreApplication::processEvents();
    return !m_system.stopRequested();
}

bool MyESContext2::carryOnExecuting() {
    if (++m_count % kConsoleEventInterval == 0 && QCoreApplication::instance())
        QCoreApplication::processEvents();
    return m_keepGoing;
}
