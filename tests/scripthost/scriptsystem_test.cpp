#include "hosttesting.h"

#include "scratchdirtest.h"

#include "script/esclass.h"
#include "script/esobject.h"
#include "scripthost/javascriptconsole.h"
#include "scripthost/myescontext.h"
#include "scripthost/tovanscriptsystem.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// An environment whose contexts also get nest(levels): a script that runs a script, `levels`
// times over, through the script system.
class NestingEnvironment : public HeadlessScriptEnvironment {
public:
    void installHostObjects(ESContext &context) override {
        HeadlessScriptEnvironment::installHostObjects(context);
        context.adoptClass(std::make_unique<NestClass>(*this))->install(context, "Nest");
    }

    TovanScriptSystem *system = nullptr;
    int deepest = 0;

private:
    class NestClass : public ESClass {
    public:
        explicit NestClass(NestingEnvironment &environment) : m_environment(environment) {}
        void install(ESContext &context, const char *) override {
            static const ESMethodDef kMethods[] = {{"nest", "nest", 1, 0, nest}};
            defineMethods(context, context.globalObject(), kMethods);
        }

    private:
        static ESValue nest(ESContext &c, ESObject *function, const ESValue &, int, ESValue *argv) {
            NestingEnvironment &environment =
                static_cast<NestClass *>(function->m_class)->m_environment;
            TovanScriptSystem &system = *environment.system;
            environment.deepest = std::max(environment.deepest, system.depth());
            int levels = c.toInt32(argv[0]);
            if (levels == 0)
                return ESValue::fromBool(true);
            return ESValue::fromBool(system.runScript(QStringLiteral("nest(%1)").arg(levels - 1),
                                                      false, QStringLiteral("nested.js")));
        }
        NestingEnvironment &m_environment;
    };
};

TovanScriptSystem::Run runOf(const char *source) {
    TovanScriptSystem::Run run;
    run.source = QString::fromUtf8(source);
    return run;
}

class ScriptSystemTest : public ScratchDirTest {
protected:
    void SetUp() override {
        ensureApplication();
        environment.system = &system;
        environment.setOutput([this](const QString &text) { output += text; });
        environment.setMessageOutput([this](const QString &text) { messages += text; });
    }

    NestingEnvironment environment;
    TovanScriptSystem system{environment};
    QString output;
    QString messages;
};

TEST_F(ScriptSystemTest, FourLevelsOfNestingRunAndTheFifthFails) {
    std::vector<bool> running;
    QObject::connect(&system, &ScriptSystem::runningChanged,
                     [&running](bool on) { running.push_back(on); });
    EXPECT_TRUE(system.runScript(QStringLiteral("nest(3)"), false, QStringLiteral("top.js")));
    EXPECT_EQ(environment.deepest, 4);
    EXPECT_EQ(messages.toStdString(), "");
    EXPECT_EQ(running, (std::vector<bool>{true, false}));

    TovanScriptSystem::Run run = runOf("nest(4)");
    // The innermost run fails; the runs around it go on and succeed.
    EXPECT_TRUE(system.runScript(run));
    EXPECT_EQ(messages.toStdString(),
              "error: Script Fatal Error\nscript recursion limit reached\n");
    EXPECT_EQ(system.depth(), 0);
    EXPECT_EQ(system.context(), nullptr);
    EXPECT_FALSE(system.isRunning());

    // The levels were all left: a new run works.
    messages.clear();
    QVariant result;
    ASSERT_TRUE(system.runScript(runOf("nest(2); 6 * 7"), &result));
    EXPECT_EQ(result.toDouble(), 42);
    EXPECT_EQ(messages.toStdString(), "");
}

TEST_F(ScriptSystemTest, ATimerStopEndsAnEndlessLoop) {
    QTimer::singleShot(100, &system, [this] { system.requestStop(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(
        system.runScript(QStringLiteral("while (true) {}"), true, QStringLiteral("loop.js")));
    EXPECT_LT(clock.elapsed(), 20000);
    EXPECT_TRUE(system.stopRequested());
    // The next run starts with the request cleared.
    QVariant result;
    ASSERT_TRUE(system.runScript(runOf("var i = 0; while (i < 5000) i++; i"), &result));
    EXPECT_EQ(result.toInt(), 5000);
}

TEST_F(ScriptSystemTest, AStopKillsTheCommandAScriptWaitsFor) {
    QTimer::singleShot(200, &system, [this] { system.requestStop(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(
        system.runScript(QStringLiteral("KVSys.run('sleep 30', true); WScript.Echo('not reached')"),
                         true, QStringLiteral("wait.js")));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(output.toStdString(), "");
    QTimer::singleShot(200, &system, [this] { system.requestStop(); });
    clock.restart();
    EXPECT_TRUE(system.runScript(QStringLiteral("tovan.spawn('sleep', ['30'])"), true,
                                 QStringLiteral("spawn.js")));
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(ScriptSystemTest, RuntimeErrorsAreReportedWithLineFileAndSource) {
    EXPECT_FALSE(system.runScript(QStringLiteral("var o = {};\n  o.missing()\n"), false,
                                  QStringLiteral("fail.js")));
    EXPECT_EQ(messages.toStdString(), "error: Script runtime error\n"
                                      "At line 2 of fail.js\n"
                                      "not a function object\n"
                                      "Source line in error:   o.missing()\n");
    EXPECT_EQ(system.lastError().toStdString().substr(0, 12), "At line 2 of");
    EXPECT_EQ(system.depth(), 0);

    messages.clear();
    TovanScriptSystem::Run run;
    run.source = QStringLiteral("projectFunction()");
    run.fileName = QStringLiteral("p.js");
    run.kind = QStringLiteral("Project");
    run.kindHasScriptFile = false;
    EXPECT_FALSE(system.runScript(run));
    EXPECT_EQ(messages.toStdString(),
              "error: Project Script runtime error \n"
              "At line 1 of p.js\n"
              "not a function object\n"
              "Source line in error: projectFunction()\n"
              "Note that no Project Script File has been specified. If the script being executed "
              "calls\nProject Script File functions then this is the cause of the error.\n");

    // Parts an error lacks print as undefined.
    messages.clear();
    EXPECT_FALSE(system.runScript(QStringLiteral("x = (1"), false, QString()));
    EXPECT_EQ(messages.toStdString(), "error: Script runtime error\n"
                                      "At line 1 of undefined\n"
                                      "expected ) found end of input\n"
                                      "Source line in error: x = (1\n");
}

TEST_F(ScriptSystemTest, FatalErrorsHaveTheirOwnTitle) {
    EXPECT_FALSE(system.runScript(QStringLiteral("function f() { return f(); } f()"), false,
                                  QStringLiteral("deep.js")));
    EXPECT_EQ(messages.toStdString(),
              "error: Script Fatal Error\nvirtual machine stack too small\n");
    EXPECT_EQ(system.depth(), 0);
}

TEST_F(ScriptSystemTest, FilesRunWithTheEngineOfTheirType) {
    std::string js = write("hello.js", "WScript.Echo('from ' + 'script')\n");
    std::string forth = write("hello.fth", ": greet .\" from forth\" cr ; greet\n");
    std::string badForth = write("bad.fth", "1 2 +\nnosuchword\n");
    EXPECT_TRUE(system.runScriptFile(QString::fromStdString(js)));
    EXPECT_TRUE(system.runScriptFile(QString::fromStdString(forth)));
    EXPECT_EQ(output.toStdString(), "from script\nfrom forth\n");
    EXPECT_EQ(messages.toStdString(), "");

    EXPECT_FALSE(system.runScriptFile(QString::fromStdString(badForth)));
    EXPECT_NE(messages.indexOf(QStringLiteral("error: Forth Script Error\n")), -1);
    EXPECT_NE(messages.indexOf(QStringLiteral("At line 2 of ") + QString::fromStdString(badForth)),
              -1);

    messages.clear();
    EXPECT_FALSE(system.runScriptFile(QStringLiteral("build.py")));
    EXPECT_EQ(messages.toStdString(), "error: Script System\nCan't run script\n"
                                      "No script engine registered to run 'build.py'.\n");
    messages.clear();
    EXPECT_FALSE(system.runScriptFile(QString::fromStdString(path("missing.js"))));
    EXPECT_EQ(messages.toStdString(),
              "error: Script System\nCannot open: " + path("missing.js") + "\n");
    EXPECT_EQ(system.depth(), 0);
}

} // namespace

namespace {

TEST(ContextKinds, TheThreadsWindowContextEndsARunawayScript) {
    ThreadsWindowESContext context;
    ESCompletion completion = context.evaluate(QStringLiteral("threads.js"),
                                               QStringLiteral("var n = 0; while (true) n++; n"));
    EXPECT_EQ(completion.type, ESCompletion::Normal);
    double reached = context.toNumber(context.get(context.globalObject(), "n"));
    EXPECT_GT(reached, 100000);
    EXPECT_LT(reached, double(ThreadsWindowESContext::kInstructionBudget));
    // Without a fresh budget nothing runs; with one, a short script completes.
    context.evaluate(QString(), QStringLiteral("var z = 1"));
    EXPECT_TRUE(context.get(context.globalObject(), "z").isUndefined());
    context.resetBudget();
    completion = context.evaluate(QString(), QStringLiteral("var k = 0; while (k < 1000) k++; k"));
    EXPECT_EQ(context.toNumber(completion.value), 1000);
}

TEST(ContextKinds, TheConsoleStopsWhenAskedFromAnEvent) {
    ensureApplication();
    HeadlessScriptEnvironment environment;
    QString output;
    environment.setOutput([&output](const QString &text) { output += text; });
    JavaScriptConsole console(environment);
    QTimer::singleShot(100, [&console] { console.stop(); });
    console.enterLine(QStringLiteral("while (true) {}"));
    EXPECT_EQ(output.toStdString(), "undefined\n>");
    output.clear();
    console.enterLine(QStringLiteral("'again'"));
    EXPECT_EQ(output.toStdString(), "again\n>");
}

} // namespace
