#pragma once

#include <cstdint>

class ESObject;
class ESString;

// A script value: a type tag and an eight-byte payload. It is trivially copyable and left
// uninitialised by default so that the value stack costs nothing until it is used.
struct ESValue {
    enum Type : std::uint32_t {
        Undefined = 0,
        Null = 1,
        Boolean = 2, // payload 1.0 or 0.0
        Number = 3,
        String = 4, // a string that is not in the pool
        Object = 5,
        Hole = 6, // an absent array element; never seen by scripts
        InternedString = 7,
    };

    std::uint32_t type;
    union {
        double number;
        ESObject *object;
        ESString *string;
    };

    static ESValue undefined() {
        ESValue v;
        v.type = Undefined;
        v.number = 0;
        return v;
    }
    static ESValue null() {
        ESValue v;
        v.type = Null;
        v.number = 0;
        return v;
    }
    static ESValue hole() {
        ESValue v;
        v.type = Hole;
        v.number = 0;
        return v;
    }
    static ESValue fromBool(bool b) {
        ESValue v;
        v.type = Boolean;
        v.number = b ? 1.0 : 0.0;
        return v;
    }
    static ESValue fromNumber(double d) {
        ESValue v;
        v.type = Number;
        v.number = d;
        return v;
    }
    static ESValue fromObject(ESObject *o) {
        ESValue v;
        v.type = Object;
        v.object = o;
        return v;
    }
    // Tag 7 for pooled strings, tag 4 for the others.
    static ESValue fromString(ESString *s);

    bool isUndefined() const { return type == Undefined; }
    bool isNull() const { return type == Null; }
    bool isNullOrUndefined() const { return type == Null || type == Undefined; }
    bool isBoolean() const { return type == Boolean; }
    bool isNumber() const { return type == Number; }
    bool isString() const { return type == String || type == InternedString; }
    bool isObject() const { return type == Object; }
    bool isHole() const { return type == Hole; }
    bool isPrimitive() const { return type != Object; }
    bool boolean() const { return number != 0.0; }
};

static_assert(sizeof(ESValue) == 16);
