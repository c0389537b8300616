// The build log as a model: groups, counters rolling up, summaries, held-back output, final
// lines, and several builders writing at once.
#include "build/buildlog.h"
#include "build/logbuilder.h"
#include "build/outputlinesplitter.h"
#include "build/standarddiagnosticparser.h"

#include "scratchdirtest.h"

#include <gtest/gtest.h>

namespace {

QString cell(const BuildLog &log, const BuildLogItem *row, int column) {
    return log.data(log.indexOf(row, column)).toString();
}

QStringList childTexts(const BuildLogItem *group) {
    QStringList texts;
    for (int i = 0; i < group->childCount(); ++i)
        texts << group->child(i)->text();
    return texts;
}

TEST(DiagnosticCounts, SummaryTexts) {
    DiagnosticCounts counts;
    EXPECT_EQ(counts.summaries(), QStringList());
    counts.add(Bookmark::Error);
    counts.add(Bookmark::Warning, 3);
    counts.add(Bookmark::Plain);
    EXPECT_EQ(counts.errorSummary(), "1 Error");
    EXPECT_EQ(counts.warningSummary(), "3 Warnings");
    EXPECT_EQ(counts.noteSummary(), "");
    counts.add(Bookmark::Note, 2);
    counts.add(Bookmark::Error);
    EXPECT_EQ(counts.summaries(), QStringList({"2 Errors", "3 Warnings", "2 Notes"}));
}

TEST(BuildLog, CountersRollUpToEveryAncestor) {
    BuildLog log;
    BuildLogItem *project = log.beginGroup("Building 'app'", 0);
    BuildLogItem *step = log.beginGroup("Compiling 'main.c'", 0);
    EXPECT_EQ(step->parent(), project);
    log.processOutput("main.c:1:1: error: one", true);
    for (int i = 0; i < 3; ++i)
        log.processOutput("main.c:2:1: warning: w", true);
    log.processOutput("main.c:3:1: note: n", true);
    log.processOutput("plain text", false);
    log.endGroup();
    log.addWarning("project warning");

    EXPECT_EQ(cell(log, step, BuildLog::ErrorColumn), "1 Error");
    EXPECT_EQ(cell(log, step, BuildLog::WarningColumn), "3 Warnings");
    EXPECT_EQ(cell(log, step, BuildLog::NoteColumn), "1 Note");
    EXPECT_EQ(project->counts().warnings, 4);
    EXPECT_EQ(project->counts().errors, 1);
    EXPECT_EQ(log.totals().warnings, 4);
    // Rows without children carry no summary.
    EXPECT_EQ(cell(log, step->child(0), BuildLog::ErrorColumn), "");
    EXPECT_EQ(step->child(0)->counts().errors, 0);
    EXPECT_EQ(log.data(log.indexOf(step->child(0)), BuildLog::ColourRole).toUInt(),
              BuildLog::kErrorColour);
    EXPECT_EQ(log.data(log.indexOf(step->child(5)), BuildLog::ColourRole), QVariant());
    EXPECT_EQ(log.data(log.indexOf(step->child(1)), BuildLog::IconRole).toString(), "warning");
}

TEST(BuildLog, BadgeTextStandsInForTheErrorSummary) {
    BuildLog log;
    BuildLogItem *group = log.beginGroup("Linking", 0);
    log.addError("Error starting process ld");
    log.endGroup(group, "Linking 'app.elf'", "failed");
    EXPECT_EQ(cell(log, group, BuildLog::TextColumn), "Linking 'app.elf'");
    EXPECT_EQ(cell(log, group, BuildLog::ErrorColumn), "failed");
    EXPECT_EQ(group->counts().errors, 1);
    BuildLogItem *quiet = log.beginGroup("Compiling 'a.c'", 0);
    log.endGroup("", "up to date");
    EXPECT_EQ(cell(log, quiet, BuildLog::ErrorColumn), "up to date") << "even without children";
    EXPECT_FALSE(quiet->isOpen());
}

TEST(BuildLog, EndingAGroupClosesTheGroupsInsideIt) {
    BuildLog log;
    BuildLogItem *outer = log.beginGroup("outer", 0);
    log.beginGroup("inner", 0);
    log.endGroup(outer);
    EXPECT_EQ(log.groupItem(), nullptr);
    log.endGroup(); // nothing open: no effect
    log.addMessage("top");
    EXPECT_EQ(log.rowCount(), 2);
}

TEST(BuildLog, ModelStructure) {
    BuildLog log;
    BuildLogItem *group = log.beginGroup("g", 0);
    log.addMessage("m");
    QModelIndex groupIndex = log.index(0, 0);
    EXPECT_EQ(log.item(groupIndex), group);
    EXPECT_EQ(log.rowCount(groupIndex), 1);
    QModelIndex child = log.index(0, 0, groupIndex);
    EXPECT_EQ(log.parent(child), groupIndex);
    EXPECT_EQ(log.parent(groupIndex), QModelIndex());
    EXPECT_FALSE(log.index(1, 0, groupIndex).isValid());
    EXPECT_FALSE(log.index(0, BuildLog::ColumnCount).isValid());
    EXPECT_EQ(log.rowCount(log.index(0, 1)), 0) << "only column 0 has children";
    int resets = 0;
    QObject::connect(&log, &QAbstractItemModel::modelReset, [&] { ++resets; });
    log.clear();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(log.totals().errors, 0);
    EXPECT_EQ(log.groupItem(), nullptr);
}

TEST(BuildLog, RowsAndCountersAnnounceThemselves) {
    BuildLog log;
    BuildLogItem *group = log.beginGroup("g", 0);
    QList<QModelIndex> inserted;
    QObject::connect(&log, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex &parent, int, int) { inserted << parent; });
    bool summaryChanged = false;
    QObject::connect(&log, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &from, const QModelIndex &) {
                         summaryChanged |= from == log.indexOf(group, 1);
                     });
    log.addError("e");
    EXPECT_EQ(inserted, QList<QModelIndex>({log.indexOf(group)}));
    EXPECT_TRUE(summaryChanged);
}

TEST(BuildLog, ChoosingARecordLocatesIt) {
    QTemporaryDir dir;
    writeFileBytes(dir.filePath("a.c").toStdString(), "x\n");
    BuildLog log;
    auto parser = std::make_shared<StandardDiagnosticParser>();
    parser->setWorkingDirectory(dir.path());
    QList<Bookmark> located;
    QObject::connect(&log, &BuildLog::locateBookmark,
                     [&](const Bookmark &bookmark) { located << bookmark; });
    log.processOutput(0, parser, nullptr, "a.c:4:2: error: x", true);
    log.addMessage("no location");
    log.activate(log.index(1, 0));
    EXPECT_EQ(located.size(), 0);
    log.activate(log.index(0, 0));
    ASSERT_EQ(located.size(), 1);
    Bookmark bookmark = located[0];
    EXPECT_EQ(bookmark.file(), dir.filePath("a.c"));
    EXPECT_EQ(bookmark.line(), 4);
    EXPECT_EQ(bookmark.column(), 2);
    EXPECT_EQ(log.item(log.index(0, 0))->text(), "a.c:4:2: error: x") << "the line as printed";

    // A step group can point at its source.
    BuildLogItem *group = log.beginGroup("Compiling", 0);
    log.endGroup(group, QFileInfo(dir.filePath("a.c")));
    log.activate(log.indexOf(group));
    ASSERT_EQ(located.size(), 2);
    EXPECT_EQ(located[1].file(), dir.filePath("a.c"));
    EXPECT_EQ(located[1].line(), -1);
}

TEST(BuildLog, ProcessedAndLocatedResults) {
    BuildLog log;
    BuildLogItem *record =
        log.addProcessedOutput(0, nullptr, Bookmark("/src/b.c", 9, 3, "bad", Bookmark::Error));
    EXPECT_EQ(record->text(), "/src/b.c:9:3: bad");
    EXPECT_EQ(log.totals().errors, 1);
    BuildLogItem *hit = log.addResult(Bookmark("/src/b.c", 2, -1, "int x;", 0), 0, 4, 1);
    EXPECT_EQ(hit->text(), "/src/b.c:2: int x;");
    EXPECT_EQ(hit->bookmark().position(), 4);
    EXPECT_EQ(hit->bookmark().length(), 1);
    EXPECT_EQ(log.addProcessedOutput(0, nullptr, Bookmark("", -1, -1, "m", 2))->text(), "m");
}

TEST(BuildLog, UnparsedErrorOutputShowsByDefault) {
    BuildLog log;
    EXPECT_TRUE(log.showUnparsedErrorOutput());
    log.beginGroup("step", 0);
    log.processOutput("some tool chatter", true);
    log.endGroup();
    EXPECT_EQ(childTexts(log.item(log.index(0, 0))), QStringList({"some tool chatter"}));
}

TEST(BuildLog, HeldBackErrorOutputShowsWhenTheStepFails) {
    BuildLog log;
    log.setShowUnparsedErrorOutput(false);
    BuildLogItem *good = log.beginGroup("good step", 0);
    log.processOutput("chatter", true);
    log.processOutput("standard output is shown", false);
    log.endGroup();
    EXPECT_EQ(childTexts(good), QStringList({"standard output is shown"}));

    BuildLogItem *bad = log.beginGroup("bad step", 0);
    log.processOutput("Segmentation fault", true);
    log.processOutput("a.c:1:1: error: parsed lines always show", true);
    log.stepFailed(bad);
    log.endGroup();
    EXPECT_EQ(childTexts(bad),
              QStringList({"a.c:1:1: error: parsed lines always show", "Segmentation fault"}));
}

TEST(BuildLog, FinalLines) {
    const QDateTime start = QDateTime::currentDateTime();
    const struct {
        BuildResult result;
        const char *text;
        unsigned colour;
    } rows[] = {
        {BuildNothing, "Build up to date", BuildLog::kSuccessColour},
        {BuildSomething, "Build complete", BuildLog::kSuccessColour},
        {BuildFailed, "Build failed", BuildLog::kErrorColour},
        {BuildCancelled, "Build terminated", BuildLog::kErrorColour},
    };
    for (const auto &row : rows) {
        BuildLog log;
        log.beginGroup("left open", 0);
        BuildLogItem *final = log.buildFinished(row.result, start, 7);
        EXPECT_EQ(final->text(), row.text);
        EXPECT_EQ(log.rowCount(), 2) << "at the top, after the group";
        EXPECT_EQ(final->steps(), 7);
        EXPECT_EQ(final->startTime(), start);
        EXPECT_EQ(log.data(log.indexOf(final), BuildLog::ColourRole).toUInt(), row.colour);
        EXPECT_EQ(log.totals().errors, 0) << "the status line is not a diagnostic";
        EXPECT_EQ(log.groupItem(), nullptr);
    }
}

TEST(BuildLog, ABuilderThatDiesSaysSo) {
    BuildLog log;
    BuildLogItem *project = log.beginGroup("Building 'app'", 0);
    log.beginGroup("Compiling 'a.c'", 0);
    BuildLogItem *row = log.terminated(project);
    EXPECT_EQ(row->text(), "Builder has terminated unexpectedly");
    EXPECT_EQ(row->parent(), project);
    EXPECT_EQ(project->counts().errors, 1);
    EXPECT_EQ(log.groupItem(), nullptr);
    EXPECT_EQ(log.terminated(nullptr)->parent(), project->parent()) << "at the top";
}

TEST(BuildLog, ReplacingTheDefaultParserKeepsItAliveForItsUsers) {
    BuildLog log;
    auto first = std::make_shared<StandardDiagnosticParser>();
    std::weak_ptr<DiagnosticParser> watch = first;
    log.setDefaultParser(first);
    std::shared_ptr<DiagnosticParser> queued = log.defaultParser(); // a line waiting to be shown
    first.reset();
    log.setDefaultParser(std::make_shared<StandardDiagnosticParser>());
    ASSERT_FALSE(watch.expired());
    log.processOutput(0, queued, nullptr, "x.c:1:1: warning: late", false);
    EXPECT_EQ(log.totals().warnings, 1);
    queued.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(BuildLog, DeepNestingIsDestroyedWithoutRecursion) {
    auto log = std::make_unique<BuildLog>();
    for (int i = 0; i < 200000; ++i)
        log->beginGroup("g", 0);
    log->addError("deep");
    EXPECT_EQ(log->totals().errors, 1);
    log.reset();
}

// Two compiles running at once, their lines interleaved: each lands in its own step.
TEST(LogBuilder, InterleavedParallelCompilesLandInTheirGroups) {
    BuildLog log;
    LogBuilder main(&log, 0);
    LogBuilder first(&log, 1);
    LogBuilder second(&log, 2);
    auto parserA = std::make_shared<StandardDiagnosticParser>();
    auto parserB = std::make_shared<StandardDiagnosticParser>();
    main.beginGroup("Building 'app' in configuration 'Debug'");
    first.beginGroup("Compiling 'a.c'");
    first.commandLine("cc -c a.c");
    second.beginGroup("Compiling 'b.c'");
    second.commandLine("cc -c b.c");
    first.output(parserA, "a.c:1:1: error: in a", true);
    second.output(parserB, "b.c:1:1: warning: in b", true);
    first.output(parserA, "a.c:2:1: note: in a", true);
    second.output(parserB, "b.c:2:1: warning: in b", true);
    first.stepFailed();
    first.endGroup("failed");
    second.warning("b.c took long");
    second.endGroup("");
    main.error("Build step failed");
    main.endGroup("");

    BuildLogItem *project = log.item(log.index(0, 0));
    ASSERT_EQ(project->childCount(), 3);
    BuildLogItem *a = project->child(0);
    BuildLogItem *b = project->child(1);
    EXPECT_EQ(childTexts(a),
              QStringList({"cc -c a.c", "a.c:1:1: error: in a", "a.c:2:1: note: in a"}));
    EXPECT_EQ(childTexts(b), QStringList({"cc -c b.c", "b.c:1:1: warning: in b",
                                          "b.c:2:1: warning: in b", "b.c took long"}));
    EXPECT_EQ(a->builderIndex(), 1);
    EXPECT_EQ(log.data(log.indexOf(a->child(0)), BuildLog::FlagsRole).toInt(),
              BuildLog::CommandLine);
    EXPECT_EQ(cell(log, a, BuildLog::ErrorColumn), "failed");
    EXPECT_EQ(cell(log, b, BuildLog::WarningColumn), "3 Warnings");
    EXPECT_EQ(project->counts().errors, 2);
    EXPECT_EQ(project->counts().warnings, 3);
    EXPECT_EQ(project->counts().notes, 1);

    main.finished(BuildFailed);
    EXPECT_EQ(log.item(log.index(1, 0))->text(), "Build failed");
    EXPECT_EQ(main.steps(), 0);
    EXPECT_EQ(first.steps(), 1);
}

TEST(OutputLineSplitter, ChunksOfAnySize) {
    const QByteArray text = "a.c:1:1: error: x\r\nsecond \xff line\n\x1b[1mthird\x1b[m";
    for (qsizetype chunk : {qsizetype(1), qsizetype(2), qsizetype(7), text.size()}) {
        QStringList lines;
        OutputLineSplitter splitter([&](const QString &line) { lines << line; });
        for (qsizetype at = 0; at < text.size(); at += chunk)
            splitter.feed(text.mid(at, chunk));
        EXPECT_EQ(lines.size(), 2);
        splitter.finish();
        splitter.finish();
        EXPECT_EQ(lines, QStringList({"a.c:1:1: error: x", QString("second \uFFFD line"), "third"}))
            << chunk;
    }
    QStringList none;
    OutputLineSplitter empty([&](const QString &line) { none << line; });
    empty.feed("\n\n");
    empty.finish();
    EXPECT_EQ(none, QStringList({"", ""}));
}

} // namespace
