#pragma once

#include "script/esclass.h"

// `Object`: the constructor and the methods of Object.prototype; also the class of plain
// objects.
class ESNativeObject : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
};
