#include "build/buildlog.h"

#include "build/diagnosticparser.h"
#include "build/standarddiagnosticparser.h"

#include <utility>

namespace {

const char *const kTerminatedText = "Builder has terminated unexpectedly";

long long colourOf(int kind) {
    switch (kind) {
    case Bookmark::Error:
        return BuildLog::kErrorColour;
    case Bookmark::Warning:
        return BuildLog::kWarningColour;
    case Bookmark::Note:
        return BuildLog::kNoteColour;
    default:
        return -1;
    }
}

QString iconOf(int kind) {
    switch (kind) {
    case Bookmark::Error:
        return QStringLiteral("error");
    case Bookmark::Warning:
        return QStringLiteral("warning");
    case Bookmark::Note:
        return QStringLiteral("note");
    default:
        return {};
    }
}

// The text of a record added without the line it came from.
QString recordText(const Bookmark &record) {
    QString text;
    if (!record.file().isEmpty()) {
        text = record.file();
        if (record.line() > 0) {
            text += u':' + QString::number(record.line());
            if (record.column() > 0)
                text += u':' + QString::number(record.column());
        }
        text += QStringLiteral(": ");
    }
    return text + record.text();
}

} // namespace

BuildLog::BuildLog(QObject *parent)
    : QAbstractItemModel(parent), m_root(std::make_unique<BuildLogItem>(
                                      BuildLogItem::Group, QString(), Bookmark::Plain, NoFlags, 0)),
      m_defaultParser(std::make_shared<StandardDiagnosticParser>()) {}

BuildLog::~BuildLog() = default;

QModelIndex BuildLog::index(int row, int column, const QModelIndex &parent) const {
    BuildLogItem *owner = parent.isValid() ? item(parent) : m_root.get();
    if (!owner || row < 0 || row >= owner->childCount() || column < 0 || column >= ColumnCount)
        return {};
    return createIndex(row, column, owner->child(row));
}

QModelIndex BuildLog::parent(const QModelIndex &index) const {
    BuildLogItem *child = item(index);
    if (!child || child->parent() == m_root.get())
        return {};
    return indexOf(child->parent());
}

int BuildLog::rowCount(const QModelIndex &parent) const {
    if (parent.column() > 0)
        return 0;
    BuildLogItem *owner = parent.isValid() ? item(parent) : m_root.get();
    return owner ? owner->childCount() : 0;
}

int BuildLog::columnCount(const QModelIndex &) const {
    return ColumnCount;
}

QVariant BuildLog::data(const QModelIndex &index, int role) const {
    const BuildLogItem *row = item(index);
    if (!row)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        const DiagnosticCounts &counts = row->counts();
        bool summarised = row->childCount() > 0;
        switch (index.column()) {
        case TextColumn:
            return row->text();
        case ErrorColumn:
            if (!row->badgeText().isEmpty())
                return row->badgeText();
            return summarised ? counts.errorSummary() : QString();
        case WarningColumn:
            return summarised ? counts.warningSummary() : QString();
        case NoteColumn:
            return summarised ? counts.noteSummary() : QString();
        }
        return {};
    }
    case BookmarkRole:
        return QVariant::fromValue(row->bookmark());
    case KindRole:
        return row->kind();
    case ColourRole:
        return row->colour() < 0 ? QVariant() : QVariant(unsigned(row->colour()));
    case GradientRole:
        if (row->gradient() == BuildLogGradient())
            return {};
        return QVariant::fromValue(QList<unsigned>{row->gradient().from, row->gradient().to});
    case IconRole:
        return row->icon();
    case FlagsRole:
        return row->flags();
    case BuilderIndexRole:
        return row->builderIndex();
    default:
        return {};
    }
}

QVariant BuildLog::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TextColumn:
        return QStringLiteral("Output");
    case ErrorColumn:
        return QStringLiteral("Errors");
    case WarningColumn:
        return QStringLiteral("Warnings");
    case NoteColumn:
        return QStringLiteral("Notes");
    }
    return {};
}

BuildLogItem *BuildLog::item(const QModelIndex &index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<BuildLogItem *>(index.internalPointer());
}

QModelIndex BuildLog::indexOf(const BuildLogItem *row, int column) const {
    if (!row || row == m_root.get())
        return {};
    return createIndex(row->row(), column, const_cast<BuildLogItem *>(row));
}

const DiagnosticCounts &BuildLog::totals() const {
    return m_root->counts();
}

void BuildLog::setDefaultParser(std::shared_ptr<DiagnosticParser> parser) {
    m_defaultParser = std::move(parser);
}

void BuildLog::activate(const QModelIndex &index) {
    BuildLogItem *row = item(index);
    if (row && !row->bookmark().file().isEmpty())
        emit locateBookmark(row->bookmark());
}

BuildLogItem *BuildLog::groupItem(int builderIndex) const {
    auto open = m_openGroups.constFind(builderIndex);
    if (open == m_openGroups.constEnd() || open->empty())
        return nullptr;
    return open->back();
}

BuildLogItem *BuildLog::groupItem() const {
    return groupItem(0);
}

BuildLogItem *BuildLog::parentFor(int builderIndex, BuildLogItem *parent) const {
    if (parent)
        return parent;
    if (BuildLogItem *group = groupItem(builderIndex))
        return group;
    if (BuildLogItem *group = groupItem(0))
        return group;
    return m_root.get();
}

BuildLogItem *BuildLog::append(BuildLogItem *parent, std::unique_ptr<BuildLogItem> row) {
    int kind = row->type() == BuildLogItem::Result ? Bookmark::Plain : row->kind();
    if (row->colour() < 0)
        row->setColour(colourOf(row->kind()));
    if (row->icon().isEmpty())
        row->setIcon(iconOf(row->kind()));
    QModelIndex parentIndex = indexOf(parent);
    beginInsertRows(parentIndex, parent->childCount(), parent->childCount());
    BuildLogItem *added = parent->appendChild(std::move(row));
    endInsertRows();
    if (parent != m_root.get() && parent->childCount() == 1)
        rowChanged(parent, ErrorColumn, NoteColumn); // its summaries appear
    if (kind == Bookmark::Plain)
        return added;
    for (BuildLogItem *owner = parent; owner; owner = owner->parent()) {
        owner->counts().add(kind);
        if (owner != m_root.get())
            rowChanged(owner, ErrorColumn, NoteColumn);
    }
    return added;
}

void BuildLog::rowChanged(BuildLogItem *row, int firstColumn, int lastColumn) {
    emit dataChanged(indexOf(row, firstColumn), indexOf(row, lastColumn));
}

void BuildLog::message(const QString &text) {
    addMessage(text);
}

void BuildLog::error(const QString &text) {
    addError(text);
}

void BuildLog::warning(const QString &text) {
    addWarning(text);
}

void BuildLog::note(const QString &text) {
    addNote(text);
}

BuildLogItem *BuildLog::beginGroup(const QString &text, int flags, int buildIndex) {
    return beginGroup(nullptr, text, flags, buildIndex);
}

BuildLogItem *BuildLog::beginGroup(const QString &text, int flags) {
    return beginGroup(nullptr, text, flags, 0);
}

BuildLogItem *BuildLog::beginGroup(BuildLogItem *parent, const QString &text, int flags,
                                   int buildIndex) {
    auto group = std::make_unique<BuildLogItem>(BuildLogItem::Group, text, Bookmark::Plain, flags,
                                                buildIndex);
    group->setOpen(true);
    BuildLogItem *added = append(parentFor(buildIndex, parent), std::move(group));
    m_openGroups[buildIndex].push_back(added);
    return added;
}

BuildLogItem *BuildLog::beginGroup(BuildLogItem *parent, const QString &text, int flags) {
    return beginGroup(parent, text, flags, 0);
}

void BuildLog::closeGroup(BuildLogItem *group) {
    if (!group || !group->isOpen())
        return;
    std::vector<BuildLogItem *> &open = m_openGroups[group->builderIndex()];
    while (!open.empty()) {
        BuildLogItem *innermost = open.back();
        open.pop_back();
        innermost->setOpen(false);
        innermost->heldOutput().clear();
        if (innermost == group)
            break;
    }
    group->setOpen(false);
    group->heldOutput().clear();
}

void BuildLog::closeAll() {
    for (std::vector<BuildLogItem *> &open : m_openGroups) {
        for (BuildLogItem *group : open) {
            group->setOpen(false);
            group->heldOutput().clear();
        }
    }
    m_openGroups.clear();
}

void BuildLog::endGroup(const QString &text, const QString &badgeText) {
    endGroup(groupItem(0), text, badgeText);
}

void BuildLog::endGroup(const QString &text) {
    endGroup(groupItem(0), text, QString());
}

void BuildLog::endGroup() {
    endGroup(groupItem(0), QString(), QString());
}

void BuildLog::endGroup(BuildLogItem *group, const QFileInfo &associatedFile) {
    if (!group)
        return;
    if (!associatedFile.filePath().isEmpty()) {
        Bookmark file(associatedFile.absoluteFilePath(), -1, -1, QString(), Bookmark::Plain);
        group->setBookmark(file);
    }
    closeGroup(group);
}

void BuildLog::endGroup(BuildLogItem *group, const QString &text, const QString &badgeText) {
    if (!group)
        return;
    if (!text.isEmpty())
        group->setText(text);
    if (!badgeText.isEmpty())
        group->setBadgeText(badgeText);
    closeGroup(group);
    if (!text.isEmpty() || !badgeText.isEmpty())
        rowChanged(group, TextColumn, ErrorColumn);
}

void BuildLog::endGroup(BuildLogItem *group, const QString &text) {
    endGroup(group, text, QString());
}

void BuildLog::endGroup(BuildLogItem *group) {
    endGroup(group, QString(), QString());
}

BuildLogItem *BuildLog::addLine(int builderIndex, BuildLogItem *parent, int kind,
                                const QString &text, int flags) {
    return append(
        parentFor(builderIndex, parent),
        std::make_unique<BuildLogItem>(BuildLogItem::Message, text, kind, flags, builderIndex));
}

BuildLogItem *BuildLog::addError(const QString &text, int flags) {
    return addLine(0, nullptr, Bookmark::Error, text, flags);
}

BuildLogItem *BuildLog::addError(const QString &text) {
    return addError(text, NoFlags);
}

BuildLogItem *BuildLog::addError(BuildLogItem *parent, const QString &text, int flags) {
    return addLine(0, parent, Bookmark::Error, text, flags);
}

BuildLogItem *BuildLog::addWarning(const QString &text, int flags) {
    return addLine(0, nullptr, Bookmark::Warning, text, flags);
}

BuildLogItem *BuildLog::addWarning(const QString &text) {
    return addWarning(text, NoFlags);
}

BuildLogItem *BuildLog::addNote(const QString &text, int flags) {
    return addLine(0, nullptr, Bookmark::Note, text, flags);
}

BuildLogItem *BuildLog::addNote(const QString &text) {
    return addNote(text, NoFlags);
}

BuildLogItem *BuildLog::addSuccess(const QString &text, int flags) {
    auto row =
        std::make_unique<BuildLogItem>(BuildLogItem::Message, text, Bookmark::Plain, flags, 0);
    row->setColour(kSuccessColour);
    row->setIcon(QStringLiteral("success"));
    return append(parentFor(0, nullptr), std::move(row));
}

BuildLogItem *BuildLog::addSuccess(const QString &text) {
    return addSuccess(text, NoFlags);
}

BuildLogItem *BuildLog::addSuccess(const QString &text, int flags, const QDateTime &startTime,
                                   int steps) {
    auto row =
        std::make_unique<BuildLogItem>(BuildLogItem::Result, text, Bookmark::Plain, flags, 0);
    row->setColour(kSuccessColour);
    row->setIcon(QStringLiteral("success"));
    row->setResult(startTime, steps);
    return append(m_root.get(), std::move(row));
}

BuildLogItem *BuildLog::addMessage(const QString &text, int flags) {
    return addLine(0, nullptr, Bookmark::Plain, text, flags);
}

BuildLogItem *BuildLog::addMessage(const QString &text) {
    return addMessage(text, NoFlags);
}

BuildLogItem *BuildLog::addMessage(int builderIndex, BuildLogItem *parent, const QString &text,
                                   int flags) {
    return addLine(builderIndex, parent, Bookmark::Plain, text, flags);
}

void BuildLog::processOutput(const QString &text, bool isErrorOutput) {
    processOutput(0, nullptr, nullptr, text, isErrorOutput);
}

void BuildLog::processOutput(int buildIndex, const std::shared_ptr<DiagnosticParser> &parser,
                             BuildLogItem *parent, const QString &text, bool isErrorOutput) {
    // Hold our own share: the parser must outlive this line even if the default changes.
    std::shared_ptr<DiagnosticParser> reader = parser ? parser : m_defaultParser;
    QString line = DiagnosticParser::cleanLine(text);
    if (reader && reader->filterOut(line))
        return;
    QList<Bookmark> records;
    if (reader && reader->parse(line, records) && !records.isEmpty()) {
        addRecord(buildIndex, parent, records.front(), line);
        for (qsizetype i = 1; i < records.size(); ++i)
            addRecord(buildIndex, parent, records[i], recordText(records[i]));
        return;
    }
    BuildLogItem *owner = parentFor(buildIndex, parent);
    if (isErrorOutput && !m_showUnparsedErrorOutput && owner != m_root.get() && owner->isOpen()) {
        owner->heldOutput() << line;
        return;
    }
    addPlain(buildIndex, owner, line, Bookmark::null, reader ? reader->generator() : QString());
}

BuildLogItem *BuildLog::addRecord(int builderIndex, BuildLogItem *parent, const Bookmark &record,
                                  const QString &text) {
    auto row = std::make_unique<BuildLogItem>(BuildLogItem::Record, text, record.kind(), NoFlags,
                                              builderIndex);
    row->setBookmark(record);
    return append(parentFor(builderIndex, parent), std::move(row));
}

BuildLogItem *BuildLog::addProcessedOutput(int buildIndex, BuildLogItem *parent,
                                           const Bookmark &data) {
    return addRecord(buildIndex, parent, data, recordText(data));
}

BuildLogItem *BuildLog::addPlainOutput(int buildIndex, const QString &text,
                                       const Bookmark &bookmark, const QString &generator) {
    return addPlain(buildIndex, nullptr, text, bookmark, generator);
}

BuildLogItem *BuildLog::addPlain(int buildIndex, BuildLogItem *parent, const QString &text,
                                 const Bookmark &bookmark, const QString &generator) {
    auto row = std::make_unique<BuildLogItem>(BuildLogItem::Plain, text, Bookmark::Plain, NoFlags,
                                              buildIndex);
    Bookmark located = bookmark;
    if (!generator.isEmpty())
        located.setGenerator(generator);
    row->setBookmark(located);
    return append(parentFor(buildIndex, parent), std::move(row));
}

BuildLogItem *BuildLog::addPlainOutput(int buildIndex, const QString &text,
                                       const Bookmark &bookmark) {
    return addPlainOutput(buildIndex, text, bookmark, QString());
}

BuildLogItem *BuildLog::addPlainOutput(int buildIndex, const QString &text) {
    return addPlainOutput(buildIndex, text, Bookmark::null, QString());
}

BuildLogItem *BuildLog::addResult(const Bookmark &result, int flags) {
    return addResult(nullptr, result, flags, result.position(), result.length());
}

BuildLogItem *BuildLog::addResult(const Bookmark &result, int flags, int pos, int len) {
    return addResult(nullptr, result, flags, pos, len);
}

BuildLogItem *BuildLog::addResult(BuildLogItem *group, const Bookmark &result, int flags, int pos,
                                  int len) {
    Bookmark located = result;
    located.setMatch(pos, len);
    auto row = std::make_unique<BuildLogItem>(BuildLogItem::Record, recordText(located),
                                              located.kind(), flags, 0);
    row->setBookmark(located);
    return append(parentFor(0, group), std::move(row));
}

void BuildLog::stepFailed(BuildLogItem *group) {
    if (!group)
        return;
    QStringList held = std::exchange(group->heldOutput(), {});
    for (const QString &line : held) {
        append(group, std::make_unique<BuildLogItem>(BuildLogItem::Plain, line, Bookmark::Plain,
                                                     NoFlags, group->builderIndex()));
    }
}

BuildLogItem *BuildLog::buildFinished(BuildResult result, const QDateTime &startTime, int steps) {
    closeAll();
    if (result == BuildNothing || result == BuildSomething)
        return addSuccess(finalStatusText(result), NoFlags, startTime, steps);
    auto row = std::make_unique<BuildLogItem>(BuildLogItem::Result, finalStatusText(result),
                                              Bookmark::Error, NoFlags, 0);
    row->setResult(startTime, steps);
    return append(m_root.get(), std::move(row));
}

BuildLogItem *BuildLog::terminated(BuildLogItem *row) {
    closeAll();
    return addLine(0, row ? row : m_root.get(), Bookmark::Error,
                   QString::fromLatin1(kTerminatedText), NoFlags);
}

void BuildLog::setGradient(BuildLogItem *row, const BuildLogGradient &gradient) {
    if (!row)
        return;
    row->setGradient(gradient);
    rowChanged(row, TextColumn, NoteColumn);
}

void BuildLog::setPixmap(BuildLogItem *row, const QString &icon) {
    if (!row)
        return;
    row->setIcon(icon);
    rowChanged(row, TextColumn, TextColumn);
}

void BuildLog::clear() {
    beginResetModel();
    m_openGroups.clear();
    m_root =
        std::make_unique<BuildLogItem>(BuildLogItem::Group, QString(), Bookmark::Plain, NoFlags, 0);
    endResetModel();
}
