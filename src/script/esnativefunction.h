#pragma once

#include "script/esclass.h"

// `Function`: the constructor compiling text into a function, Function.prototype.toString,
// and the class of script function objects.
class ESNativeFunction : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
};
