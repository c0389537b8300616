#include "hosttesting.h"
#include "testobject.h"

#include "script/esobject.h"
#include "scripthost/qobjectesclass.h"

#include <gtest/gtest.h>

namespace {

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        context.adoptClass(std::make_unique<QObjectESClass>(&object))->install(context, "obj");
    }
    std::string eval(const char *source) {
        ESCompletion completion =
            context.evaluate(QStringLiteral("binding.js"), QString::fromUtf8(source));
        if (completion.type == ESCompletion::Throw)
            return "error: " + completion.text.toStdString();
        return context.toText(completion.value).toStdString();
    }

    TestObject object;
    ESContext context;
};

TEST_F(Binding, DefaultArgumentsReachEveryForm) {
    // The overload set answers with the fewest parameters that take all arguments.
    EXPECT_EQ(eval("obj.join('x')"), "xB");
    EXPECT_EQ(eval("obj.join('x', 'y')"), "xy");
    EXPECT_EQ(eval("obj.join('x', 'y', 3)"), "xyxyxy");
    // Arguments beyond the longest form are ignored.
    EXPECT_EQ(eval("obj.join('x', 'y', 2, 'extra')"), "xyxy");
    EXPECT_EQ(eval("obj.join.length"), "3");
    EXPECT_EQ(eval("obj.add(40, 2)"), "42");
    // Missing arguments of the shortest form are default-constructed.
    EXPECT_EQ(eval("obj.add(7)"), "7");
    // Among forms of equal length the last listed wins.
    EXPECT_EQ(eval("obj.pick(1, 2)"), "1+2");
}

TEST_F(Binding, ConvertsEveryKnownType) {
    EXPECT_EQ(eval("obj.wide(4503599627370496)"), "9007199254740992");
    EXPECT_EQ(eval("obj.wide(-3)"), "-6");
    EXPECT_EQ(eval("obj.narrow(3)"), "0.75");
    EXPECT_EQ(eval("obj.unsignedValue(-1)"), "4294967295");
    EXPECT_EQ(eval("obj.negate(0)"), "true");
    EXPECT_EQ(eval("obj.words(['a', 'b']).join('|')"), "a|b|2");
    EXPECT_EQ(eval("obj.words('one').join('|')"), "one|1");
    EXPECT_EQ(eval("obj.echo('text') + typeof obj.echo(1.5) + obj.echo(true)"), "textnumbertrue");
    EXPECT_EQ(eval("(obj.echo(null) == null) + typeof obj.echo()"), "trueundefined");
    EXPECT_EQ(eval("var l = obj.echo([1, 'a', [2]]); l.length + ':' + l[1] + ':' + l[2][0]"),
              "3:a:2");
    EXPECT_EQ(eval("obj.reverse([1, 2, 3]).join()"), "3,2,1");
    EXPECT_EQ(eval("var m = obj.keys({a: 1, b: 'x'}); m.a + m.b + m.count"), "1x2");
    EXPECT_EQ(eval("var o = obj.echo({n: {deep: [5]}}); o.n.deep[0]"), "5");
}

TEST_F(Binding, CyclicValuesDoNotRecurseForever) {
    EXPECT_EQ(eval("var a = [1]; a[1] = a; var b = obj.echo(a); b[0]"), "1");
}

// Messages of the error category, while a test watches them.
QStringList g_critical;

void keepCritical(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtCriticalMsg)
        g_critical << text;
}

TEST_F(Binding, UnsupportedParametersAreRefusedWithoutCallingAndResultsDropped) {
    g_critical.clear();
    QtMessageHandler previous = qInstallMessageHandler(keepCritical);
    EXPECT_EQ(eval("obj.dayOf('2024-01-05')"), "error: Unsupported type QDate");
    EXPECT_EQ(object.m_calls, 0);
    ESCompletion thrown = context.evaluate(QString(), QStringLiteral("obj.dayOf(1)"));
    ASSERT_EQ(thrown.type, ESCompletion::Throw);
    ASSERT_TRUE(thrown.value.isObject());
    EXPECT_EQ(thrown.value.object->m_class, context.typeErrorClass());
    EXPECT_EQ(object.m_calls, 0);
    // A result type without a conversion is logged too; the call happens and gives undefined.
    EXPECT_EQ(eval("typeof obj.today()"), "undefined");
    EXPECT_EQ(object.m_calls, 1);
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_critical.join(QLatin1Char('|')).toStdString(),
              "Unsupported type QDate|Unsupported type QDate|Unsupported type QDate");
}

// A stop while an argument is converted leaves the method uncalled: it would act on part of
// the list.
TEST_F(Binding, AStopDuringConversionCallsNothing) {
    StoppingContext stopping(100);
    TestObject target;
    stopping.adoptClass(std::make_unique<QObjectESClass>(&target))->install(stopping, "obj");
    ESCompletion completion =
        stopping.evaluate(QStringLiteral("stop.js"), QStringLiteral("obj.words({length: 1e9})"));
    EXPECT_EQ(completion.type, ESCompletion::Normal);
    EXPECT_EQ(target.m_calls, 0);
}

TEST_F(Binding, PropertiesAndEnumerations) {
    EXPECT_EQ(eval("obj.count = 12; obj.count + 1"), "13");
    EXPECT_EQ(object.m_count, 12);
    EXPECT_EQ(eval("obj.enabled = 'true'; obj.enabled"), "true");
    EXPECT_EQ(eval("obj.enabled = 'yes'; obj.enabled"), "false");
    EXPECT_EQ(eval("obj.enabled = 1; obj.enabled"), "true");
    EXPECT_EQ(eval("obj.Fast + ',' + obj.Turbo"), "5,6");
    EXPECT_EQ(eval("obj.mode = 'Turbo'; obj.mode"), "6");
    EXPECT_EQ(object.m_mode, TestObject::Turbo);
    EXPECT_EQ(eval("obj.mode = obj.Fast; obj.mode == obj.Fast"), "true");
    EXPECT_EQ(eval("obj.mode = 'Warp'"), "error: invalid enum value: Warp");
    EXPECT_EQ(eval("obj.mode = 3"), "error: invalid enum value: 3");
    EXPECT_EQ(object.m_mode, TestObject::Fast);
    EXPECT_EQ(eval("obj.nothing = 1"), "error: unknown property: nothing");
    EXPECT_EQ(eval("obj.label"), "fixed");
    EXPECT_EQ(eval("obj.label = 'x'"), "error: read-only property: label");
    // Enumeration keys are constants.
    EXPECT_EQ(eval("obj.Fast = 9; obj.Fast"), "5");
}

TEST_F(Binding, ReturnedObjectsAreBoundAndKeptByTheContext) {
    EXPECT_EQ(eval("var c = obj.child(); c.count + c.add(1, 0)"), "42");
    EXPECT_EQ(eval("c.join('p')"), "pB");
}

TEST_F(Binding, MethodsCarryTheirFullNames) {
    EXPECT_EQ(eval("Object.prototype.toString.call(obj.add)"), "[object obj.prototype.add]");
    EXPECT_EQ(eval("typeof obj.add"), "function");
}

} // namespace
