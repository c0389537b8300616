// The standard parser on output captured here from the installed compilers, assemblers,
// linkers and make. GCC's JSON diagnostics of the same compile and Clang's closing count
// ("N warnings and M errors generated.") are the oracles.
#include "build/buildlog.h"
#include "build/buildlogitem.h"
#include "build/logbuilder.h"
#include "build/outputlinesplitter.h"
#include "build/standarddiagnosticparser.h"

#include "crosstool.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

using Located = std::tuple<QString, int, int, int>; // file, line, column, kind

class RealOutput : public ScratchDirTest {
protected:
    void SetUp() override {
        QDir sources(QString::fromStdString(testDataPath("build/sources")));
        for (const QString &name : sources.entryList(QDir::Files))
            write(name.toStdString(), readFileBytes(sources.filePath(name).toStdString()));
    }

    // Runs a tool in the scratch directory; its diagnostics are on standard error.
    ToolResult run(const std::string &program, const std::vector<std::string> &arguments) {
        std::string executable =
            QStandardPaths::findExecutable(QString::fromStdString(program)).toStdString();
        return runTool(executable, arguments, {}, path(""));
    }

    QList<Bookmark> parse(const std::string &log) {
        StandardDiagnosticParser parser;
        parser.setWorkingDirectory(QString::fromStdString(path("")));
        QList<Bookmark> records;
        OutputLineSplitter lines([&](const QString &line) { parser.parse(line, records); });
        lines.feed(log.data(), qsizetype(log.size()));
        lines.finish();
        return records;
    }

    QString file(const std::string &name) { return QString::fromStdString(path(name)); }

    // The records with a severity, sorted.
    static std::vector<Located> diagnostics(const QList<Bookmark> &records) {
        std::vector<Located> found;
        for (const Bookmark &record : records)
            if (record.kind() != Bookmark::Plain)
                found.emplace_back(record.file(), record.line(), record.column(), record.kind());
        std::sort(found.begin(), found.end());
        return found;
    }

    // GCC's -fdiagnostics-format=json output, children included, sorted.
    std::vector<Located> fromJson(const std::string &json) {
        // One line of JSON; a fatal error's "compilation terminated." may follow it.
        QJsonParseError error;
        QJsonDocument document = QJsonDocument::fromJson(
            QByteArray::fromStdString(json.substr(0, json.find('\n'))), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
        std::vector<Located> found;
        std::vector<QJsonObject> pending;
        for (const QJsonValue &value : document.array())
            pending.push_back(value.toObject());
        while (!pending.empty()) {
            QJsonObject diagnostic = pending.back();
            pending.pop_back();
            for (const QJsonValue &child : diagnostic["children"].toArray())
                pending.push_back(child.toObject());
            QString kind = diagnostic["kind"].toString();
            int code = kind == "warning" ? 3 : kind == "note" ? 2 : 4;
            EXPECT_TRUE(kind == "error" || kind == "fatal error" || kind == "warning" ||
                        kind == "note")
                << kind.toStdString();
            QJsonObject caret = diagnostic["locations"].toArray().first()["caret"].toObject();
            found.emplace_back(file(caret["file"].toString().toStdString()),
                               caret["line"].toInt(-1), caret["column"].toInt(-1), code);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    // Compiles a source with GCC twice, as text (plain and coloured) and as JSON, and checks
    // that the parser reads the text exactly as GCC describes it.
    void expectTextMatchesJson(const std::string &compiler, const std::string &source) {
        SCOPED_TRACE(compiler + " " + source);
        ToolResult text = run(compiler, {"-Wall", "-c", source, "-o", "/dev/null"});
        ToolResult json =
            run(compiler, {"-Wall", "-fdiagnostics-format=json", "-c", source, "-o", "/dev/null"});
        ToolResult colour =
            run(compiler, {"-Wall", "-fdiagnostics-color=always", "-fdiagnostics-urls=always", "-c",
                           source, "-o", "/dev/null"});
        std::vector<Located> expected = fromJson(json.err);
        ASSERT_FALSE(expected.empty()) << "the source must draw diagnostics";
        EXPECT_EQ(diagnostics(parse(text.err)), expected) << text.err;
        EXPECT_NE(colour.err.find("\x1b["), std::string::npos);
        EXPECT_EQ(diagnostics(parse(colour.err)), expected) << colour.err;
    }

    // Compiles a source with Clang and checks the parsed counts against Clang's own.
    void expectClangCounts(const std::string &compiler, const std::string &source) {
        SCOPED_TRACE(compiler + " " + source);
        ToolResult result = run(compiler, {"-Wall", "-c", source, "-o", "/dev/null"});
        static const QRegularExpression generated(
            "^(?:(\\d+) warnings? and )?(\\d+) (error|warning)s? generated\\.$",
            QRegularExpression::MultilineOption);
        QRegularExpressionMatch match = generated.match(QString::fromStdString(result.err));
        ASSERT_TRUE(match.hasMatch()) << result.err;
        int warnings = match.captured(1).toInt();
        int errors = 0;
        if (match.captured(3) == "error")
            errors = match.captured(2).toInt();
        else
            warnings = match.captured(2).toInt();
        DiagnosticCounts counts;
        for (const Bookmark &record : parse(result.err))
            counts.add(record.kind());
        EXPECT_EQ(counts.errors, errors) << result.err;
        EXPECT_EQ(counts.warnings, warnings) << result.err;
    }

    static int count(const QList<Bookmark> &records, int kind) {
        return int(std::count_if(records.begin(), records.end(),
                                 [kind](const Bookmark &record) { return record.kind() == kind; }));
    }
};

TEST_F(RealOutput, HostGccAgreesWithItsJson) {
    REQUIRE_TOOL("gcc", "g++");
    for (const char *source : {"quoted.c", "chain.c", "missing.c", "absolute.c"})
        expectTextMatchesJson("gcc", source);
    expectTextMatchesJson("g++", "template.cpp");
}

TEST_F(RealOutput, ArmGccAgreesWithItsJson) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    for (const char *source : {"quoted.c", "chain.c", "missing.c"})
        expectTextMatchesJson("arm-none-eabi-gcc", source);
}

TEST_F(RealOutput, ClangCountsAgree) {
    REQUIRE_TOOL("clang", "clang-14");
    for (const char *source : {"quoted.c", "chain.c", "missing.c", "absolute.c", "macro.c"})
        expectClangCounts("clang", source);
    expectClangCounts("clang++", "template.cpp");
}

TEST_F(RealOutput, QuotedKeywordsFoolNoCount) {
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    QList<Bookmark> records =
        parse(run("arm-none-eabi-gcc", {"-Wall", "-c", "quoted.c", "-o", "/dev/null"}).err);
    ASSERT_EQ(count(records, Bookmark::Error), 1);
    const Bookmark &warning = *std::find_if(records.begin(), records.end(),
                                            [](auto &record) { return record.line() == 3; });
    EXPECT_EQ(warning.kind(), Bookmark::Warning);
    EXPECT_EQ(warning.text(), "#warning \"error: board not configured\" [-Wcpp]");
    for (const Bookmark &record : records)
        EXPECT_TRUE(record.file() == file("quoted.c")) << record.text().toStdString();
}

TEST_F(RealOutput, IncludeChainsAndFatalErrors) {
    REQUIRE_TOOL("gcc", "g++");
    QList<Bookmark> chain = parse(run("gcc", {"-c", "chain.c", "-o", "/dev/null"}).err);
    ASSERT_GE(chain.size(), 3);
    EXPECT_EQ(chain[0].file(), file("outer.h")); // In file included from outer.h:2,
    EXPECT_EQ(chain[0].line(), 2);
    EXPECT_EQ(chain[1].file(), file("chain.c")); //                  from chain.c:2:
    EXPECT_EQ(chain[1].line(), 2);
    EXPECT_EQ(chain[2].file(), file("broken.h")); // broken.h: In function 'broken':

    QList<Bookmark> fatal = parse(run("gcc", {"-c", "missing.c", "-o", "/dev/null"}).err);
    ASSERT_EQ(count(fatal, Bookmark::Error), 1);
    EXPECT_EQ(fatal[0].text(), "absent.h: No such file or directory");
    EXPECT_TRUE(fatal[0].isFinal());
}

TEST_F(RealOutput, MacroAndTemplateContext) {
    REQUIRE_TOOL("gcc", "g++");
    QList<Bookmark> macro = parse(run("gcc", {"-c", "macro.c", "-o", "/dev/null"}).err);
    std::vector<Located> found = diagnostics(macro);
    QString source = file("macro.c");
    // GCC puts the error where the name is written and walks back through the expansions.
    EXPECT_EQ(std::count(found.begin(), found.end(), Located(source, 2, 25, 4)), 1);
    EXPECT_EQ(std::count(found.begin(), found.end(), Located(source, 5, 28, 2)), 2);
    EXPECT_EQ(count(macro, Bookmark::Note), 7);

    QList<Bookmark> instantiation =
        parse(run("g++", {"-c", "template.cpp", "-o", "/dev/null"}).err);
    std::vector<Located> requiredFrom;
    for (const Bookmark &record : instantiation)
        if (record.text() == "required from here")
            requiredFrom.emplace_back(record.file(), record.line(), record.column(), record.kind());
    EXPECT_EQ(requiredFrom, std::vector<Located>({{file("template.cpp"), 6, 30, 0},
                                                  {file("template.cpp"), 6, 42, 0}}));
}

TEST_F(RealOutput, Assemblers) {
    REQUIRE_TOOL("arm-none-eabi-as", "binutils-arm-none-eabi");
    const struct {
        const char *assembler, *source;
    } runs[] = {{"arm-none-eabi-as", "bad.s"}, {"as", "host.s"}};
    for (const auto &step : runs) {
        SCOPED_TRACE(step.assembler);
        ToolResult result = run(step.assembler, {step.source, "-o", "/dev/null"});
        EXPECT_NE(result.exitCode, 0);
        std::vector<Located> found = diagnostics(parse(result.err));
        QString source = file(step.source);
        bool arm = std::string(step.source) == "bad.s";
        EXPECT_EQ(found, std::vector<Located>(
                             {{source, arm ? 3 : 2, -1, 4}, {source, arm ? 4 : 3, -1, 3}}))
            << result.err;
    }
}

TEST_F(RealOutput, Linkers) {
    REQUIRE_TOOL("gcc", "g++");
    ToolResult host = run("gcc", {"-g", "undefined.c", "-o", path("undefined")});
    QList<Bookmark> records = parse(host.err);
    ASSERT_EQ(count(records, Bookmark::Error), 1) << host.err;
    auto collect2 = std::find_if(records.begin(), records.end(),
                                 [](auto &record) { return record.kind() == Bookmark::Error; });
    EXPECT_EQ(collect2->text(), "ld returned 1 exit status");
    EXPECT_EQ(collect2->file(), "");
    // With debug information ld names the line of the call.
    auto reference = std::find_if(records.begin(), records.end(), [](auto &record) {
        return record.text().contains("undefined reference to");
    });
    ASSERT_NE(reference, records.end()) << host.err;
    EXPECT_EQ(reference->file(), file("undefined.c"));
    EXPECT_EQ(reference->line(), 5);

    REQUIRE_TOOL("arm-none-eabi-ld", "binutils-arm-none-eabi");
    REQUIRE_TOOL("arm-none-eabi-gcc", "gcc-arm-none-eabi");
    ASSERT_EQ(run("arm-none-eabi-gcc", {"-c", "small.c", "-o", "small.o"}).exitCode, 0);
    ToolResult linked =
        run("arm-none-eabi-ld", {"-T", "asserted.ld", "small.o", "-o", "small.elf"});
    EXPECT_NE(linked.exitCode, 0);
    QList<Bookmark> asserted = parse(linked.err);
    ASSERT_EQ(count(asserted, Bookmark::Error), 1) << linked.err;
    EXPECT_EQ(asserted.back().text(), ".text is too large to fit in FLASH memory segment");
}

TEST_F(RealOutput, MakeStoppingAtAnError) {
    REQUIRE_TOOL("make", "make");
    ToolResult result = runTool(QStandardPaths::findExecutable("make").toStdString(),
                                {"-s", "CC=gcc"}, {}, path(""));
    EXPECT_NE(result.exitCode, 0);
    QList<Bookmark> records = parse(result.err);
    ASSERT_FALSE(records.isEmpty());
    const Bookmark &last = records.back(); // make: *** [Makefile:5: quoted.o] Error 1
    EXPECT_EQ(last.kind(), Bookmark::Plain);
    EXPECT_EQ(last.line(), -1);
    EXPECT_EQ(last.text(), "");
    EXPECT_EQ(count(records, Bookmark::Error), 1) << result.err;
}

// Two compiles running at once: their lines arrive interleaved, each through its own builder
// and parser, and each group counts exactly what its compiler reported.
TEST_F(RealOutput, InterleavedCompilesLandInTheirGroups) {
    REQUIRE_TOOL("gcc", "g++");
    const std::string sources[2] = {"quoted.c", "chain.c"};
    QStringList output[2];
    DiagnosticCounts expected[2];
    for (int k = 0; k < 2; ++k) {
        std::string err = run("gcc", {"-Wall", "-c", sources[k], "-o", "/dev/null"}).err;
        OutputLineSplitter lines([&](const QString &line) { output[k] << line; });
        lines.feed(err.data(), qsizetype(err.size()));
        lines.finish();
        for (const Located &record : fromJson(run("gcc", {"-Wall", "-fdiagnostics-format=json",
                                                          "-c", sources[k], "-o", "/dev/null"})
                                                  .err))
            expected[k].add(std::get<3>(record));
    }

    BuildLog log;
    LogBuilder project(&log, 0);
    LogBuilder workers[2] = {LogBuilder(&log, 1), LogBuilder(&log, 2)};
    std::shared_ptr<DiagnosticParser> parsers[2];
    project.beginGroup("Building 'firmware'");
    for (int k = 0; k < 2; ++k) {
        workers[k].beginGroup(QString::fromStdString("Compiling '" + sources[k] + "'"));
        parsers[k] = std::make_shared<StandardDiagnosticParser>();
        parsers[k]->setWorkingDirectory(file(""));
    }
    for (qsizetype i = 0; i < std::max(output[0].size(), output[1].size()); ++i)
        for (int k = 0; k < 2; ++k)
            if (i < output[k].size())
                workers[k].output(parsers[k], output[k][i], true);
    for (LogBuilder &worker : workers)
        worker.endGroup("");
    project.endGroup("");

    BuildLogItem *group = log.item(log.index(0, 0));
    ASSERT_EQ(group->childCount(), 2);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(sources[k]);
        const BuildLogItem *step = group->child(k);
        EXPECT_EQ(step->childCount(), output[k].size());
        EXPECT_EQ(step->counts().errors, expected[k].errors);
        EXPECT_EQ(step->counts().warnings, expected[k].warnings);
        EXPECT_EQ(step->counts().notes, expected[k].notes);
    }
    EXPECT_EQ(group->counts().errors, expected[0].errors + expected[1].errors);
    EXPECT_GT(group->counts().warnings, 0);
}

} // namespace
