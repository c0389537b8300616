#include "hosttesting.h"

#include "crosstool.h"
#include "scratchdirtest.h"

#include "script/esexception.h"
#include "scripthost/javascriptconsole.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class HostObjects : public ScratchDirTest {
protected:
    std::string eval(const std::string &source) {
        return host.eval(QString::fromStdString(source)).toStdString();
    }
    // A script string literal for a path.
    std::string quoted(const std::string &text) { return "'" + text + "'"; }

    HostFixture host;
};

std::string runProgram(const QString &program, const QStringList &arguments, int *exitCode) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput().toStdString();
}

TEST_F(HostObjects, Crc32IsTheBzip2Sum) {
    EXPECT_EQ(eval("KVSys.crc32('123456789')"), std::to_string(0xFC891918u));
    EXPECT_EQ(eval("KVSys.crc32([0x31,0x32,0x33,0x34,0x35,0x36,0x37,0x38,0x39])"),
              std::to_string(0xFC891918u));
    EXPECT_EQ(eval("KVSys.crc32([])"), "0");
    // The image sum agrees with the array sum, across the sixteen-byte blocks and the tail.
    EXPECT_EQ(eval("var a = []; for (var i = 0; i < 1000; i++) a[i] = (i * 7) & 255;"
                   "BinaryFile.resize(1000, 0); BinaryFile.pokeBytes(0, a);"
                   "BinaryFile.crc32(0, 1000) == KVSys.crc32(a) &&"
                   "BinaryFile.crc32(3, 17) == KVSys.crc32(a.slice(3, 20))"),
              "true");
    EXPECT_EQ(eval("KVSys.crc32.help"),
              "<b>KVSys.crc32(array)</b> returns the CRC-32/BZIP2 of the bytes of <i>array</i>.");
}

TEST_F(HostObjects, PackAndUnpackAgreeWithPythonStruct) {
    REQUIRE_TOOL("python3", "python3");
    const char *numbers[] = {"0", "1", "305419896", "4294967295", "2147483648", "65535"};
    for (const char *number : numbers) {
        for (bool little : {true, false}) {
            int status = 0;
            std::string expected =
                runProgram(QStringLiteral("python3"),
                           {QStringLiteral("-c"),
                            QStringLiteral("import struct; print(','.join(str(b) for b in [9] + "
                                           "list(struct.pack('%1I', %2)) + [9]))")
                                .arg(little ? QLatin1Char('<') : QLatin1Char('>'))
                                .arg(QLatin1String(number))},
                           &status);
            ASSERT_EQ(status, 0);
            std::string le = little ? "true" : "false";
            EXPECT_EQ(eval("var a = [9, 0, 0, 0, 0, 9]; KVSys.packU32(a, 1, " +
                           std::string(number) + ", " + le + "); a.join()") +
                          "\n",
                      expected)
                << number << " " << le;
            EXPECT_EQ(eval("KVSys.unpackU32([" + expected.substr(0, expected.size() - 1) +
                           "], 1, " + le + ")"),
                      number);
        }
    }
}

TEST_F(HostObjects, ByteMethodsStayInsideTheirArrays) {
    EXPECT_EQ(eval("KVSys.packU32([0, 0, 0], 0, 1, true)"), "error: offset out of range");
    EXPECT_EQ(eval("KVSys.packU32([0, 0, 0, 0], -1, 1, true)"), "error: offset out of range");
    EXPECT_EQ(eval("var a = [1, 2, 3, 4, 5]; KVSys.packU32(a, 1, 1, true); a.length"), "5");
    EXPECT_EQ(eval("KVSys.packU32(a, 2, 1, true)"), "error: offset out of range");
    EXPECT_EQ(eval("KVSys.unpackU32([1, 2, 3, 4], 1, true)"), "error: offset out of range");
    EXPECT_EQ(eval("KVSys.unpackU32([1, 2, 3, 4], 0.5, true)"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.resize(6, 0xAA); BinaryFile.peekUint32(2)"),
              std::to_string(0xAAAAAAAAu));
    EXPECT_EQ(eval("BinaryFile.peekUint32(3)"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.pokeUint32(3, 1)"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.peekBytes(4, 3)"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.peekBytes(4, 2).join()"), "170,170");
    EXPECT_EQ(eval("BinaryFile.peekBytes(6, 0).length"), "0");
    EXPECT_EQ(eval("BinaryFile.pokeBytes(5, [1, 2])"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.crc32(2, 5)"), "error: offset out of range");
    EXPECT_EQ(eval("BinaryFile.resize(-1, 0)"), "error: invalid length");
    EXPECT_EQ(eval("BinaryFile.length()"), "6");
}

// A stop while the bytes of a huge array-like object are read ends the run without
// writing what was read so far.
TEST_F(HostObjects, AStopWhileReadingBytesWritesNothing) {
    StoppingContext context(100);
    host.environment.installHostObjects(context);
    ESCompletion completion = context.evaluate(
        QStringLiteral("stop.js"),
        QString::fromStdString("KVSys.writeByteArrayToFile(" + quoted(path("b.bin")) +
                               ", {length: 3e7}); KVSys.writeStringToFile(" +
                               quoted(path("c.txt")) + ", 'after')"));
    EXPECT_EQ(completion.type, ESCompletion::Normal);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("b.bin"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("c.txt"))));
}

TEST_F(HostObjects, ImageSizeIsChargedToTheMemoryLimit) {
    host.context->setMemoryLimit(std::size_t(512) << 20);
    EXPECT_EQ(eval("BinaryFile.resize(1e15, 0)"), "error: out of memory");
    EXPECT_EQ(eval("BinaryFile.resize(1 << 20, 1); BinaryFile.length()"), "1048576");
    // Shrinking and growing again within the size reached costs nothing more.
    EXPECT_EQ(eval("BinaryFile.resize(0, 0); BinaryFile.resize(1 << 20, 1); 'ok'"), "ok");
    EXPECT_THROW(host.context->evaluate(QString(), QStringLiteral("BinaryFile.resize(1 << 30, 0)")),
                 ESFatalError);
}

TEST_F(HostObjects, EndiannessOfWords) {
    EXPECT_EQ(eval("BinaryFile.resize(4, 0); BinaryFile.pokeUint32(0, 0x11223344);"
                   "BinaryFile.peekBytes(0, 4).join()"),
              "68,51,34,17");
    EXPECT_EQ(eval("BinaryFile.peekUint32(0, false).toString(16)"), "44332211");
    EXPECT_EQ(
        eval("BinaryFile.pokeUint32(0, 0x11223344, false); BinaryFile.peekBytes(0, 4).join()"),
        "17,34,51,68");
    EXPECT_EQ(eval("BinaryFile.peekUint32(0, true).toString(16)"), "44332211");
}

TEST_F(HostObjects, SavedImageMatchesTheExpectedBytes) {
    REQUIRE_TOOL("cmp", "diffutils");
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += char(i < 256 ? i : 0x5a);
    expected.replace(16, 4, std::string("\x78\x56\x34\x12", 4));
    write("expected.bin", expected);
    ASSERT_EQ(eval("var a = []; for (var i = 0; i < 256; i++) a[i] = i;"
                   "BinaryFile.resize(0, 0); BinaryFile.resize(256, 0); BinaryFile.pokeBytes(0, a);"
                   "BinaryFile.resize(300, 0x5a); BinaryFile.pokeUint32(16, 0x12345678);"
                   "BinaryFile.save(" +
                   quoted(path("image.bin")) + ")"),
              "true");
    int status = 0;
    runProgram(
        QStringLiteral("cmp"),
        {QString::fromStdString(path("image.bin")), QString::fromStdString(path("expected.bin"))},
        &status);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(eval("BinaryFile.saveRange(" + quoted(path("range.bin")) + ", 290, 100)"), "true");
    EXPECT_EQ(readFileBytes(path("range.bin")), expected.substr(290));
    // Loading reads it back; appending doubles it.
    EXPECT_EQ(eval("BinaryFile.load(" + quoted(path("image.bin")) + ") && BinaryFile.loadAppend(" +
                   quoted(path("image.bin")) + ") && BinaryFile.length()"),
              "600");
    EXPECT_EQ(eval("BinaryFile.load(" + quoted(path("missing.bin")) + ")"), "false");
    EXPECT_EQ(eval("BinaryFile.length()"), "600");
    EXPECT_EQ(eval("BinaryFile.save('')"), "false");
}

TEST_F(HostObjects, FilesThroughKVSys) {
    std::string file = quoted(path("a.txt"));
    EXPECT_EQ(eval("KVSys.writeStringToFile(" + file + ", 'h\\u00e9llo')"), "true");
    EXPECT_EQ(readFileBytes(path("a.txt")), "h\xc3\xa9llo");
    EXPECT_EQ(eval("KVSys.appendStringToFile(" + file + ", '!') && KVSys.readStringFromFile(" +
                   file + ")"),
              "h\xc3\xa9llo!");
    EXPECT_EQ(eval("KVSys.fileSize(" + file + ")"), "7");
    EXPECT_EQ(eval("KVSys.fileSize(" + quoted(path("none")) + ")"), "-1");
    EXPECT_EQ(eval("typeof KVSys.readByteArrayFromFile(" + quoted(path("none")) + ")"),
              "undefined");
    EXPECT_EQ(eval("KVSys.writeByteArrayToFile(" + quoted(path("b.bin")) +
                   ", [0, 255, 256, -1]) && KVSys.readByteArrayFromFile(" + quoted(path("b.bin")) +
                   ").join()"),
              "0,255,0,255");
    EXPECT_EQ(eval("KVSys.copyFile(" + file + ", " + quoted(path("c.txt")) +
                   ") && KVSys.renameFile(" + quoted(path("c.txt")) + ", " + quoted(path("d.txt")) +
                   ") && KVSys.fileExists(" + quoted(path("d.txt")) + ") && !KVSys.fileExists(" +
                   quoted(path("c.txt")) + ")"),
              "true");
    EXPECT_EQ(eval("KVSys.removeFile(" + quoted(path("d.txt")) + ") + ',' + KVSys.removeFile(" +
                   quoted(path("d.txt")) + ")"),
              "true,false");
    EXPECT_EQ(eval("KVSys.makeDirectory(" + quoted(path("x/y")) + ") && KVSys.removeDirectory(" +
                   quoted(path("x/y")) + ")"),
              "true");
    // A directory is not a file to read.
    EXPECT_EQ(eval("typeof KVSys.readStringFromFile(" + quoted(path("x")) + ")"), "undefined");
}

TEST_F(HostObjects, RunKeepsTheOutputOfWaitedCommands) {
    EXPECT_EQ(eval("KVSys.run('sh -c \"echo out; echo err >&2; exit 3\"', true)"), "3");
    EXPECT_EQ(eval("KVSys.getRunStdout() + KVSys.getRunStderr()"), "out\nerr\n");
    EXPECT_EQ(eval("KVSys.run('/nonexistent/program', true)"), "-1");
    EXPECT_EQ(eval("KVSys.run('', true)"), "-1");
}

TEST_F(HostObjects, PopupAsksTheEnvironment) {
    EXPECT_EQ(eval("KVSys.popup('Flash it?')"), "false");
    EXPECT_EQ(host.messages.toStdString(), "KVSys.popup: Flash it? [no]\n");
    host.environment.setAnswer(true);
    EXPECT_EQ(eval("KVSys.popup('Again?')"), "true");
    EXPECT_EQ(eval("WScript.Echo('to the terminal', 'ignored')"), "undefined");
    EXPECT_EQ(host.output.toStdString(), "to the terminal\n");
}

TEST_F(HostObjects, TovanFilesAndTheDirectoriesItRefuses) {
    std::string dir = path("tree");
    QDir().mkpath(QString::fromStdString(dir + "/sub"));
    write("tree/sub/f.txt", "x");
    write("tree/g.txt", "y");
    EXPECT_EQ(eval("tovan.getDirectoryList(" + quoted(dir) + ").join()"), "g.txt,sub");
    EXPECT_EQ(eval("tovan.getDirectoryList(" + quoted(dir) + ", '*.txt').join()"), "g.txt");
    EXPECT_EQ(eval("tovan.writeStringToFile(" + quoted(path("l1.txt")) +
                   ", '\\u00e9', 'ISO-8859-1') && tovan.readFileToString(" +
                   quoted(path("l1.txt")) + ", 'ISO-8859-1')"),
              "\xc3\xa9");
    EXPECT_EQ(readFileBytes(path("l1.txt")), "\xe9");
    EXPECT_EQ(eval("tovan.removeDirectoryAndContents('')"),
              "error: refusing to remove an empty path");
    EXPECT_EQ(eval("tovan.removeDirectoryAndContents('/')"), "error: refusing to remove /");
    EXPECT_EQ(eval("tovan.removeDirectoryAndContents('//')"), "error: refusing to remove //");
    std::string home = QDir::homePath().toStdString();
    EXPECT_EQ(eval("tovan.removeDirectoryAndContents(" + quoted(home + "/") + ")"),
              "error: refusing to remove " + home + "/");
    EXPECT_TRUE(QDir(QString::fromStdString(dir)).exists());
    EXPECT_EQ(eval("tovan.removeDirectoryAndContents(" + quoted(dir) + ")"), "true");
    EXPECT_FALSE(QDir(QString::fromStdString(dir)).exists());
    EXPECT_EQ(eval("tovan.fileExists('') + ',' + tovan.makeDirectory('')"), "false,false");
}

TEST_F(HostObjects, TovanMacrosSettingsAndXml) {
    EXPECT_EQ(eval("tovan.setGlobalMacro('Board', 'nucleo'); tovan.getGlobalMacro('Board') + "
                   "tovan.replaceMacros('-$(Board)-$(Unknown)')"),
              "nucleo-nucleo-$(Unknown)");
    EXPECT_EQ(eval("tovan.getSystemMacro('Board')"), "");
    EXPECT_EQ(eval("tovan.getSystemMacro('ProductName')"), "Palindor");
    EXPECT_EQ(eval("tovan.setUserSetting('A/B', 'v'); tovan.getUserSetting('A/B') + "
                   "tovan.getSessionSetting('A/B') + '.'"),
              "v.");
    EXPECT_EQ(eval("tovan.removeUserSetting('A/B'); tovan.getUserSetting('A/B') + '.'"), ".");
    EXPECT_EQ(eval("tovan.formatXMLString('<a><b>t</b></a>')"), "<a>\n  <b>t</b>\n</a>\n");
    EXPECT_EQ(eval("tovan.formatXMLString('<a><b>t</b></a>', 4, 'a')"),
              "<!DOCTYPE a>\n<a>\n    <b>t</b>\n</a>\n");
    // Broken XML is the script's error alone: nothing is logged besides.
    static QStringList logged;
    logged.clear();
    QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { logged << text; });
    EXPECT_EQ(eval("tovan.formatXMLString('<a><b></a>')").rfind("error: invalid XML at line 1", 0),
              0u);
    EXPECT_EQ(eval("tovan.formatXMLString('<a>')").rfind("error: invalid XML at line 1", 0), 0u);
    qInstallMessageHandler(previous);
    EXPECT_EQ(logged.join(QLatin1Char('|')).toStdString(), "");
    EXPECT_EQ(eval("tovan.getTovanName() + ' ' + tovan.getTovanVersion()"), "Palindor 1.0.0");
}

// Without a window dialogs are cancelled, and nothing offers pages, actions or updates.
TEST_F(HostObjects, TovanWindowMethodsWithoutAWindow) {
    EXPECT_EQ(eval("tovan.browseExistingFileName('Image', '/fw', '*.hex') + '|' + "
                   "tovan.browseSaveFileName() + '|' + tovan.browseExistingDirectory('Out') + "
                   "'|' + tovan.browseExistingFileNames('Sources', '/src').length"),
              "|||0");
    EXPECT_EQ(host.messages.toStdString(), "Image: /fw [cancelled]\nSave file:  [cancelled]\n"
                                           "Out:  [cancelled]\nSources: /src [cancelled]\n");
    EXPECT_EQ(eval("[tovan.openURL('https://example.org'), tovan.getNewsFeed(5).length, "
                   "tovan.getReleaseUpdateURL(), tovan.getReleaseUpdateVersion()].join()"),
              "false,0,,");
    EXPECT_EQ(eval("tovan.activateAction('Build Solution')"),
              "error: no action named Build Solution");
    EXPECT_FALSE(host.environment.closeStatus());
    EXPECT_EQ(eval("tovan.closeWindow(2)"), "undefined");
    EXPECT_EQ(host.environment.closeStatus(), 2);
}

TEST_F(HostObjects, SpawnPassesArgumentsAndEnvironment) {
    EXPECT_EQ(eval("var r = tovan.spawn('sh', ['-c', 'echo \"$0 $V\"; pwd; exit 4', 'arg'], " +
                   quoted(path("")) +
                   ", 10000, ['V=set']);"
                   "r.exitCode + '|' + r.standardOutput + '|' + r.timedOut"),
              "4|arg set\n" + QDir(QString::fromStdString(path(""))).canonicalPath().toStdString() +
                  "\n|false");
    EXPECT_EQ(eval("var r = tovan.spawn('sleep', ['5'], '', 200); r.timedOut + ' ' + r.exitCode"),
              "true -1");
    EXPECT_EQ(eval("tovan.spawn('/nonexistent/tool').exitCode"), "-1");
    EXPECT_EQ(eval("tovan.spawn('sh', ['-c', 'echo $HOME'], '', 0, [], false).standardOutput"),
              "\n");
}

TEST_F(HostObjects, ProcessObjectsTalkToTheirChild) {
    EXPECT_EQ(eval("var p = tovan.createProcessObject('cat'); p.setEnvironmentVariable('Z', '1');"
                   "p.getEnvironmentVariable('Z') + p.getEnvironmentVariable('NONE', 'dflt')"),
              "1dflt");
    EXPECT_EQ(eval("p.start('cat') && p.writeStandardInput('one\\ntwo\\n') && p.isRunning()"),
              "true");
    EXPECT_EQ(eval("p.waitForFinished(100)"), "false");
    EXPECT_EQ(eval("while (!p.canReadStandardOutputLine()) p.waitForFinished(10);"
                   "p.readStandardOutputLine()"),
              "one");
    EXPECT_EQ(eval("p.kill(); p.isRunning() + ' ' + p.normalExit()"), "false false");
    EXPECT_EQ(eval("var q = tovan.createProcessObject(); q.start('sh', ['-c', 'exit 7']) && "
                   "q.waitForFinished() && q.exitCode()"),
              "7");
}

// A child that writes more than the memory limit holds: its shell notes its pid first, and
// a marker only if the output was taken to the end.
class FloodingChild : public HostObjects {
protected:
    void SetUp() override { host.context->setMemoryLimit(std::size_t(16) << 20); }
    std::string script() {
        return "echo $$ > " + path("pid") + "; yes | head -c 100000000; touch " + path("done");
    }
    // Runs `source`, which must end the run with "out of memory" having killed the child.
    void expectOutOfMemory(const std::string &source) {
        try {
            host.context->evaluate(QString(), QString::fromStdString(source));
            ADD_FAILURE() << "no error from " << source;
        } catch (const ESFatalError &error) {
            EXPECT_EQ(error.message(), "out of memory");
        }
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path("done"))));
        QFile pidFile(QString::fromStdString(path("pid")));
        ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
        pid_t pid = pid_t(pidFile.readAll().trimmed().toLong());
        ASSERT_GT(pid, 0);
        EXPECT_EQ(::kill(pid, 0), -1) << "child " << pid << " still there";
        // The context goes on.
        EXPECT_EQ(eval("tovan.spawn('echo', ['after']).standardOutput"), "after\n");
    }
};

TEST_F(FloodingChild, SpawnFailsAndKillsIt) {
    expectOutOfMemory("tovan.spawn('sh', ['-c', " + quoted(script()) + "], '', 60000)");
}

TEST_F(FloodingChild, RunFailsKillsItAndKeepsNoOutput) {
    EXPECT_EQ(eval("KVSys.run('echo before', true) + KVSys.getRunStdout()"), "0before\n");
    expectOutOfMemory("KVSys.run('sh -c \"" + script() + "\"', true)");
    EXPECT_EQ(eval("KVSys.getRunStdout().length"), "0");
}

TEST_F(FloodingChild, ProcessObjectFailsItsWaitAndDropsTheOutput) {
    expectOutOfMemory("var p = tovan.createProcessObject(); p.start('sh', ['-c', " +
                      quoted(script()) + "]); p.waitForFinished(60000)");
    EXPECT_EQ(eval("p.readStandardOutput().length + ' ' + p.isRunning()"), "0 false");
}

// Output read by the event loop while the script does something else fails the next read.
TEST_F(FloodingChild, ProcessObjectFailsTheReadAfterUnreadOutput) {
    EXPECT_EQ(eval("var p = tovan.createProcessObject(); p.start('sh', ['-c', " + quoted(script()) +
                   "])"),
              "true");
    QDeadlineTimer deadline(60000);
    while (eval("p.isRunning()") == "true" && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    expectOutOfMemory("p.readStandardOutputLine()");
}

TEST_F(FloodingChild, OutputWithinTheLimitIsWhole) {
    EXPECT_EQ(eval("tovan.spawn('sh', ['-c', 'yes | head -c 3000000']).standardOutput.length"),
              "3000000");
    EXPECT_EQ(eval("KVSys.run('sh -c \"yes | head -c 3000000\"', true) + ' ' + "
                   "KVSys.getRunStdout().length"),
              "0 3000000");
    EXPECT_EQ(eval("var q = tovan.createProcessObject(); q.start('sh', ['-c', 'yes | head -c "
                   "3000000']); q.waitForFinished() && q.readStandardOutput().length"),
              "3000000");
}

TEST(JavaScriptConsoleTest, PrintsResultsErrorsAndThePrompt) {
    ensureApplication();
    HeadlessScriptEnvironment environment;
    QString output;
    environment.setOutput([&output](const QString &text) { output += text; });
    JavaScriptConsole console(environment);
    console.enterLine(QStringLiteral("1 + 2"));
    EXPECT_EQ(output.toStdString(), "3\n>");
    output.clear();
    console.enterLine(QStringLiteral("  o.nothing()"));
    EXPECT_EQ(output.toStdString(), "can't convert undefined to an object\n:1\n  o.nothing()\n>");
    output.clear();
    console.enterLine(QStringLiteral("KVSys.crc32('123456789') == 0xFC891918"));
    EXPECT_EQ(output.toStdString(), "true\n>");
    console.enterLine(QStringLiteral("a; b"));
    EXPECT_EQ(console.history().join(QLatin1Char('|')).toStdString(),
              "1 + 2|  o.nothing()|KVSys.crc32('123456789') == 0xFC891918|a; b");
}

} // namespace
