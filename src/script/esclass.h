#pragma once

#include "script/esvalue.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

class ESContext;
class ESObject;
class ESString;

using ESNativeMethod = ESValue (*)(ESContext &context, ESObject *function, const ESValue &thisValue,
                                   int argc, ESValue *argv);

// The definition record of a native method. Native and host classes list their methods as
// tables of these and install them through ESContext::defineMethod.
struct ESMethodDef {
    const char *name;     // the property name on the holder
    const char *fullName; // the class string of the function object, "Math.abs"
    int length;           // declared argument count; missing arguments arrive as undefined
    int index;            // the method index the class's call() dispatches on
    ESNativeMethod method = nullptr; // null when the class's call() handles the index itself
    const char *help = nullptr;      // simple HTML; gives the function a `help` property
};

// A numeric constant of a native object (Math.PI, Number.MAX_VALUE).
struct ESConstantDef {
    const char *name;
    double value;
};

// Argument i of a native call, undefined when the caller passed fewer.
inline ESValue esArgument(int argc, const ESValue *argv, int i) {
    return i < argc ? argv[i] : ESValue::undefined();
}

// Behaviour shared by the objects of one kind; one instance per kind per context.
// Natives and host classes override call, construct, install and, where they keep
// properties of their own, the property operations.
class ESClass {
public:
    ESClass() = default;
    virtual ~ESClass();
    ESClass(const ESClass &) = delete;
    ESClass &operator=(const ESClass &) = delete;

    // The property along the prototype chain, undefined when absent.
    virtual ESValue get(ESContext &context, ESObject *object, ESString *name);
    // Sets an own entry unless it is read-only, otherwise appends one.
    virtual void put(ESContext &context, ESObject *object, ESString *name, const ESValue &value);
    // An own property: its value and attributes when present.
    virtual bool getOwnProperty(ESContext &context, ESObject *object, ESString *name,
                                ESValue *value, std::uint32_t *attributes);
    // False for a property that may not be deleted; true otherwise, also when absent.
    virtual bool deleteProperty(ESContext &context, ESObject *object, ESString *name);
    // Own property names with their attributes, in insertion order.
    virtual void ownProperties(ESContext &context, ESObject *object,
                               std::vector<std::pair<ESString *, std::uint32_t>> &out);

    // Calls a native function object of this class.
    virtual ESValue call(ESContext &context, ESObject *function, const ESValue &thisValue, int argc,
                         ESValue *argv);
    // Constructs with a native constructor of this class; null when it makes no object.
    virtual ESObject *construct(ESContext &context, ESObject *function, int argc, ESValue *argv);
    // Creates the class's prototype object and defines it on the global object.
    virtual void install(ESContext &context, const char *name);

    ESObject *prototype() const { return m_prototype; }
    ESObject *constructorFunction() const { return m_constructor; }
    // True while get and getOwnProperty behave as the plain table lookup, which lets the
    // interpreter search such objects inline.
    bool hasPlainAccess() const { return m_plainAccess; }

    // Defines the methods of `table` on `holder`, and remembers their handlers.
    void defineMethods(ESContext &context, ESObject *holder, std::span<const ESMethodDef> table);
    // Defines read-only, hidden, permanent numeric constants on `holder`.
    static void defineConstants(ESContext &context, ESObject *holder,
                                std::span<const ESConstantDef> table);

protected:
    // Defines the constructor of `record` on the global object and links it with
    // `prototype` (its `prototype` property and the prototype's `constructor`).
    ESObject *installConstructor(ESContext &context, const ESMethodDef &record,
                                 ESObject *prototype);

    ESObject *m_prototype = nullptr;
    ESObject *m_constructor = nullptr;
    bool m_plainAccess = true;
    std::vector<ESNativeMethod> m_methods; // by method index
};
