#include "script/esnativenumber.h"

#include "script/escontext.h"
#include "script/esnumber.h"
#include "script/esobject.h"

#include <cmath>
#include <limits>

namespace {

double thisNumber(ESContext &c, const ESValue &self, const char *method) {
    if (self.isNumber())
        return self.number;
    if (self.isObject() && self.object->m_class == c.numberClass() &&
        self.object->m_value.isNumber())
        return self.object->m_value.number;
    c.throwTypeError(QStringLiteral("Number.prototype.%1 called on non-Number object")
                         .arg(QLatin1String(method)));
}

ESValue numberCall(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    return ESValue::fromNumber(argc > 0 ? c.toNumber(argv[0]) : 0.0);
}

ESValue numberToString(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    double value = thisNumber(c, self, "toString");
    int radix = argv[0].isUndefined() ? 10 : c.toInt32(argv[0]);
    if (radix == 0)
        radix = 10;
    if (radix < 2 || radix > 36)
        c.throwRangeError(QStringLiteral("radix should be 2 through 36"));
    return ESValue::fromString(c.toString(ESValue::fromNumber(value), radix));
}

ESValue numberToFixed(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    double value = thisNumber(c, self, "toFixed");
    double digits = c.toInteger(argv[0]);
    if (digits < 0 || digits > 20)
        c.throwRangeError(QStringLiteral("fraction digits should 0 through 20"));
    if (!std::isfinite(value))
        return c.newString(esNumberToString(value));
    return c.newString(esFormatFixed(value, int(digits)));
}

// NaN and the infinities are written before the digits are checked, as the edition orders it.
ESValue numberToExponential(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    double value = thisNumber(c, self, "toExponential");
    double digits = c.toInteger(argv[0]);
    if (!std::isfinite(value))
        return c.newString(esNumberToString(value));
    if (!argv[0].isUndefined() && (digits < 0 || digits > 20))
        c.throwRangeError(QStringLiteral("fraction digits should be 0 through 20"));
    return c.newString(esFormatExponential(value, argv[0].isUndefined() ? -1 : int(digits)));
}

ESValue numberToPrecision(ESContext &c, ESObject *, const ESValue &self, int, ESValue *argv) {
    double value = thisNumber(c, self, "toPrecision");
    if (argv[0].isUndefined())
        return c.newString(esNumberToString(value));
    double precision = c.toInteger(argv[0]);
    if (!std::isfinite(value))
        return c.newString(esNumberToString(value));
    if (precision < 1 || precision > 21)
        c.throwRangeError(QStringLiteral("precision should be 1 through 21"));
    return c.newString(esFormatPrecision(value, int(precision)));
}

ESValue numberValueOf(ESContext &c, ESObject *, const ESValue &self, int, ESValue *) {
    return ESValue::fromNumber(thisNumber(c, self, "valueOf"));
}

const ESMethodDef kConstructor = {"Number", "Number", 1, 0, numberCall};
const ESMethodDef kPrototypeMethods[] = {
    {"toString", "Number.prototype.toString", 1, 2, numberToString},
    {"toFixed", "Number.prototype.toFixed", 1, 3, numberToFixed},
    {"valueOf", "Number.prototype.valueOf", 0, 4, numberValueOf},
    {"toExponential", "Number.prototype.toExponential", 1, 5, numberToExponential},
    {"toPrecision", "Number.prototype.toPrecision", 1, 6, numberToPrecision},
};

} // namespace

void ESNativeNumber::install(ESContext &context, const char *) {
    ESObject *prototype = context.newObject(this, context.objectPrototype(), "Number");
    prototype->m_value = ESValue::fromNumber(0);
    ESObject *constructor = installConstructor(context, kConstructor, prototype);
    defineMethods(context, prototype, kPrototypeMethods);
    static const ESConstantDef kConstants[] = {
        {"MAX_VALUE", std::numeric_limits<double>::max()},
        {"MIN_VALUE", std::numeric_limits<double>::denorm_min()},
        {"NaN", std::numeric_limits<double>::quiet_NaN()},
        {"NEGATIVE_INFINITY", -std::numeric_limits<double>::infinity()},
        {"POSITIVE_INFINITY", std::numeric_limits<double>::infinity()},
    };
    defineConstants(context, constructor, kConstants);
}

ESObject *ESNativeNumber::construct(ESContext &context, ESObject *function, int argc,
                                    ESValue *argv) {
    if (function->m_nativeIndex != 0)
        context.throwError(QStringLiteral("bad signature in builtin construct"));
    // Converted before the object exists: the conversion may run script and collect.
    double value = argc > 0 ? context.toNumber(argv[0]) : 0.0;
    ESObject *object = context.newObject(this, m_prototype, "Number");
    object->m_value = ESValue::fromNumber(value);
    return object;
}
