#include "script/esnativefunction.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "script/esstring.h"

namespace {

// Function(p1, ..., pn, body): the parameters joined with "," and the body compiled.
ESObject *compile(ESContext &c, int argc, ESValue *argv) {
    QString parameters;
    for (int i = 0; i + 1 < argc; ++i) {
        if (i > 0)
            parameters += QLatin1Char(',');
        parameters += c.toText(argv[i]);
    }
    QString body = argc > 0 ? c.toText(argv[argc - 1]) : QString();
    return c.newFunction(parameters, body);
}

ESValue functionCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromObject(compile(c, argc, argv));
}

ESValue functionToString(ESContext &c, ESObject *, const ESValue &, int, ESValue *) {
    return ESValue::fromString(c.intern("<<function>>"));
}

const ESMethodDef kConstructor = {"Function", "Function", 1, 0, functionCall};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Function.prototype.toString", 0, 1, functionToString},
};

} // namespace

void ESNativeFunction::install(ESContext &context, const char *) {
    installConstructor(context, kConstructor, context.functionPrototype());
    defineMethods(context, context.functionPrototype(), kPrototypeMethods);
}

ESObject *ESNativeFunction::construct(ESContext &context, ESObject *function, int argc,
                                      ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    return compile(context, argc, argv);
}
