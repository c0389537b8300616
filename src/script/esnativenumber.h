#pragma once

#include "script/esclass.h"

// `Number`: the constructor, its constants and Number.prototype's methods.
class ESNativeNumber : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
};
