// Compiles and runs arbitrary text with an instruction budget polled through
// carryOnExecuting and a memory limit; any outcome but a crash is fine. The collector runs
// at every safe point after an allocation, so that a value it frees while still in use is
// caught by the address checker; the budget is smaller to make up for the collections.
#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esobject.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

class BudgetContext : public ESContext {
public:
    bool carryOnExecuting() override { return ++m_steps < 20000; }
    long m_steps = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    BudgetContext context;
    context.setMemoryLimit(64 * 1024 * 1024);
    context.setCollectionStress(true);
    // Scripts must not reach the file system.
    context.defineProperty(context.globalObject(), "load", ESValue::undefined(), 0);
    QString source = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        ESCompletion completion = context.evaluate(QStringLiteral("fuzz.js"), source);
        if (completion.type == ESCompletion::Normal)
            context.toText(completion.value);
    } catch (const ESException &) {
        // Converting the result can raise a script error.
    } catch (const ESFatalError &) {
        // Stack, memory and code-size limits.
    }
    return 0;
}
