#include "script/esnativeboolean.h"

#include "script/escontext.h"
#include "script/esobject.h"

namespace {

bool thisBoolean(ESContext &c, const ESValue &self) {
    if (self.isBoolean())
        return self.boolean();
    if (self.isObject() && self.object->m_class == c.booleanClass() &&
        self.object->m_value.isBoolean())
        return self.object->m_value.boolean();
    c.throwTypeError(QStringLiteral("Boolean.prototype.toString called on non-Boolean object"));
}

ESValue booleanCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromBool(c.toBoolean(esArgument(argc, argv, 0)));
}

ESValue booleanToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromString(thisBoolean(c, self) ? c.names().trueName : c.names().falseName);
}

ESValue booleanValueOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromBool(thisBoolean(c, self));
}

const ESMethodDef kConstructor = {"Boolean", "Boolean", 1, 0, booleanCall};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Boolean.prototype.toString", 0, 1, booleanToString},
    {"valueOf", "Boolean.prototype.valueOf", 0, 2, booleanValueOf},
};

} // namespace

void ESNativeBoolean::install(ESContext &context, const char *) {
    ESObject *prototype = context.newObject(this, context.objectPrototype(), "Boolean");
    prototype->m_value = ESValue::fromBool(false);
    installConstructor(context, kConstructor, prototype);
    defineMethods(context, prototype, kPrototypeMethods);
}

ESObject *ESNativeBoolean::construct(ESContext &context, ESObject *function, int argc,
                                     ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    ESObject *object = context.newObject(this, m_prototype, "Boolean");
    object->m_value = ESValue::fromBool(context.toBoolean(esArgument(argc, argv, 0)));
    return object;
}
