#include "script/esnativefunction.h"

#include "script/escontext.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <algorithm>
#include <vector>

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

ESObject *thisFunction(ESContext &c, const ESValue &self, const char *method) {
    if (!self.isObject() || !self.object->isFunction())
        c.throwTypeError(QStringLiteral("%1 called on a non-function").arg(QLatin1String(method)));
    return self.object;
}

// The receiver of call and apply: null and undefined mean the global object.
ESValue receiver(ESContext &c, const ESValue &thisArg) {
    if (thisArg.isNullOrUndefined())
        return ESValue::fromObject(c.globalObject());
    return ESValue::fromObject(c.toObject(thisArg));
}

ESValue functionCallMethod(ESContext &c, ESObject *, const ESValue &self, int argc, ESValue *argv) {
    ESObject *function = thisFunction(c, self, "Function.prototype.call");
    return c.call(function, receiver(c, argv[0]), std::max(argc - 1, 0), argv + 1);
}

ESValue functionApply(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    ESObject *function = thisFunction(c, self, "Function.prototype.apply");
    std::vector<ESValue> arguments;
    if (!argv[1].isNullOrUndefined()) {
        if (!argv[1].isObject())
            c.throwTypeError(QStringLiteral("Function.prototype.apply needs an array of "
                                            "arguments"));
        ESObject *list = argv[1].object;
        double length = c.toNumber(c.get(list, c.names().length));
        // Every argument goes onto the value stack.
        constexpr double kMaxArguments = 65536;
        if (!(length >= 0) || length > kMaxArguments)
            c.throwRangeError(QStringLiteral("too many arguments for Function.prototype.apply"));
        for (std::uint32_t i = 0; i < std::uint32_t(length); ++i)
            arguments.push_back(c.get(list, c.indexName(i)));
    }
    return c.call(function, receiver(c, argv[0]), int(arguments.size()), arguments.data());
}

const ESMethodDef kConstructor = {"Function", "Function", 1, 0, functionCall};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Function.prototype.toString", 0, 1, functionToString},
    {"call", "Function.prototype.call", 1, 2, functionCallMethod},
    {"apply", "Function.prototype.apply", 2, 3, functionApply},
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
