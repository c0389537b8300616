#include "expr/expressionvalue.h"
#include "expr/parserexception.h"
#include "expr/simpleexpressionparser.h"

#include "expressiontestengine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Op = BinaryOperator;
using V = ExpressionValue;

V boolean(bool value) {
    return V(value);
}
V signedValue(std::int64_t value, std::uint32_t size = 8) {
    return V(value, size);
}
V unsignedValue(std::uint64_t value, std::uint32_t size = 8) {
    return V(value, size);
}
V doubleValue(double value) {
    return V(8u, value);
}

std::string show(const V &value) {
    return value.typeName() + " " + value.toString();
}

std::string binaryError(Op op, const V &left, const V &right) {
    try {
        V::binary(op, left, right);
    } catch (const ParserException &error) {
        return error.what();
    }
    return "no error";
}

TEST(ExpressionValue, KindsAndTypeNames) {
    EXPECT_EQ(boolean(true).typeName(), "boolean");
    EXPECT_EQ(boolean(true).size(), 0u);
    EXPECT_EQ(signedValue(1, 1).typeName(), "char");
    EXPECT_EQ(signedValue(1, 1).typeName(true), "byte");
    EXPECT_EQ(signedValue(1, 2).typeName(), "short");
    EXPECT_EQ(signedValue(1, 4).typeName(), "int");
    EXPECT_EQ(signedValue(1, 8).typeName(), "long long");
    EXPECT_EQ(unsignedValue(1, 1).typeName(true), "unsigned char");
    EXPECT_EQ(unsignedValue(1, 4).typeName(), "unsigned int");
    EXPECT_EQ(V(std::string("x"), 1).typeName(), "string");
    EXPECT_EQ(V(std::shared_ptr<MarkerType>()).typeName(), "marker");
    EXPECT_EQ(V(4u, 1.0).typeName(), "float");
    EXPECT_EQ(V(8u, 1.0).typeName(), "double");
    EXPECT_EQ(V().typeName(), "unknown");
    EXPECT_EQ(V().size(), 2u);
}

TEST(ExpressionValue, ConversionsWrapToSizeAndBitWidth) {
    EXPECT_EQ(signedValue(0xff, 1).toSigned(), -1);
    EXPECT_EQ(signedValue(0x17f, 1).toSigned(), 127);
    EXPECT_EQ(signedValue(0x8000, 2).toSigned(), -32768);
    EXPECT_EQ(signedValue(0xffffffff, 4).toSigned(), -1);
    EXPECT_EQ(signedValue(0xffffffff, 4).toUnsigned(), UINT64_MAX);
    EXPECT_EQ(V(std::int64_t(0b101), 4, 3).toSigned(), -3);
    EXPECT_EQ(V(std::int64_t(0b011), 4, 3).toSigned(), 3);
    EXPECT_EQ(unsignedValue(0x1ff, 1).toUnsigned(), 0xffu);
    EXPECT_EQ(unsignedValue(0xff, 1).toSigned(), 255);
    EXPECT_EQ(V(std::uint64_t(0xff), 4, 4).toUnsigned(), 0xfu);
    EXPECT_EQ(boolean(true).toSigned(), 1);
    EXPECT_EQ(V(std::string("12"), 2).toSigned(), 0);
    EXPECT_EQ(V().toUnsigned(), 0u);
    EXPECT_EQ(unsignedValue(UINT64_MAX).toDouble(), 18446744073709551616.0);
    EXPECT_EQ(signedValue(-3, 1).toDouble(), -3.0);
}

TEST(ExpressionValue, DoublesTruncateAndSaturate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(doubleValue(-2.9).toSigned(), -2);
    EXPECT_EQ(doubleValue(2.9).toUnsigned(), 2u);
    EXPECT_EQ(doubleValue(nan).toSigned(), 0);
    EXPECT_EQ(doubleValue(nan).toUnsigned(), 0u);
    EXPECT_EQ(doubleValue(inf).toSigned(), INT64_MAX);
    EXPECT_EQ(doubleValue(-inf).toSigned(), INT64_MIN);
    EXPECT_EQ(doubleValue(1e300).toUnsigned(), UINT64_MAX);
    EXPECT_EQ(doubleValue(9223372036854775808.0).toSigned(), INT64_MAX);
    EXPECT_EQ(doubleValue(-9223372036854775808.0).toSigned(), INT64_MIN);
    EXPECT_EQ(doubleValue(-1.0).toUnsigned(), UINT64_MAX);
}

TEST(ExpressionValue, BooleanIsANonZeroTest) {
    EXPECT_TRUE(signedValue(256).toBoolean());
    EXPECT_FALSE(signedValue(256, 1).toBoolean());
    EXPECT_TRUE(doubleValue(1.0).toBoolean());
    EXPECT_TRUE(doubleValue(0.5).toBoolean());
    EXPECT_FALSE(doubleValue(-0.0).toBoolean());
    EXPECT_FALSE(V(std::string("x"), 1).toBoolean());
    SimpleExpressionParser parser;
    EXPECT_TRUE(parser.evaluate("256 && 1.0").toBoolean());
    EXPECT_FALSE(parser.evaluate("!256").toBoolean());
}

TEST(ExpressionValue, SetFromText) {
    V flag = boolean(false);
    flag.setFromText("true");
    EXPECT_TRUE(flag.toBoolean());
    EXPECT_THROW(flag.setFromText("1"), ParserException);

    V number = signedValue(0, 4);
    for (const auto &[text, expected] : {std::pair<const char *, std::int64_t>{"0x7f", 127},
                                         {" -0b11 ", -3},
                                         {"+12u", 12},
                                         {"4294967295", -1}}) {
        number.setFromText(text);
        EXPECT_EQ(number.toSigned(), expected) << text;
    }
    EXPECT_EQ(number.size(), 4u);
    for (const char *bad : {"", "-", "1.5", "x", "0x1g", "99999999999999999999"})
        EXPECT_THROW(number.setFromText(bad), ParserException) << bad;

    V real = doubleValue(0);
    real.setFromText("+2.5e1");
    EXPECT_EQ(real.toDouble(), 25.0);
    EXPECT_THROW(real.setFromText("2.5x"), ParserException);

    V text(std::string(), 0);
    text.setFromText(" as is ");
    EXPECT_EQ(text.text(), " as is ");

    EXPECT_THROW(V().setFromText("1"), ParserException);

    auto object = std::make_shared<TestObject>(0, signedValue(0, 2));
    V marker(object);
    marker.setFromText("-7");
    EXPECT_EQ(object->value.toSigned(), -7);
}

TEST(ExpressionValue, DisplaysCharacterData) {
    EXPECT_EQ(displayCharacterData(std::string("a\a\b\t\n\v\f\rz", 9)), "a\\a\\b\\t\\n\\v\\f\\rz");
    EXPECT_EQ(displayCharacterData(std::string("\0\x1b\x7f\xff \"\\", 7)),
              "\\000\\033\\177\\377 \"\\");
    EXPECT_EQ(V(std::string("hi\n"), 3).toString(), "\"hi\\n\"");
}

TEST(ExpressionValue, BooleanColumn) {
    const V t = boolean(true), f = boolean(false);
    EXPECT_EQ(show(V::binary(Op::Plus, t, f)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Plus, f, signedValue(2))), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Minus, t, t)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::Minus, f, t)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Multiply, t, f)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::Divide, t, t)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Mod, t, t)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::BitXor, t, t)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::BitOr, f, t)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Lt, f, t)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Ge, f, t)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::Plus, t, doubleValue(0.5))), "double 1.5");
    EXPECT_EQ(binaryError(Op::Divide, t, f), "divide by zero");
    EXPECT_EQ(binaryError(Op::Mod, t, signedValue(0)), "divide by zero");
    EXPECT_EQ(binaryError(Op::Lshift, t, signedValue(1)), "can only shift numeric values");
}

TEST(ExpressionValue, IntegerColumnsKeepTheLeftSize) {
    EXPECT_EQ(show(V::binary(Op::Plus, signedValue(127, 1), signedValue(1))), "char -128");
    EXPECT_EQ(show(V::binary(Op::Minus, unsignedValue(0, 2), signedValue(1))),
              "unsigned short 65535");
    EXPECT_EQ(show(V::binary(Op::Multiply, signedValue(-3, 4), unsignedValue(5))), "int -15");
    EXPECT_EQ(show(V::binary(Op::Divide, unsignedValue(UINT64_MAX), signedValue(-1))),
              "unsigned long long 1");
    EXPECT_EQ(show(V::binary(Op::Mod, signedValue(-7), signedValue(3))), "long long -1");
    EXPECT_EQ(show(V::binary(Op::BitAnd, signedValue(0xf0), signedValue(0x3c))), "long long 48");
    EXPECT_EQ(show(V::binary(Op::Lt, unsignedValue(1), signedValue(-1))), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Lt, signedValue(1), unsignedValue(UINT64_MAX))), "boolean false");
    EXPECT_EQ(show(V::binary(Op::Le, signedValue(2), signedValue(2))), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Ne, signedValue(2), boolean(true))), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Rshift, unsignedValue(0x80, 1), signedValue(7))),
              "unsigned char 1");
    EXPECT_EQ(show(V::binary(Op::Rshift, signedValue(0x80, 1), signedValue(7))), "char -1");
    EXPECT_EQ(show(V::binary(Op::Plus, signedValue(1), doubleValue(0.25))), "double 1.25");
    EXPECT_EQ(binaryError(Op::Lshift, signedValue(1), unsignedValue(2)),
              "integer shift value expected");
    EXPECT_EQ(binaryError(Op::Lshift, signedValue(1), doubleValue(2)),
              "can only shift numeric values");
    EXPECT_EQ(binaryError(Op::Mod, unsignedValue(5), boolean(false)), "divide by zero");
}

TEST(ExpressionValue, DoubleAndStringColumns) {
    EXPECT_EQ(show(V::binary(Op::Minus, V(4u, 1.5), signedValue(1))), "float 0.5");
    EXPECT_EQ(show(V::binary(Op::Divide, doubleValue(1), signedValue(4))), "double 0.25");
    EXPECT_EQ(binaryError(Op::Divide, doubleValue(1), doubleValue(0)), "divide by zero");
    EXPECT_EQ(binaryError(Op::Divide, doubleValue(1), signedValue(0)), "divide by zero");
    EXPECT_EQ(binaryError(Op::Mod, doubleValue(1), signedValue(1)),
              "unsupported binary numeric operation");
    EXPECT_EQ(binaryError(Op::BitOr, doubleValue(1), signedValue(1)),
              "unsupported binary numeric operation");
    EXPECT_EQ(binaryError(Op::Eq, doubleValue(1.5), doubleValue(1.5)),
              "unsupported comparison operation");
    EXPECT_EQ(binaryError(Op::Lshift, doubleValue(1), signedValue(1)),
              "can only shift numeric values");

    const V abc(std::string("abc"), 3), abd(std::string("abd"), 3);
    EXPECT_EQ(show(V::binary(Op::Lt, abc, abd)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Eq, abc, abc)), "boolean true");
    EXPECT_EQ(show(V::binary(Op::Ge, abc, abd)), "boolean false");
    EXPECT_EQ(show(V::binary(Op::Eq, V(std::string("5"), 1), signedValue(5))), "boolean true");
    EXPECT_EQ(binaryError(Op::Plus, abc, abc), "unsupported binary numeric operation");
    EXPECT_EQ(binaryError(Op::Plus, abc, doubleValue(1)), "unsupported binary numeric operation");
    EXPECT_EQ(binaryError(Op::Rshift, abc, signedValue(1)), "can only shift numeric values");
    EXPECT_EQ(binaryError(Op::Plus, V(), signedValue(1)), "unsupported binary numeric operation");
    EXPECT_EQ(binaryError(Op::Lt, V(), signedValue(1)), "unsupported comparison operation");
}

TEST(ExpressionValue, UnaryOperators) {
    using U = UnaryOperator;
    EXPECT_EQ(show(V::unary(U::LogicalNot, boolean(true))), "boolean false");
    EXPECT_EQ(show(V::unary(U::LogicalNot, signedValue(0x100, 1))), "boolean true");
    EXPECT_EQ(show(V::unary(U::LogicalNot, doubleValue(0.0))), "boolean true");
    EXPECT_EQ(show(V::unary(U::BitNot, unsignedValue(0x0f, 1))), "unsigned char 240");
    EXPECT_EQ(show(V::unary(U::Negate, boolean(true))), "int -1");
    EXPECT_EQ(show(V::unary(U::Negate, unsignedValue(1, 2))), "unsigned short 65535");
    EXPECT_EQ(show(V::unary(U::Negate, doubleValue(2.5))), "double -2.5");
    for (const V &operand : {V(std::string("a"), 1), V()}) {
        for (U op : {U::LogicalNot, U::BitNot, U::Negate})
            EXPECT_THROW(V::unary(op, operand), ParserException);
    }
    EXPECT_THROW(V::unary(U::BitNot, doubleValue(1)), ParserException);
    EXPECT_THROW(V::unary(U::BitNot, boolean(true)), ParserException);
}

TEST(ExpressionValue, TargetObjectsAreLoadedBeforeOperators) {
    auto object = std::make_shared<TestObject>(0x100, signedValue(40, 4));
    const V marker{std::shared_ptr<MarkerType>(object)};
    EXPECT_EQ(show(V::binary(Op::Plus, marker, signedValue(2))), "int 42");
    EXPECT_EQ(show(V::binary(Op::Minus, signedValue(50), marker)), "long long 10");
    EXPECT_EQ(show(V::unary(UnaryOperator::Negate, marker)), "int -40");
    EXPECT_TRUE(V(std::shared_ptr<MarkerType>()).loaded().isEmpty());
}

// Arithmetic that C++ leaves undefined gets a defined answer: two's complement wrap-around,
// shifts that move every bit out, and "divide by zero".
TEST(ExpressionValue, UndefinedArithmeticIsDefined) {
    const std::pair<const char *, const char *> cases[] = {
        {"9223372036854775807 + 1", "long long -9223372036854775808"},
        {"-9223372036854775807 - 2", "long long 9223372036854775807"},
        {"4611686018427387904 * 4", "long long 0"},
        {"-9223372036854775808", "long long -9223372036854775808"},
        {"(-9223372036854775807 - 1) / -1", "long long -9223372036854775808"},
        {"(-9223372036854775807 - 1) % -1", "long long 0"},
        {"7 % -1", "long long 0"},
        {"-9223372036854775808 * -1", "long long -9223372036854775808"},
        {"1 << 63", "long long -9223372036854775808"},
        {"-1 << 1", "long long -2"},
        {"1 << 64", "long long 0"},
        {"1 << -1", "long long 0"},
        {"-8 >> 64", "long long -1"},
        {"8 >> -3", "long long 0"},
        {"1u << 100", "unsigned long long 0"},
        {"~9223372036854775807", "long long -9223372036854775808"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(show(evaluateConstantExpression(text)), expected) << text;
}

TEST(ExpressionValue, ConstantEntryPoints) {
    EXPECT_EQ(evaluateUnsignedConstant("0x20000000"), 536870912u);
    EXPECT_EQ(evaluateUnsignedConstant("+0x100"), 256u);
    EXPECT_EQ(evaluateUnsignedConstant("0 - 1"), UINT64_MAX);
    EXPECT_EQ(evaluateSignedConstant("16*1024"), 16384);
    EXPECT_EQ(evaluateSignedConstant("3 > 2"), 1);
    EXPECT_EQ(evaluateSignedConstant("7.9"), 7);
    EXPECT_TRUE(evaluateConstantExpression("").isEmpty());
    for (const char *bad : {"", "\"text\""}) {
        try {
            evaluateSignedConstant(bad);
            ADD_FAILURE() << bad;
        } catch (const ParserException &error) {
            EXPECT_STREQ(error.what(), "numeric expression expected");
        }
    }
    EXPECT_THROW(evaluateUnsignedConstant("FLASH_START"), ParserException);
}

} // namespace
