#pragma once

#include "build/bookmark.h"
#include "build/buildlogitem.h"
#include "build/buildresult.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QList>

#include <memory>
#include <vector>

class DiagnosticParser;

// The build log: a tree of rows grouped by project and step, each group counting the errors,
// warnings and notes below it. Several builders (one per build thread, told apart by their
// index) write to one log; each has its own stack of open groups, so their interleaved output
// lands under the right step. Only the user-interface thread touches the log.
//
// Columns: the row's text, then the error, warning and note summaries of a group (the error
// column shows the badge text instead when there is one).
class BuildLog : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { TextColumn, ErrorColumn, WarningColumn, NoteColumn, ColumnCount };
    enum Role {
        BookmarkRole = Qt::UserRole + 1, // Bookmark
        KindRole,                        // int: 4 error, 3 warning, 2 note, 0 other
        ColourRole,                      // 0xRRGGBB, or nothing
        GradientRole,                    // QList<unsigned>{from, to}, or nothing
        IconRole,                        // QString icon name
        FlagsRole,                       // int: the flags the row was added with
        BuilderIndexRole,                // int
    };
    // Row flags; the front end reads them through FlagsRole.
    enum Flag {
        NoFlags = 0,
        Expanded = 1,    // show the group opened
        CommandLine = 2, // the row is a command line about to run
    };

    // Row colours.
    static constexpr unsigned kErrorColour = 0xcc0000;
    static constexpr unsigned kWarningColour = 0xb36b00;
    static constexpr unsigned kNoteColour = 0x0060c0;
    static constexpr unsigned kSuccessColour = 0x008000;

    explicit BuildLog(QObject *parent = nullptr);
    ~BuildLog() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    BuildLogItem *item(const QModelIndex &index) const;
    QModelIndex indexOf(const BuildLogItem *item, int column = TextColumn) const;
    // Everything counted in the log.
    const DiagnosticCounts &totals() const;

    // The parser of output that comes without one. Replacing it drops the log's share; a
    // queued line that still holds the old parser keeps it alive.
    void setDefaultParser(std::shared_ptr<DiagnosticParser> parser);
    const std::shared_ptr<DiagnosticParser> &defaultParser() const { return m_defaultParser; }
    // Whether unrecognised lines of standard error are shown (a failed step's always are).
    void setShowUnparsedErrorOutput(bool show) { m_showUnparsedErrorOutput = show; }
    bool showUnparsedErrorOutput() const { return m_showUnparsedErrorOutput; }

    // The user picked a row: a row that names a file emits locateBookmark.
    void activate(const QModelIndex &index);

    // The innermost open group of a builder; null when it has none.
    BuildLogItem *groupItem(int builderIndex) const;

signals:
    void locateBookmark(const Bookmark &bookmark);

public slots:
    void message(const QString &text);
    void error(const QString &text);
    void warning(const QString &text);
    void note(const QString &text);

    // Opens a group under `parent`, or else under the builder's innermost open group, or else
    // under the innermost open group of builder 0, or else at the top.
    BuildLogItem *beginGroup(const QString &text, int flags, int buildIndex);
    BuildLogItem *beginGroup(const QString &text, int flags);
    BuildLogItem *beginGroup(BuildLogItem *parent, const QString &text, int flags, int buildIndex);
    BuildLogItem *beginGroup(BuildLogItem *parent, const QString &text, int flags);

    // Closes a group (by default builder 0's innermost) and any still open inside it. A
    // non-empty text replaces the group's text; a badge is shown beside it. Output held back
    // from the group is dropped: its step did not fail.
    void endGroup(const QString &text, const QString &badgeText);
    void endGroup(const QString &text);
    void endGroup();
    void endGroup(BuildLogItem *group, const QFileInfo &associatedFile);
    void endGroup(BuildLogItem *group, const QString &text, const QString &badgeText);
    void endGroup(BuildLogItem *group, const QString &text);
    void endGroup(BuildLogItem *group);

    BuildLogItem *addError(const QString &text, int flags);
    BuildLogItem *addError(const QString &text);
    BuildLogItem *addError(BuildLogItem *parent, const QString &text, int flags);
    BuildLogItem *addWarning(const QString &text, int flags);
    BuildLogItem *addWarning(const QString &text);
    BuildLogItem *addNote(const QString &text, int flags);
    BuildLogItem *addNote(const QString &text);
    BuildLogItem *addSuccess(const QString &text, int flags);
    BuildLogItem *addSuccess(const QString &text);
    BuildLogItem *addSuccess(const QString &text, int flags, const QDateTime &startTime, int steps);
    BuildLogItem *addMessage(const QString &text, int flags);
    BuildLogItem *addMessage(const QString &text);
    BuildLogItem *addMessage(int builderIndex, BuildLogItem *parent, const QString &text,
                             int flags);
    // A row of the given Bookmark kind under `parent` (or the builder's current group).
    BuildLogItem *addLine(int builderIndex, BuildLogItem *parent, int kind, const QString &text,
                          int flags);

    BuildLogItem *groupItem() const;

    // Runs one line of output through a parser (null: the default one) and adds what it
    // gives under `parent` (null: the builder's current group).
    void processOutput(const QString &text, bool isErrorOutput);
    void processOutput(int buildIndex, const std::shared_ptr<DiagnosticParser> &parser,
                       BuildLogItem *parent, const QString &text, bool isErrorOutput);
    BuildLogItem *addProcessedOutput(int buildIndex, BuildLogItem *parent, const Bookmark &data);
    BuildLogItem *addPlainOutput(int buildIndex, const QString &text, const Bookmark &bookmark,
                                 const QString &generator);
    BuildLogItem *addPlainOutput(int buildIndex, const QString &text, const Bookmark &bookmark);
    BuildLogItem *addPlainOutput(int buildIndex, const QString &text);

    // A located result (a record found elsewhere, such as a find-in-files hit at `pos` with
    // `len` characters).
    BuildLogItem *addResult(const Bookmark &result, int flags);
    BuildLogItem *addResult(const Bookmark &result, int flags, int pos, int len);
    BuildLogItem *addResult(BuildLogItem *group, const Bookmark &result, int flags, int pos,
                            int len);

    // The step of `group` failed: the unparsed error output held back from it is shown.
    void stepFailed(BuildLogItem *group);
    // The build ended: closes what is open and adds the final status line.
    BuildLogItem *buildFinished(BuildResult result, const QDateTime &startTime, int steps);
    // The builder went away without a result: closes what is open and says so under `item`
    // (null: at the top).
    BuildLogItem *terminated(BuildLogItem *item);

    void setGradient(BuildLogItem *item, const BuildLogGradient &gradient);
    void setPixmap(BuildLogItem *item, const QString &icon);
    void clear();

private:
    BuildLogItem *parentFor(int builderIndex, BuildLogItem *parent) const;
    BuildLogItem *append(BuildLogItem *parent, std::unique_ptr<BuildLogItem> item);
    BuildLogItem *addRecord(int builderIndex, BuildLogItem *parent, const Bookmark &record,
                            const QString &text);
    BuildLogItem *addPlain(int buildIndex, BuildLogItem *parent, const QString &text,
                           const Bookmark &bookmark, const QString &generator);
    void closeGroup(BuildLogItem *group);
    void closeAll();
    void rowChanged(BuildLogItem *item, int firstColumn, int lastColumn);

    std::unique_ptr<BuildLogItem> m_root;
    QHash<int, std::vector<BuildLogItem *>> m_openGroups;
    std::shared_ptr<DiagnosticParser> m_defaultParser;
    bool m_showUnparsedErrorOutput = true;
};
