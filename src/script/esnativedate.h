#pragma once

#include "script/esclass.h"

// `Date`: time values in milliseconds since 1970-01-01 UTC, with local-time fields and the
// toolkit's text formats.
class ESNativeDate : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
};
