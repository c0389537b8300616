#pragma once

#include "script/esclass.h"

#include <cstdint>

class ESArrayObject;

// `Array`: the constructor, Array.prototype's methods, and the class of arrays, which keeps
// `length` consistent with the elements.
class ESNativeArray : public ESClass {
public:
    ESNativeArray() { m_plainAccess = false; }
    void install(ESContext &context, const char *name) override;
    ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv) override;

    void put(ESContext &context, ESObject *object, ESString *name, const ESValue &value) override;
    bool getOwnProperty(ESContext &context, ESObject *object, ESString *name, ESValue *value,
                        std::uint32_t *attributes) override;
    bool deleteProperty(ESContext &context, ESObject *object, ESString *name) override;
    void ownProperties(ESContext &context, ESObject *object,
                       std::vector<std::pair<ESString *, std::uint32_t>> &out) override;

    static void setElement(ESContext &context, ESArrayObject *array, std::uint32_t index,
                           const ESValue &value);
    static void setLength(ESContext &context, ESArrayObject *array, double length);
};
