#include "script/esnativemath.h"

#include "script/escontext.h"
#include "script/esobject.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace {

template <double (*F)(double)>
ESValue unary(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    return ESValue::fromNumber(F(c.toNumber(argv[0])));
}

double absolute(double x) {
    return std::fabs(x);
}
double arcCosine(double x) {
    return std::acos(x);
}
double arcSine(double x) {
    return std::asin(x);
}
double arcTangent(double x) {
    return std::atan(x);
}
double ceiling(double x) {
    return std::ceil(x);
}
double cosine(double x) {
    return std::cos(x);
}
double exponential(double x) {
    return std::exp(x);
}
double flooring(double x) {
    return std::floor(x);
}
double logarithm(double x) {
    return std::log(x);
}
double sine(double x) {
    return std::sin(x);
}
double squareRoot(double x) {
    return std::sqrt(x);
}
double tangent(double x) {
    return std::tan(x);
}

// floor(x + 0.5), except that -0 and [-0.5, 0) give -0.
double rounding(double x) {
    if (std::isnan(x) || std::isinf(x))
        return x;
    if (x == 0 || (x >= -0.5 && x < 0))
        return x == 0 ? x : -0.0;
    return std::floor(x + 0.5);
}

ESValue mathAtan2(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    // Operands convert left to right; a call's arguments have no order of evaluation.
    double y = c.toNumber(argv[0]);
    double x = c.toNumber(argv[1]);
    return ESValue::fromNumber(std::atan2(y, x));
}

ESValue mathPow(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
    double x = c.toNumber(argv[0]), y = c.toNumber(argv[1]);
    if (std::isnan(y) || (std::fabs(x) == 1 && std::isinf(y)))
        return ESValue::fromNumber(std::numeric_limits<double>::quiet_NaN());
    return ESValue::fromNumber(std::pow(x, y));
}

template <bool Max>
ESValue extreme(ESContext &c, ESObject *, const ESValue &, int argc, ESValue *argv) {
    double result =
        Max ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    for (int i = 0; i < argc; ++i) {
        double x = c.toNumber(argv[i]);
        if (std::isnan(x))
            return ESValue::fromNumber(x);
        if (Max ? x > result || (x == 0 && result == 0 && !std::signbit(x))
                : x < result || (x == 0 && result == 0 && std::signbit(x)))
            result = x;
    }
    return ESValue::fromNumber(result);
}

ESValue mathRandom(ESContext &, ESObject *, const ESValue &, int, ESValue *) {
    return ESValue::fromNumber(std::ldexp(double(std::rand()), -31));
}

const ESMethodDef kMethods[] = {
    {"abs", "Math.abs", 1, 1, unary<absolute>},
    {"acos", "Math.acos", 1, 2, unary<arcCosine>},
    {"asin", "Math.asin", 1, 3, unary<arcSine>},
    {"atan", "Math.atan", 1, 4, unary<arcTangent>},
    {"atan2", "Math.atan2", 2, 5, mathAtan2},
    {"ceil", "Math.ceil", 1, 6, unary<ceiling>},
    {"cos", "Math.cos", 1, 7, unary<cosine>},
    {"exp", "Math.exp", 1, 8, unary<exponential>},
    {"floor", "Math.floor", 1, 9, unary<flooring>},
    {"log", "Math.log", 1, 10, unary<logarithm>},
    {"max", "Math.max", 0, 11, extreme<true>},
    {"min", "Math.min", 0, 12, extreme<false>},
    {"pow", "Math.pow", 2, 13, mathPow},
    {"random", "Math.random", 0, 14, mathRandom},
    {"round", "Math.round", 1, 15, unary<rounding>},
    {"sin", "Math.sin", 1, 16, unary<sine>},
    {"sqrt", "Math.sqrt", 1, 17, unary<squareRoot>},
    {"tan", "Math.tan", 1, 18, unary<tangent>},
};

} // namespace

void ESNativeMath::install(ESContext &context, const char *name) {
    ESObject *math = context.newObject(this, context.objectPrototype(), name);
    m_prototype = math;
    context.defineProperty(context.globalObject(), name, ESValue::fromObject(math),
                           ESProperty::DontEnum);
    defineMethods(context, math, kMethods);
    static const ESConstantDef kConstants[] = {
        {"E", std::numbers::e},
        {"LN10", std::numbers::ln10},
        {"LN2", std::numbers::ln2},
        {"LOG2E", std::numbers::log2e},
        {"LOG10E", std::numbers::log10e},
        {"PI", std::numbers::pi},
        {"SQRT1_2", std::numbers::sqrt2 / 2},
        {"SQRT2", std::numbers::sqrt2},
    };
    defineConstants(context, math, kConstants);
}
