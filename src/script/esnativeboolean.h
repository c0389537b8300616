#pragma once

#include "script/esclass.h"

// `Boolean`: the constructor and Boolean.prototype's methods.
class ESNativeBoolean : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
};
