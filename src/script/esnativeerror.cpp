#include "script/esnativeerror.h"

#include "script/escontext.h"
#include "script/esobject.h"

namespace {

ESObject *makeError(ESContext &c, ESClass *cls, int argc, ESValue *argv) {
    // The message first: its conversion may run script, and the error is not held yet.
    ESString *message = argc > 0 && !argv[0].isUndefined() ? c.toString(argv[0]) : nullptr;
    ESObject *error = c.newObject(cls, cls->prototype(), c.names().errorClass);
    if (message)
        c.put(error, c.names().message, ESValue::fromString(message));
    return error;
}

ESValue errorCall(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromObject(makeError(c, function->m_class, argc, argv));
}

// "Name: message", or the name alone when there is no message.
ESValue errorToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    ESObject *error = c.toObject(self);
    c.keep(ESValue::fromObject(error));
    QString name = c.toText(c.get(error, "name"));
    QString message = c.toText(c.get(error, c.names().message));
    return c.newString(message.isEmpty() ? name : name + QStringLiteral(": ") + message);
}

const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Error.prototype.toString", 0, 1, errorToString},
};

} // namespace

void ESNativeError::install(ESContext &context, const char *name) {
    ESObject *base = m_base ? m_base->prototype() : context.objectPrototype();
    ESObject *prototype = context.newObject(this, base, context.names().errorClass);
    ESMethodDef record = {name, name, 1, 0, errorCall};
    installConstructor(context, record, prototype);
    context.defineProperty(prototype, "name", context.newString(QString::fromUtf8(name)),
                           ESProperty::DontEnum);
    if (!m_base) {
        context.defineProperty(prototype, context.names().message, context.newString(QString()),
                               ESProperty::DontEnum);
        defineMethods(context, prototype, kPrototypeMethods);
    }
}

ESObject *ESNativeError::construct(ESContext &context, ESObject *function, int argc,
                                   ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    return makeError(context, this, argc, argv);
}
