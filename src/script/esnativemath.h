#pragma once

#include "script/esclass.h"

// `Math`: an object with the mathematical functions and constants.
class ESNativeMath : public ESClass {
public:
    void install(ESContext &context, const char *name) override;
};
