#pragma once

#include "script/esclass.h"

// `String`: the constructor, String.fromCharCode, String.prototype's methods, and the class
// of String objects, which answer `length` from their value.
class ESNativeString : public ESClass {
public:
    ESNativeString() { m_plainAccess = false; }
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;
    bool getOwnProperty(ESContext &context, ESObject *object, ESString *name, ESValue *value,
                        std::uint32_t *attributes) override;
    void put(ESContext &context, ESObject *object, ESString *name, const ESValue &value) override;
    bool deleteProperty(ESContext &context, ESObject *object, ESString *name) override;
};
