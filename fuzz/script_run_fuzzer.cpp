// Compiles and runs arbitrary text with an instruction budget polled through
// carryOnExecuting and a memory limit; any outcome but a crash is fine. The collector runs
// at every safe point after an allocation, so that a value it frees while still in use is
// caught by the address checker; the budget is smaller to make up for the collections.
#include "budgetcontext.h"
#include "script/esobject.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    BudgetContext context;
    context.setMemoryLimit(64 * 1024 * 1024);
    context.setCollectionStress(true);
    // Scripts must not reach the file system.
    context.defineProperty(context.globalObject(), "load", ESValue::undefined(), 0);
    context.run(data, size);
    return 0;
}
