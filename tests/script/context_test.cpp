#include "scripttesting.h"

#include "script/esclass.h"
#include "script/escontext.h"
#include "script/esexception.h"
#include "script/esnativeglobal.h"
#include "script/esobject.h"
#include "script/esstring.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {

QString text(ESContext &context, const QString &source) {
    ScriptOutcome outcome = runScript(context, source);
    return outcome.threw ? QStringLiteral("error: ") + outcome.text : outcome.text;
}

// A host context that stops after a number of polls, as the threads window does.
class BudgetContext : public ESContext {
public:
    explicit BudgetContext(long budget) : m_budget(budget) {}
    bool carryOnExecuting() override { return ++m_polls < m_budget; }
    long m_budget;
    long m_polls = 0;
};

} // namespace

TEST(ContextEvaluate, ReturnsTheValueOfTheLastStatement) {
    ESContext context;
    ESCompletion completion = context.evaluate(QStringLiteral("f.js"), QStringLiteral("1; 2 + 3"));
    EXPECT_EQ(completion.type, ESCompletion::Normal);
    ASSERT_TRUE(completion.value.isNumber());
    EXPECT_EQ(completion.value.number, 5);
    EXPECT_TRUE(context.evaluate(QString(), QString()).value.isUndefined());
    EXPECT_TRUE(context.evaluate(QString(), QStringLiteral("var x = 1;")).value.isUndefined());
    EXPECT_TRUE(context.evaluate(QString(), QStringLiteral("function f() {}")).value.isUndefined());
    EXPECT_EQ(text(context, QStringLiteral("if (1) { 7 }")), QStringLiteral("undefined"));
    EXPECT_EQ(text(context, QStringLiteral("{ 8; 9 }")), QStringLiteral("9"));
}

TEST(ContextEvaluate, SyntaxChecksRunNothingAndKeepNothing) {
    ESContext context;
    int functions = context.functionCount();
    int globals = context.globalObject()->m_properties.size();
    ESCompletion ok = context.checkSyntax(QString(), QStringLiteral("function f() {} g = 1;"));
    EXPECT_EQ(ok.type, ESCompletion::Normal);
    EXPECT_EQ(context.functionCount(), functions);
    EXPECT_EQ(context.globalObject()->m_properties.size(), globals);
    ESCompletion bad = context.checkSyntax(QStringLiteral("c.js"), QStringLiteral("\nx = ;"));
    ASSERT_EQ(bad.type, ESCompletion::Throw);
    EXPECT_EQ(bad.text, QStringLiteral("expected an expression, found ;"));
    EXPECT_EQ(context.get(bad.value.object, "lineNumber").number, 2);
}

// Runtime errors carry their class, the line of the failing instruction and its text.
struct RuntimeError {
    const char *source;
    const char *message;
    int line;
    const char *sourceLine;
};

void PrintTo(const RuntimeError &e, std::ostream *os) {
    *os << testLabel(e.message) << "__" << testLabel(e.source);
}

class ContextErrors : public testing::TestWithParam<RuntimeError> {};

TEST_P(ContextErrors, ReportMessageLineAndSourceLine) {
    const RuntimeError &e = GetParam();
    ESContext context;
    ScriptOutcome outcome = runScript(context, QString::fromUtf8(e.source), QStringLiteral("r.js"));
    ASSERT_TRUE(outcome.threw) << outcome.text.toStdString();
    EXPECT_EQ(outcome.text, QString::fromUtf8(e.message));
    EXPECT_EQ(outcome.line, e.line);
    EXPECT_EQ(outcome.sourceLine, QString::fromUtf8(e.sourceLine));
    EXPECT_EQ(outcome.fileName, QStringLiteral("r.js"));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ContextErrors,
    testing::Values(
        RuntimeError{"x = 1;\nundefinedName();", "not a function object", 2, "undefinedName();"},
        RuntimeError{"var o = {};\no.f();", "not a function object", 2, "o.f();"},
        RuntimeError{"var o = {f: 1};\no[\"f\"](2);", "not a function object", 2, "o[\"f\"](2);"},
        RuntimeError{"(5)();", "not a function object", 1, "(5)();"},
        RuntimeError{"x = 5;\nnew x;", "new must be given a constructor object", 2, "new x;"},
        RuntimeError{"new 5", "new must be given a constructor object", 1, "new 5"},
        RuntimeError{"var u;\nu.p = 1;", "can't convert undefined to an object", 2, "u.p = 1;"},
        RuntimeError{"null[0];", "can't convert null to an object", 1, "null[0];"},
        RuntimeError{"for (var k in null) ;", "can't convert null to an object", 1,
                     "for (var k in null) ;"},
        RuntimeError{"with (undefined) x = 1;", "can't convert undefined to an object", 1,
                     "with (undefined) x = 1;"},
        RuntimeError{"var o = {valueOf: function() { return {}; },\n"
                     "         toString: function() { return {}; }};\no * 2;",
                     "type error: no default value", 3, "o * 2;"},
        RuntimeError{"new Math.floor(1);", "Math.floor failed to generate an object", 1,
                     "new Math.floor(1);"},
        RuntimeError{"function f() {\n  return g();\n}\nfunction g() {\n  return h.x;\n}\nf();",
                     "can't convert undefined to an object", 5, "  return h.x;"}));

TEST(ContextErrors, ErrorsHaveTheirClass) {
    ESContext context;
    struct {
        const char *source;
        ESClass *cls;
    } cases[] = {{"undefined.x", context.typeErrorClass()},
                 {"(1).toFixed(99)", context.rangeErrorClass()},
                 {"[].sort(1)", context.errorClass()},
                 {"x = ;", context.syntaxErrorClass()}};
    for (const auto &c : cases) {
        ESCompletion completion = context.evaluate(QString(), QString::fromUtf8(c.source));
        ASSERT_EQ(completion.type, ESCompletion::Throw) << c.source;
        EXPECT_EQ(completion.value.object->m_class, c.cls) << c.source;
    }
}

TEST(ContextErrors, EndlessRecursionIsFatalAndTheContextRecovers) {
    if (collectionStressed())
        GTEST_SKIP() << "fills the stack";
    ESContext context;
    const char *programs[] = {
        "function f(n) { return f(n + 1); } f(0);",
        "function g() { return new g(); } g();",
        "var a = []; a[0] = a; a.join();",
        "var o = {toString: function() { return '' + o; }}; '' + o;",
        "function h() { return [3, 1].sort(function() { return h(); }); } h();",
        // Recursion that compiles on every level: the compiler must not take the exhausted
        // stack for deep nesting in the source.
        "function k() { return new Function('return k()')(); } k();",
        "function e() { return eval('e()'); } e();",
    };
    for (const char *program : programs) {
        try {
            context.evaluate(QString(), QString::fromUtf8(program));
            ADD_FAILURE() << "no fatal error: " << program;
        } catch (const ESFatalError &e) {
            EXPECT_STREQ(e.what(), "virtual machine stack too small") << program;
        }
        EXPECT_EQ(text(context, QStringLiteral("[1, 2].join('+')")), QStringLiteral("1+2"));
    }
}

TEST(ContextErrors, RepeatedFailuresLeaveTheStackBalanced) {
    if (collectionStressed())
        GTEST_SKIP() << "fills the stack";
    // Each failure unwinds from 40 frames of 100 locals: 4000 values of the stack. Were
    // they not given back, 300 failures would use up the whole value stack.
    QString locals;
    for (int i = 0; i < 100; ++i)
        locals += QStringLiteral("var v%1 = %1;").arg(i);
    ESContext context;
    runScript(context, QStringLiteral("function deep(n) { ") + locals +
                           QStringLiteral(" return n ? deep(n - 1) : nope(); }"));
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(runScript(context, QStringLiteral("deep(40)")).threw);
    EXPECT_EQ(text(context, QStringLiteral("function d(n) { return n ? d(n - 1) : 7; } d(300)")),
              QStringLiteral("7"));
}

TEST(ContextHost, CallsAndConstructsScriptFunctions) {
    ESContext context;
    runScript(context, QStringLiteral("function add(a, b) { return a + b + this.k; }\n"
                                      "function Pair(a, b) { this.a = a; this.b = b; }"));
    ESObject *add = context.get(context.globalObject(), "add").object;
    ESObject *receiver = context.newObject();
    context.put(receiver, context.intern("k"), ESValue::fromNumber(100));
    ESValue args[] = {ESValue::fromNumber(1), ESValue::fromNumber(2)};
    ESValue r = context.call(add, ESValue::fromObject(receiver), 2, args);
    ASSERT_TRUE(r.isNumber());
    EXPECT_EQ(r.number, 103);

    ESObject *pairClass = context.get(context.globalObject(), "Pair").object;
    ESObject *pair = context.construct(pairClass, 2, args);
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(context.get(pair, "b").number, 2);
    EXPECT_EQ(context.get(pair, "constructor").object, pairClass);

    EXPECT_THROW(context.call(context.newObject(), ESValue::undefined()), ESException);
    try {
        context.call(context.newObject(), ESValue::undefined());
    } catch (const ESException &e) {
        EXPECT_STREQ(e.what(), "can only call function objects");
    }
}

TEST(ContextHost, ScriptErrorsInHostCallsRaiseESException) {
    ESContext context;
    runScript(context, QStringLiteral("function bad() { return missing(); }"));
    ESObject *bad = context.get(context.globalObject(), "bad").object;
    try {
        context.call(bad, ESValue::undefined());
        FAIL() << "no exception";
    } catch (const ESException &e) {
        EXPECT_STREQ(e.what(), "not a function object");
        ASSERT_TRUE(e.value().isObject());
        EXPECT_EQ(context.get(e.value().object, "lineNumber").number, 1);
    }
    EXPECT_EQ(context.currentLine(), 0);
}

namespace {

// A host class the way host objects plug in: definition records, some with handlers and
// some dispatched by the class itself, and help texts.
class GadgetClass : public ESClass {
public:
    static ESValue twice(ESContext &c, ESObject *, const ESValue &, int, ESValue *argv) {
        return ESValue::fromNumber(2 * c.toNumber(argv[0]));
    }
    void install(ESContext &context, const char *name) override {
        ESClass::install(context, name);
        static const ESMethodDef kMethods[] = {
            {"twice", "Gadget.prototype.twice", 1, 0, twice,
             "<b>Gadget.twice(<i>n</i>)</b> doubles <i>n</i>."},
            {"count", "Gadget.prototype.count", 0, 1},
            {"broken", "Gadget.prototype.broken", 0, 7},
        };
        defineMethods(context, m_prototype, kMethods);
    }
    ESValue call(ESContext &context, ESObject *function, const ESValue &thisValue, int argc,
                 ESValue *argv) override {
        if (function->m_nativeIndex == 1)
            return ESValue::fromNumber(++m_count);
        return ESClass::call(context, function, thisValue, argc, argv);
    }
    int m_count = 0;
};

} // namespace

TEST(ContextHost, HostClassesInstallMethodsFromDefinitionRecords) {
    ESContext context;
    GadgetClass gadget;
    gadget.install(context, "Gadget");
    EXPECT_EQ(text(context, QStringLiteral("var k = []; for (var p in Gadget) k.push(p); k")),
              QString());
    EXPECT_EQ(text(context, QStringLiteral("Gadget.twice(21)")), QStringLiteral("42"));
    EXPECT_EQ(text(context, QStringLiteral("Gadget.count(); Gadget.count()")), QStringLiteral("2"));
    EXPECT_EQ(text(context, QStringLiteral("Gadget.twice.help")),
              QStringLiteral("<b>Gadget.twice(<i>n</i>)</b> doubles <i>n</i>."));
    EXPECT_EQ(text(context, QStringLiteral("typeof Gadget.count.help")),
              QStringLiteral("undefined"));
    EXPECT_EQ(text(context, QStringLiteral("Gadget.twice.length + ',' + typeof Gadget.twice")),
              QStringLiteral("1,function"));
    EXPECT_EQ(text(context, QStringLiteral("var t = Object.prototype.toString;"
                                           "Gadget.t = t; Gadget.t() + ' ' + "
                                           "(Gadget.twice.t = t, Gadget.twice.t())")),
              QStringLiteral("[object Gadget] [object Gadget.prototype.twice]"));
    EXPECT_EQ(text(context, QStringLiteral("Gadget.broken()")),
              QStringLiteral("error: bad signature in builtin call"));
}

TEST(ContextStop, StopsBeforeTheNextInstructionAndReturnsNormally) {
    BudgetContext context(1000);
    ESCompletion completion =
        context.evaluate(QString(), QStringLiteral("var n = 0; while (true) n++;"));
    EXPECT_EQ(completion.type, ESCompletion::Normal);
    EXPECT_TRUE(completion.value.isUndefined());
    EXPECT_EQ(context.m_polls, 1000);
    context.m_budget = 1000000;
    EXPECT_EQ(text(context, QStringLiteral("n > 100 && n < 1000")), QStringLiteral("true"));
}

TEST(ContextStop, StopsInsideCallsAndNativeLoops) {
    const char *programs[] = {
        "function spin() { for (;;) ; } spin(); after = 1;",
        "var a = [9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 10, 11, 12, 13, 14, 15, 16, 17];"
        "a.sort(function(x, y) { return y - x; }); after = 1;",
        "var big = []; big.length = 4000000000; big.sort(); after = 1;",
        "var big = []; big.length = 4000000000; big.reverse(); after = 1;",
        "eval('for (;;) ;'); after = 1;",
    };
    for (const char *program : programs) {
        BudgetContext context(100);
        ESCompletion completion = context.evaluate(QString(), QString::fromUtf8(program));
        EXPECT_EQ(completion.type, ESCompletion::Normal) << program;
        context.m_budget = 1000000;
        EXPECT_EQ(text(context, QStringLiteral("typeof after")), QStringLiteral("undefined"))
            << program;
    }
}

TEST(ContextLimits, MemoryLimitEndsRunawayAllocation) {
    if (collectionStressed())
        GTEST_SKIP() << "fills the heap";
    for (const char *program :
         {"var s = 'x'; for (;;) s = s + s;", "var a = []; for (var i = 0;; i++) a[i] = {};",
          "var o = []; for (;;) o.push([1, 2, 3, 4, 5, 6, 7, 8]);"}) {
        ESContext context;
        context.setMemoryLimit(16 * 1024 * 1024);
        try {
            context.evaluate(QString(), QString::fromUtf8(program));
            ADD_FAILURE() << "no fatal error: " << program;
        } catch (const ESFatalError &e) {
            EXPECT_STREQ(e.what(), "out of memory");
        }
    }
}

TEST(ContextLimits, RecursionIsBoundedByTheBytesOfItsActivations) {
    if (collectionStressed())
        GTEST_SKIP() << "fills the heap";
    // Each call of the closure's parent keeps an activation of 2000 variables: the stack
    // must run out long before the activations use the heap's 64 MiB.
    QString variables;
    for (int i = 0; i < 2000; ++i)
        variables += (i ? QStringLiteral(",v") : QStringLiteral("v")) + QString::number(i);
    ESContext context;
    context.setMemoryLimit(64 * 1024 * 1024);
    try {
        context.evaluate(QString(), QStringLiteral("function f() { var %1; function g() { return "
                                                   "v1; } return f(); } f();")
                                        .arg(variables));
        ADD_FAILURE() << "no fatal error";
    } catch (const ESFatalError &e) {
        EXPECT_STREQ(e.what(), "virtual machine stack too small");
    }
    // Returning gives the activations' share of the stack back.
    EXPECT_EQ(text(context, QStringLiteral("function h(n) { var a; function k() { return a; } "
                                           "return n ? h(n - 1) : 'deep'; } h(500)")),
              QStringLiteral("deep"));
}

namespace {

// Stands for any allocation in the engine that the machine refuses.
class GreedyClass : public ESClass {
public:
    static ESValue grab(ESContext &, ESObject *, const ESValue &, int, ESValue *) {
        throw std::bad_alloc();
    }
    void install(ESContext &context, const char *) override {
        static const ESMethodDef kMethods[] = {{"grab", "grab", 0, 0, grab, nullptr}};
        defineMethods(context, context.globalObject(), kMethods);
    }
};

} // namespace

TEST(ContextLimits, AFailedAllocationIsTheFatalErrorOutOfMemory) {
    ESContext context;
    GreedyClass greedy;
    greedy.install(context, "grab");
    for (const char *program :
         {"grab()", "function f() { return grab(); } [2, 1].sort(f)", "eval('grab()')"}) {
        try {
            context.evaluate(QString(), QString::fromUtf8(program));
            ADD_FAILURE() << "no fatal error: " << program;
        } catch (const ESFatalError &e) {
            EXPECT_STREQ(e.what(), "out of memory") << program;
        }
    }
    ESObject *grab = context.get(context.globalObject(), "grab").object;
    EXPECT_THROW(context.call(grab, ESValue::undefined()), ESFatalError);
    EXPECT_EQ(text(context, QStringLiteral("1 + 1")), QStringLiteral("2"));
}

TEST(ContextGlobals, SlotsStayValidAfterDelete) {
    ESContext context;
    EXPECT_EQ(text(context, QStringLiteral("x = 1; delete this.x; typeof x")),
              QStringLiteral("undefined"));
    EXPECT_EQ(text(context, QStringLiteral("x = 2; this.x + this.hasOwnProperty('x')")),
              QStringLiteral("3"));
    EXPECT_EQ(text(context, QStringLiteral("this.y = 5; delete this.y; this.y = 6; y")),
              QStringLiteral("6"));
}

TEST(ContextGlobals, UndeclaredNamesAndWith) {
    ESContext context;
    EXPECT_EQ(text(context, QStringLiteral("typeof neverAssigned")), QStringLiteral("undefined"));
    EXPECT_EQ(text(context, QStringLiteral("function f() { z = 3; } f(); this.z")),
              QStringLiteral("3"));
    EXPECT_EQ(text(context, QStringLiteral("var o = {v: 1}; with (o) { function g() { return v; } }"
                                           "o.v = 2; g()")),
              QStringLiteral("2"));
    // A function called by name from inside a closure does not see the activation object.
    EXPECT_EQ(text(context, QStringLiteral("function outer() { var local = 1;"
                                           "  function who() { return this.local; }"
                                           "  return function() { return who(); }; }"
                                           "typeof outer()()")),
              QStringLiteral("undefined"));
}

TEST(ContextNatives, EvalRunsInTheCallersScope) {
    expectValues({
        {"function f() { var x = 5; return eval('x + 1'); } f()", "6"},
        // Declarations land in the calling function, not on the global object.
        {"function f() { eval('var y = 7'); return y; } f() + ' ' + typeof y", "7 undefined"},
        {"function f(a) { eval('function q() { return a * 2; }'); return q(); }"
         "f(21) + ' ' + typeof q",
         "42 undefined"},
        {"function f() { var z = 1; function g() { return eval('z = z + 1; z'); }"
         "  return g() + z; } f()",
         "4"},
        // An existing variable keeps its value when eval code declares it again.
        {"function f() { var w = 3; eval('var w'); return w; } f()", "3"},
        {"function f() { return eval('this'); } var o = {m: f}; o.m() == o", "true"},
        {"function f() { return eval('arguments.length'); } f(1, 2, 3)", "3"},
        {"var g = 3; eval('var h = g + 1'); h", "4"},
        {"var r; with ({w: 1}) { r = eval('w'); } r", "1"},
        {"function f() { return eval('1 +'); } typeof f()", "undefined"},
    });
}

TEST(ContextNatives, VarArgumentsKeepsTheArgumentsObject) {
    expectValues({{"function f() { var arguments; return arguments.length; }"
                   "f(1, 2)",
                   "2"},
                  {"function f() { var arguments = 4; return arguments; } f(1)", "4"},
                  {"function f(arguments) { return arguments; } f(5)", "5"}});
}

TEST(ContextEvaluate, OperandsAndTargetsGoLeftToRight) {
    expectValues({
        {"var a = [1, 2, 3], b = [], i = 0; b[i] = a[i++]; b.length + ':' + b[0] + ':' + i",
         "1:1:1"},
        {"var a = [5, 6], i = 0; a[i++] = i; a.join()", "1,6"},
        {"var o = {}, p = {}, t = o; function f() { t = p; return 1; } t.x = f();"
         "typeof o.x + typeof p.x",
         "numberundefined"},
        {"var a = [1, 2], i = 0; a[i] += (i = 1); a.join() + ':' + i", "2,2:1"},
        {"var s = ''; function l() { s += 'l'; return 1; } function r() { s += 'r'; return 2; }"
         "l() > r(); l() >= r(); l() < r(); l() <= r(); s",
         "lrlrlrlr"},
        {"var s = ''; function l() { s += 'l'; return 3; } function r() { s += 'r'; return 2; }"
         "var n = 0; while (l() > r() && n < 2) n++; s",
         "lrlrlr"},
        {"var i = 0; i++ > i", "false"},
        {"var i = 1; i > i--", "false"},
        // Conversions of the operands still follow the comparison's own order.
        {"var s = ''; var x = {valueOf: function() { s += 'x'; return 1; }};"
         "var y = {valueOf: function() { s += 'y'; return 2; }}; var c = x > y; s",
         "yx"},
    });
    // Inside functions, with locals as temporaries.
    EXPECT_EQ(evalText(QStringLiteral("function f(a) { var b = [], i = 0; b[i] = a[i++];"
                                      "  var s = ''; function l() { s += 'l'; return 1; }"
                                      "  function r() { s += 'r'; return 2; }"
                                      "  l() > r(); return b[0] + s + i; } f([7])")),
              "7lr1");
}

TEST(ContextNatives, EvalAndLoad) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile script(dir.filePath(QStringLiteral("lib.js")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("var fromLibrary = 'loaded';\nfunction libFail() {\n  return nothing.x;\n}\n");
    script.close();

    auto global = std::make_unique<ESNativeGlobal>();
    global->setSearchPath({QStringLiteral("/nonexistent"), dir.path()});
    ESContext context(std::move(global));
    EXPECT_EQ(text(context, QStringLiteral("load('lib.js') + ' ' + fromLibrary")),
              QStringLiteral("true loaded"));
    EXPECT_EQ(text(context, QStringLiteral("load('missing.js')")), QStringLiteral("false"));
    EXPECT_EQ(text(context, QStringLiteral("load('") + dir.path() + QStringLiteral("')")),
              QStringLiteral("false"));
    ScriptOutcome outcome = runScript(context, QStringLiteral("libFail()"));
    ASSERT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.fileName, dir.filePath(QStringLiteral("lib.js")));
    EXPECT_EQ(outcome.line, 3);
    EXPECT_EQ(outcome.sourceLine, QStringLiteral("  return nothing.x;"));

    QFile broken(dir.filePath(QStringLiteral("broken.js")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("x = ;");
    broken.close();
    outcome = runScript(context, QStringLiteral("load('broken.js'); after = 1;"));
    ASSERT_TRUE(outcome.threw);
    EXPECT_EQ(outcome.text, QStringLiteral("expected an expression, found ;"));
    EXPECT_EQ(text(context, QStringLiteral("typeof after")), QStringLiteral("undefined"));

    EXPECT_EQ(text(context, QStringLiteral("[eval('1+'), eval('nope()'), eval('2*3')].join()")),
              QStringLiteral("undefined,undefined,6"));
    EXPECT_THROW(context.evaluate(QString(), QStringLiteral("eval('function r() { r(); } r()')")),
                 ESFatalError);
}

TEST(ContextConcurrency, ContextsOnTwoThreadsConvertNumbersIndependently) {
    auto work = [](int seed, bool *ok) {
        ESContext context;
        QString program =
            QStringLiteral("var s = ''; for (var i = 0; i < 3000; i++) s = (i * %1 / 7) + '';"
                           "s + '|' + (123456.789 * %1).toFixed(3) + '|' + (255 * %1).toString(16)")
                .arg(seed);
        QString expected =
            QStringLiteral("%1|%2|%3")
                .arg(QString::number(2999.0 * seed / 7, 'g', QLocale::FloatingPointShortest))
                .arg(QString::number(123456.789 * seed, 'f', 3))
                .arg(QString::number(255 * seed, 16));
        for (int k = 0; k < 20; ++k) {
            if (text(context, program) != expected)
                *ok = false;
        }
    };
    bool first = true, second = true;
    std::thread a(work, 3, &first), b(work, 11, &second);
    a.join();
    b.join();
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
}
