#pragma once

#include "script/espropertytable.h"
#include "script/esvalue.h"

#include <cstdint>
#include <vector>

class ESClass;
class ESCode;
class ESObject;
class ESString;

// One link of a scope chain: `with` pushes one, a call of a function whose variables live
// in an activation object pushes one. The global object is searched after the last link.
struct ESScope {
    ESScope *next;
    ESObject *object;
};

// A script object. Behaviour lives in its ESClass; the object holds its data: prototype
// link, class string, function data, primitive value and property table. Objects live in
// the context's heap until the collector finds them unreachable.
class ESObject {
public:
    enum Kind : std::uint8_t { Plain, Array, Enumeration, Activation };
    static constexpr std::int32_t kNotAFunction = -2;
    static constexpr std::int32_t kScriptFunction = -1;

    ESObject(ESClass *cls, ESObject *prototype, ESString *classString, Kind kind = Plain)
        : m_prototype(prototype), m_class(cls), m_classString(classString), m_kind(kind) {
        m_value = ESValue::undefined();
    }
    virtual ~ESObject() = default;
    ESObject(const ESObject &) = delete;
    ESObject &operator=(const ESObject &) = delete;

    bool isFunction() const { return m_nativeIndex != kNotAFunction; }
    bool isScriptFunction() const { return m_nativeIndex == kScriptFunction; }
    bool isNativeFunction() const { return m_nativeIndex >= 0; }
    Kind kind() const { return m_kind; }

    // The own entry named `name` (live), or null.
    ESProperty *ownEntry(const ESString *name) {
        int i = m_properties.find(name);
        return i >= 0 ? &m_properties.at(i) : nullptr;
    }

    ESObject *m_prototype;
    ESClass *m_class;
    ESString *m_classString;
    ESCode *m_code = nullptr;   // script functions: their compiled code
    ESScope *m_scope = nullptr; // script functions: the scope chain captured at creation
    std::int32_t m_nativeIndex = kNotAFunction;
    std::int32_t m_parameterCount = 0; // functions: arguments padded with undefined up to this
    Kind m_kind;
    ESValue m_value; // the primitive value of Boolean, Number, String and Date objects
    ESPropertyTable m_properties;
};

// An Array object: elements 0..n-1 live in a dense vector (holes marked), other indices
// and names in the property table. `length` is kept here rather than as an entry.
class ESArrayObject : public ESObject {
public:
    ESArrayObject(ESClass *cls, ESObject *prototype, ESString *classString)
        : ESObject(cls, prototype, classString, Array) {}
    std::vector<ESValue> m_elements;
    std::uint32_t m_length = 0;
    std::uint32_t m_sparse = 0; // element entries held in the property table
};

// The state of a for-in loop: the names to visit and the position reached.
class ESEnumerationObject : public ESObject {
public:
    ESEnumerationObject(ESClass *cls, ESObject *prototype, ESString *classString)
        : ESObject(cls, prototype, classString, Enumeration) {}
    std::vector<ESString *> m_names;
    std::uint32_t m_index = 0;
};
