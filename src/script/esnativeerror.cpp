#include "script/esnativeerror.h"

#include "script/escontext.h"
#include "script/esobject.h"

namespace {

ESObject *makeError(ESContext &c, ESClass *cls, int argc, ESValue *argv) {
    ESObject *error = c.newObject(cls, cls->prototype(), c.names().errorClass);
    if (argc > 0 && !argv[0].isUndefined())
        c.put(error, c.names().message, ESValue::fromString(c.toString(argv[0])));
    return error;
}

ESValue errorCall(ESContext &c, ESObject *function, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromObject(makeError(c, function->m_class, argc, argv));
}

} // namespace

void ESNativeError::install(ESContext &context, const char *name) {
    ESObject *base = m_base ? m_base->prototype() : context.objectPrototype();
    ESObject *prototype = context.newObject(this, base, context.names().errorClass);
    ESMethodDef record = {name, name, 1, 0, errorCall};
    installConstructor(context, record, prototype);
}

ESObject *ESNativeError::construct(ESContext &context, ESObject *function, int argc,
                                   ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    return makeError(context, this, argc, argv);
}
