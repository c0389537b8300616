#include "script/esnativeobject.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "script/esstring.h"

namespace {

ESObject *thisObject(ESContext &c, const ESValue &self) {
    if (self.isObject())
        return self.object;
    ESObject *wrapper = c.toObject(self);
    c.keep(ESValue::fromObject(wrapper));
    return wrapper;
}

ESObject *makeObject(ESContext &c, int argc, ESValue *argv) {
    ESValue v = esArgument(argc, argv, 0);
    switch (v.type) {
    case ESValue::Undefined:
    case ESValue::Null:
        return c.newObject();
    case ESValue::Boolean:
    case ESValue::Number:
    case ESValue::String:
    case ESValue::InternedString:
    case ESValue::Object:
        return c.toObject(v);
    default:
        c.throwError(QStringLiteral("unknown type in Object constructor"));
    }
}

ESValue objectCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromObject(makeObject(c, argc, argv));
}

ESValue objectToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    ESObject *o = thisObject(c, self);
    return c.newString(QStringLiteral("[object ") + o->m_classString->text() + QLatin1Char(']'));
}

ESValue objectValueOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromObject(thisObject(c, self));
}

ESValue objectHasOwnProperty(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    ESString *name = c.pooled(c.toString(argv[0]));
    return ESValue::fromBool(o->m_class->getOwnProperty(c, o, name, nullptr, nullptr));
}

ESValue objectIsPrototypeOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESObject *o = thisObject(c, self);
    if (!argv[0].isObject())
        return ESValue::fromBool(false);
    for (ESObject *p = argv[0].object->m_prototype; p; p = p->m_prototype) {
        if (p == o)
            return ESValue::fromBool(true);
    }
    return ESValue::fromBool(false);
}

ESValue objectPropertyIsEnumerable(ESContext &c, ESObject *, const ESValue &self, int,
                                   ESValue *argv) {
    ESObject *o = thisObject(c, self);
    ESString *name = c.pooled(c.toString(argv[0]));
    std::uint32_t attributes = 0;
    bool own = o->m_class->getOwnProperty(c, o, name, nullptr, &attributes);
    return ESValue::fromBool(own && !(attributes & ESProperty::DontEnum));
}

const ESMethodDef kConstructor = {"Object", "Object", 1, 0, objectCall};

const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Object.prototype.toString", 0, 2, objectToString},
    {"toLocaleString", "Object.prototype.toLocaleString", 0, 3, objectToString},
    {"valueOf", "Object.prototype.valueOf", 0, 4, objectValueOf},
    {"hasOwnProperty", "Object.prototype.hasOwnProperty", 1, 5, objectHasOwnProperty},
    {"isPrototypeOf", "Object.prototype.isPrototypeOf", 1, 6, objectIsPrototypeOf},
    {"propertyIsEnumerable", "Object.prototype.propertyIsEnumerable", 1, 7,
     objectPropertyIsEnumerable},
};

} // namespace

void ESNativeObject::install(ESContext &context, const char *) {
    installConstructor(context, kConstructor, context.objectPrototype());
    defineMethods(context, context.objectPrototype(), kPrototypeMethods);
}

ESObject *ESNativeObject::construct(ESContext &context, ESObject *function, int argc,
                                    ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    return makeObject(context, argc, argv);
}
