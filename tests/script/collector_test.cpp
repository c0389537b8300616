#include "scripttesting.h"

#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esheap.h"
#include "script/esobject.h"
#include "script/espersistent.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Records the largest heap seen between instructions.
class PeakContext : public ESContext {
public:
    bool carryOnExecuting() override {
        m_peak = std::max(m_peak, heap().bytes());
        return true;
    }
    std::size_t m_peak = 0;
};

QString text(ESContext &context, const QString &source) {
    ScriptOutcome outcome = runScript(context, source);
    return outcome.threw ? QStringLiteral("error: ") + outcome.text : outcome.text;
}

// A program's value in a context that never collects (the program is too small to reach
// the first collection) and in one that collects at every safe point: a reachable value
// freed too early changes the second, or trips the address checker.
void expectSameWithCollections(const char *program, const char *expected) {
    QString source = QString::fromUtf8(program);
    ESContext plain;
    plain.setCollectionStress(false);
    EXPECT_EQ(text(plain, source), QString::fromUtf8(expected)) << program;
    EXPECT_EQ(plain.collectionStats().collections, 0u) << program;
    ESContext stress;
    stress.setCollectionStress(true);
    EXPECT_EQ(text(stress, source), QString::fromUtf8(expected)) << program;
    EXPECT_GT(stress.collectionStats().collections, 10u) << program;
}

} // namespace

TEST(Collector, TemporariesStayWithinABoundedHeap) {
    // 250 bytes and more an iteration: 150 MB without a collector.
    int iterations = collectionStressed() ? 3000 : 600000;
    PeakContext context;
    EXPECT_EQ(text(context, QStringLiteral("var n = 0; for (var i = 0; i < %1; i++) { var o = "
                                           "{k: i, s: 'v' + i}; n += o.k; } n")
                                .arg(iterations)),
              QString::number(double(iterations) * (iterations - 1) / 2, 'f', 0));
    EXPECT_LT(context.m_peak, std::size_t(64) << 20);
    if (!collectionStressed()) {
        EXPECT_GT(context.collectionStats().collections, 5u);
        EXPECT_GT(context.collectionStats().freedBytes, std::uint64_t(100) << 20);
    }
}

TEST(Collector, ReachableValuesSurvive) {
    expectSameWithCollections(
        // Closures keep their scopes, also those of calls that returned long ago.
        "function counter(start) { var n = start; return function() { return n++; }; }\n"
        "var cs = []; for (var i = 0; i < 50; i++) cs[i] = counter(i * 10);\n"
        "for (var i = 0; i < 50; i++) { cs[i](); cs[i](); }\n"
        "var t = 0; for (var i = 0; i < 50; i++) t += cs[i](); t",
        "12350");
    expectSameWithCollections(
        // A growing array of objects, strings and nested arrays, read back at the end.
        "var a = []; for (var i = 0; i < 300; i++) a.push({i: i, s: 'x' + i, l: [i, 'y' + i]});\n"
        "var s = 0, t = ''; for (var i = 0; i < a.length; i++) { s += a[i].i + a[i].l[0];\n"
        "t += a[i].s.length + a[i].l[1].length; } s + ' ' + t.length",
        "89700 300");
    expectSameWithCollections(
        // String building, with the pieces made by natives.
        "var s = ''; for (var i = 0; i < 200; i++) s = s + String(i).concat('-');\n"
        "var parts = s.split('-'); parts.length + ' ' + parts[199] + ' ' + s.length",
        "201 199 690");
    expectSameWithCollections(
        // Code compiled at run time, and the objects it makes.
        "var fs = []; for (var i = 0; i < 20; i++) fs.push(new Function('x', 'return x + ' + i));\n"
        "var r = 0; for (var i = 0; i < 20; i++) r += fs[i](1) + eval('({v: ' + i + '})').v; r",
        "400");
    expectSameWithCollections(
        // Arguments objects outlive their calls when kept.
        "function keep() { return arguments; }\n"
        "var kept = []; for (var i = 0; i < 100; i++) kept.push(keep(i, 'a' + i, {z: i}));\n"
        "var r = 0; for (var i = 0; i < 100; i++) r += kept[i][0] + kept[i][2].z + "
        "kept[i][1].length; r + ' ' + kept[99].length",
        "10190 3");
    expectSameWithCollections(
        // for-in over an object that loses and gains properties during the loop: the
        // names still to visit and the values they lead to must stay valid.
        "var o = {}; for (var i = 0; i < 40; i++) o['k' + i] = {v: i};\n"
        "var seen = 0, sum = 0; for (var k in o) { seen++; sum += o[k].v; delete o[k];\n"
        "o['n' + seen] = {v: seen}; }\n"
        "var left = 0; for (var k in o) left += o[k].v; seen + ' ' + sum + ' ' + left",
        "40 780 820");
    expectSameWithCollections(
        // Values held by natives while script runs: sort's comparator, and the operands of
        // + and < whose conversions run script.
        "var a = []; for (var i = 0; i < 60; i++) a.push({v: (i * 37) % 60, s: 's' + i});\n"
        "a.sort(function(x, y) { var g = []; for (var j = 0; j < 5; j++) g.push({}); return "
        "x.v - y.v; });\n"
        "var o = {valueOf: function() { var g = {}; return 1; }, toString: function() { return "
        "'o'; }};\n"
        "var r = ''; for (var i = 0; i < 20; i++) r = ('a' + i) + o; var c = ('b' + 1) < o;\n"
        "a[0].v + a[59].v + ' ' + r + ' ' + c",
        "59 a191 false");
}

TEST(Collector, PersistentHoldersAreRoots) {
    ESContext context;
    runScript(context, QStringLiteral("function make(n) { var a = []; for (var i = 0; i < n; "
                                      "i++) a.push({i: i}); return a; }"));
    ESObject *make = context.get(context.globalObject(), "make").object;
    ESValue n = ESValue::fromNumber(1000);
    ESPersistent held(&context, context.call(make, ESValue::undefined(), 1, &n));
    {
        ESPersistent dropped(&context, context.call(make, ESValue::undefined(), 1, &n));
        ESPersistent empty(&context);
        std::uint64_t collections = context.collectionStats().collections;
        context.collectGarbage();
        EXPECT_EQ(context.collectionStats().collections, collections + 1);
    }
    std::size_t before = context.heap().bytes();
    context.collectGarbage();
    std::size_t freed = before - context.heap().bytes();
    // The dropped array and its thousand objects went; the held ones are intact.
    EXPECT_GT(freed, std::size_t(1000 * 64));
    EXPECT_EQ(context.collectionStats().freedBytes >= freed, true);
    ESObject *array = held.value().object;
    EXPECT_EQ(context.get(array, "length").number, 1000);
    ESValue last = context.getIndexed(held.value(), ESValue::fromNumber(999));
    ASSERT_TRUE(last.isObject());
    EXPECT_EQ(context.get(last.object, "i").number, 999);
    held.setValue(ESValue::undefined());
    before = context.heap().bytes();
    context.collectGarbage();
    EXPECT_GT(before - context.heap().bytes(), std::size_t(1000 * 64));
}

TEST(Collector, TheMemoryLimitCountsWhatIsReachable) {
    ESContext context;
    context.setMemoryLimit(16 * 1024 * 1024);
    // Garbage many times the limit is collected in time.
    EXPECT_EQ(text(context, QStringLiteral("var n = 0; for (var i = 0; i < %1; i++) { var a = "
                                           "[i, {}, 'x' + i]; n++; } n")
                                .arg(collectionStressed() ? 2000 : 200000)),
              QString::number(collectionStressed() ? 2000 : 200000));
    // What stays reachable still ends in "out of memory".
    if (collectionStressed())
        return;
    try {
        context.evaluate(QString(), QStringLiteral("var keep = []; for (;;) keep.push({});"));
        ADD_FAILURE() << "no fatal error";
    } catch (const ESFatalError &e) {
        EXPECT_STREQ(e.what(), "out of memory");
    }
    // Once that is dropped and collected, the context works again.
    text(context, QStringLiteral("keep = null"));
    context.collectGarbage();
    EXPECT_LT(context.heap().bytes(), std::size_t(4) << 20);
    EXPECT_EQ(text(context, QStringLiteral("var b = []; for (var i = 0; i < 1000; i++) "
                                           "b.push({}); b.length")),
              QStringLiteral("1000"));
}
