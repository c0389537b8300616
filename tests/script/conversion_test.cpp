#include "scripttesting.h"

#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esnumber.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(NumberToText, IntegersInAnyRadix) {
    EXPECT_EQ(esNumberToString(0), QStringLiteral("0"));
    EXPECT_EQ(esNumberToString(-0.0), QStringLiteral("0"));
    EXPECT_EQ(esNumberToString(255, 16), QStringLiteral("ff"));
    EXPECT_EQ(esNumberToString(-255, 16), QStringLiteral("-ff"));
    EXPECT_EQ(esNumberToString(5, 2), QStringLiteral("101"));
    EXPECT_EQ(esNumberToString(35, 36), QStringLiteral("z"));
    EXPECT_EQ(esNumberToString(1e15), QStringLiteral("1000000000000000"));
    EXPECT_EQ(esNumberToString(9007199254740992.0), QStringLiteral("9007199254740992"));
}

TEST(NumberToText, IntegersBeyond64BitsAreExact) {
    EXPECT_EQ(esNumberToString(9223372036854775808.0), QStringLiteral("9223372036854775808"));
    EXPECT_EQ(esNumberToString(-9223372036854775808.0), QStringLiteral("-9223372036854775808"));
    EXPECT_EQ(esNumberToString(18446744073709551616.0), QStringLiteral("18446744073709551616"));
    EXPECT_EQ(esNumberToString(1e21), QStringLiteral("1000000000000000000000"));
    EXPECT_EQ(esNumberToString(1e23), QStringLiteral("99999999999999991611392"));
    EXPECT_EQ(esNumberToString(std::ldexp(1.0, 64), 16), QStringLiteral("10000000000000000"));
    EXPECT_EQ(esNumberToString(std::ldexp(1.0, 100), 2),
              QStringLiteral("1") + QStringLiteral("0").repeated(100));
    QString max = esNumberToString(std::numeric_limits<double>::max());
    EXPECT_EQ(max.size(), 309);
    EXPECT_TRUE(max.startsWith(QStringLiteral("17976931348623157")));
}

TEST(NumberToText, FractionsInTheShortestFormThatReadsBack) {
    struct Row {
        double value;
        const char *text;
    } rows[] = {
        {1.0 / 3, "0.3333333333333333"},
        {0.1 + 0.2, "0.30000000000000004"},
        {123456.789, "123456.789"},
        {1234567.5, "1234567.5"},
        {4503599627370495.5, "4503599627370495.5"},
        {-2.5, "-2.5"},
        // Six zeros after the point is the last fixed form, then the exponent form.
        {0.000001, "0.000001"},
        {0.0000015, "0.0000015"},
        {1e-7, "1e-7"},
        {-1.25e-7, "-1.25e-7"},
        {5e-324, "5e-324"},
        {1.7976931348623157e-300, "1.7976931348623157e-300"},
    };
    for (const Row &row : rows) {
        QString text = esNumberToString(row.value);
        EXPECT_EQ(text, QString::fromLatin1(row.text));
        EXPECT_EQ(esStringToNumber(text), row.value) << row.text;
    }
    // Every fraction reads back as itself.
    double x = 0.1;
    for (int i = 0; i < 2000; ++i, x = x * 1.37 + 1e-9) {
        double v = i % 2 ? x : 1 / x;
        if (v == std::trunc(v))
            continue;
        EXPECT_EQ(esStringToNumber(esNumberToString(v)), v) << v;
    }
    EXPECT_EQ(esNumberToString(0.5, 16), QStringLiteral("0.5"));
    // The listing keeps printf's "%g".
    EXPECT_EQ(esFormatG(1.0 / 3), QStringLiteral("0.333333"));
    EXPECT_EQ(esFormatG(1234567.5), QStringLiteral("1.23457e+06"));
}

TEST(NumberToText, SpecialValues) {
    EXPECT_EQ(esNumberToString(kNaN), QStringLiteral("NaN"));
    EXPECT_EQ(esNumberToString(kInf), QStringLiteral("Infinity"));
    EXPECT_EQ(esNumberToString(-kInf), QStringLiteral("-Infinity"));
    EXPECT_EQ(esFormatFixed(1.005, 2), QStringLiteral("1.00"));
    EXPECT_EQ(esFormatFixed(2.5, 0), QStringLiteral("2"));
    EXPECT_EQ(esFormatFixed(1e21, 1), QStringLiteral("1000000000000000000000.0"));
}

TEST(TextToNumber, TrimsAndConvertsWholeTexts) {
    EXPECT_EQ(esStringToNumber(u"42"), 42);
    EXPECT_EQ(esStringToNumber(u" \t\n 42 \r\n"), 42);
    EXPECT_EQ(esStringToNumber(u"  0x1F  "), 31);
    EXPECT_EQ(esStringToNumber(u"0XfF"), 255);
    EXPECT_EQ(esStringToNumber(u"-1.5e3"), -1500);
    EXPECT_EQ(esStringToNumber(u"+.5"), 0.5);
    EXPECT_EQ(esStringToNumber(u"5."), 5);
    EXPECT_EQ(esStringToNumber(u"010"), 10);
    EXPECT_EQ(esStringToNumber(u"Infinity"), kInf);
    EXPECT_EQ(esStringToNumber(u"-Infinity"), -kInf);
    EXPECT_EQ(esStringToNumber(u"1e999"), kInf);
    EXPECT_EQ(esStringToNumber(u"1e-999"), 0);
    // Exponents too large for a long (found by fuzzing: overflowed while classifying).
    EXPECT_EQ(esStringToNumber(u"88888881e3088888888888888888888888888"), kInf);
    EXPECT_EQ(esStringToNumber(u"5e-99999999999999999999999999"), 0);
    QString tiny = QStringLiteral("0.") + QStringLiteral("0").repeated(400) + QLatin1Char('1');
    EXPECT_EQ(esStringToNumber(tiny), 0);
    QString huge = QStringLiteral("1") + QStringLiteral("0").repeated(400);
    EXPECT_EQ(esStringToNumber(huge), kInf);
    for (const char16_t *bad : {u"", u"   ", u"12px", u"0x", u"0xg", u"-0x10", u"1e", u".",
                                u"infinity", u"1 2", u"--1", u"\u0661"})
        EXPECT_TRUE(std::isnan(esStringToNumber(bad))) << QString::fromUtf16(bad).toStdString();
}

TEST(TextToNumber, ScannerReportsBadDigitsWithTheirRadix) {
    ESNumberScan scan = esScanNumber(u"0779", 0, ScanFraction | ScanHex | ScanOctal);
    EXPECT_EQ(scan.status, ESNumberScan::BadDigit);
    EXPECT_EQ(scan.badDigit, QChar(u'9'));
    EXPECT_EQ(scan.radix, 8);
    scan = esScanNumber(u"0x1z", 0, ScanFraction | ScanHex | ScanOctal);
    EXPECT_EQ(scan.status, ESNumberScan::BadDigit);
    EXPECT_EQ(scan.radix, 16);
    scan = esScanNumber(u"12.5e2+", 0, ScanFraction | ScanHex | ScanOctal);
    EXPECT_EQ(scan.status, ESNumberScan::Ok);
    EXPECT_EQ(scan.value, 1250);
    EXPECT_EQ(scan.end, 6);
    scan = esScanNumber(u"3e+x", 0, ScanFraction);
    EXPECT_EQ(scan.value, 3);
    EXPECT_EQ(scan.end, 1);
    scan = esScanNumber(u"0x"
                        u"ffffffffffffffffffff",
                        0, ScanHex);
    EXPECT_EQ(scan.value, std::ldexp(1.0, 80));
}

TEST(Conversions, ToBoolean) {
    ESContext c;
    EXPECT_FALSE(c.toBoolean(ESValue::undefined()));
    EXPECT_FALSE(c.toBoolean(ESValue::null()));
    EXPECT_FALSE(c.toBoolean(ESValue::fromNumber(0)));
    EXPECT_FALSE(c.toBoolean(ESValue::fromNumber(-0.0)));
    EXPECT_TRUE(c.toBoolean(ESValue::fromNumber(kNaN))); // only a zero payload is false
    EXPECT_TRUE(c.toBoolean(ESValue::fromNumber(-1)));
    EXPECT_FALSE(c.toBoolean(c.newString(QString())));
    EXPECT_TRUE(c.toBoolean(c.newString(QStringLiteral("0"))));
    EXPECT_TRUE(c.toBoolean(ESValue::fromObject(c.newObject())));
    ESValue bad = ESValue::undefined();
    bad.type = 9;
    try {
        c.toBoolean(bad);
        FAIL();
    } catch (const ESFatalError &e) {
        EXPECT_STREQ(e.what(), "bad type in toBoolean");
    }
}

TEST(Conversions, ToNumberAndIntegers) {
    ESContext c;
    EXPECT_TRUE(std::isnan(c.toNumber(ESValue::undefined())));
    EXPECT_EQ(c.toNumber(ESValue::null()), 0);
    EXPECT_EQ(c.toNumber(ESValue::fromBool(true)), 1);
    EXPECT_TRUE(std::isnan(c.toNumber(c.newString(QString()))));
    EXPECT_EQ(c.toNumber(c.newString(QStringLiteral(" 0x1F "))), 31);
    EXPECT_EQ(c.toInt32(ESValue::fromNumber(4294967295.0)), -1);
    EXPECT_EQ(c.toInt32(ESValue::fromNumber(-2147483649.0)), 2147483647);
    EXPECT_EQ(c.toUint32(ESValue::fromNumber(-1)), 4294967295u);
    EXPECT_EQ(c.toUint32(ESValue::fromNumber(kInf)), 0u);
    EXPECT_EQ(c.toUint32(ESValue::fromNumber(1e20)), 1661992960u);
    EXPECT_EQ(c.toInteger(ESValue::fromNumber(-2.7)), -2);
    EXPECT_EQ(c.toInteger(ESValue::fromNumber(kNaN)), 0);
    ESValue bad = ESValue::undefined();
    bad.type = 9;
    EXPECT_THROW(c.toNumber(bad), ESFatalError);
    EXPECT_THROW(c.toString(bad), ESFatalError);
    EXPECT_THROW(c.toObject(bad), ESFatalError);
    EXPECT_THROW(c.toPrimitive(bad, ESContext::NoHint), ESFatalError);
}

TEST(Conversions, ToStringOfEveryType) {
    ESContext c;
    EXPECT_EQ(c.toText(ESValue::undefined()), QStringLiteral("undefined"));
    EXPECT_EQ(c.toText(ESValue::null()), QStringLiteral("null"));
    EXPECT_EQ(c.toText(ESValue::fromBool(false)), QStringLiteral("false"));
    EXPECT_EQ(c.toText(ESValue::fromNumber(1.0 / 3)), QStringLiteral("0.3333333333333333"));
    EXPECT_EQ(c.toString(ESValue::fromNumber(255), 16)->text(), QStringLiteral("ff"));
    EXPECT_EQ(c.toText(ESValue::fromObject(c.newObject())), QStringLiteral("[object Object]"));
    // Small integers come from the pool.
    EXPECT_TRUE(c.toString(ESValue::fromNumber(12))->isInterned());
}

TEST(Conversions, ToObjectWrapsPrimitives) {
    ESContext c;
    ESObject *b = c.toObject(ESValue::fromBool(true));
    EXPECT_EQ(b->m_class, c.booleanClass());
    EXPECT_EQ(b->m_prototype, c.booleanPrototype());
    EXPECT_TRUE(b->m_value.boolean());
    ESObject *s = c.toObject(c.newString(QStringLiteral("abc")));
    EXPECT_EQ(c.get(s, "length").number, 3);
    ESObject *o = c.newObject();
    EXPECT_EQ(c.toObject(ESValue::fromObject(o)), o);
    for (ESValue v : {ESValue::undefined(), ESValue::null()}) {
        try {
            c.toObject(v);
            ADD_FAILURE();
        } catch (const ESException &e) {
            EXPECT_STREQ(e.what(), v.isNull() ? "can't convert null to an object"
                                              : "can't convert undefined to an object");
        }
    }
}

TEST(Conversions, DefaultValueOrder) {
    ESContext c;
    runScript(
        c, QStringLiteral("var both = {valueOf: function() { return 1; }, toString: function() { "
                          "return 'text'; }};"
                          "var neither = {valueOf: function() { return {}; }, toString: "
                          "function() { return undefined; }};"));
    ESObject *both = c.get(c.globalObject(), "both").object;
    EXPECT_EQ(c.toText(c.defaultValue(both, ESContext::StringHint)), QStringLiteral("text"));
    EXPECT_EQ(c.toText(c.defaultValue(both, ESContext::NumberHint)), QStringLiteral("1"));
    EXPECT_EQ(c.toText(c.defaultValue(both, ESContext::NoHint)), QStringLiteral("1"));
    ESObject *date = c.toObject(c.evaluate(QString(), QStringLiteral("new Date(0)")).value);
    EXPECT_TRUE(c.defaultValue(date, ESContext::NoHint).isString());
    EXPECT_TRUE(c.defaultValue(date, ESContext::NumberHint).isNumber());
    ESObject *neither = c.get(c.globalObject(), "neither").object;
    try {
        c.defaultValue(neither, ESContext::NoHint);
        FAIL();
    } catch (const ESException &e) {
        EXPECT_STREQ(e.what(), "type error: no default value");
    }
}

TEST(Conversions, EqualityRules) {
    expectValues(
        {{"[null == undefined, 1 == '1', true == 1, '' == 0,"
          " NaN == NaN, 'a' == new String('a'), 2 == new Number(2),"
          " null == false, undefined == 0].join()",
          "true,true,true,false,false,true,true,false,false"},
         // Null and undefined equal each other and nothing else, objects and zero included.
         {"var o = {valueOf: function() { return null; }};"
          "[undefined == null, null != undefined, null == 0,"
          " undefined == '', null == o, o == undefined,"
          " undefined == NaN].join()",
          "true,false,false,false,false,false,false"}});
    ESContext c;
    EXPECT_TRUE(ESContext::strictEquals(c.newString(QStringLiteral("ab")),
                                        ESValue::fromString(c.intern("ab"))));
    EXPECT_FALSE(ESContext::strictEquals(ESValue::fromNumber(1), ESValue::fromBool(true)));
    EXPECT_FALSE(ESContext::strictEquals(ESValue::fromNumber(kNaN), ESValue::fromNumber(kNaN)));
    EXPECT_TRUE(ESContext::strictEquals(ESValue::null(), ESValue::null()));
}
