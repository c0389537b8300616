#pragma once

// What the script fuzzers share: a context with an instruction budget polled through
// carryOnExecuting, and a run in which script errors and the engine's limits are expected
// outcomes (only a crash is a finding).
#include "script/escontext.h"
#include "script/esexception.h"

#include <QString>

#include <cstddef>
#include <cstdint>

class BudgetContext : public ESContext {
public:
    bool carryOnExecuting() override { return ++m_steps < 20000; }

    void run(const std::uint8_t *data, std::size_t size) {
        m_steps = 0;
        QString source = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
        try {
            ESCompletion completion = evaluate(QStringLiteral("fuzz.js"), source);
            if (completion.type == ESCompletion::Normal)
                toText(completion.value);
        } catch (const ESException &) {
            // Converting the result can raise a script error.
        } catch (const ESFatalError &) {
            // Stack, memory and code-size limits.
        }
    }

private:
    long m_steps = 0;
};
