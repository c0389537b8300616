#include "build/compilecommandswriter.h"

#include "core/hexception.h"
#include "core/regularfile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

QByteArray CompileCommandsWriter::text(const std::vector<StepPlan> &plans) {
    QJsonArray entries;
    for (const StepPlan &plan : plans) {
        if (!plan.isCompile() || plan.inputs.isEmpty())
            continue;
        QDir directory(QDir::current().absoluteFilePath(plan.workingDirectory));
        QJsonObject entry;
        entry.insert(QStringLiteral("directory"), QDir::cleanPath(directory.absolutePath()));
        entry.insert(QStringLiteral("file"),
                     QDir::cleanPath(directory.absoluteFilePath(plan.inputs.first())));
        entry.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(plan.arguments));
        if (!plan.outputs.isEmpty())
            entry.insert(QStringLiteral("output"), plan.outputs.first());
        entries.append(entry);
    }
    return QJsonDocument(entries).toJson(QJsonDocument::Indented);
}

bool CompileCommandsWriter::write(const QString &path, const std::vector<StepPlan> &plans) {
    QByteArray content = text(plans);
    std::string old;
    if (readRegularFile(QFile::encodeName(path).toStdString(), old) == RegularFileStatus::Ok &&
        QByteArrayView(old) == content)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw HException("cannot write " + path.toStdString() + ": " +
                         file.errorString().toStdString());
    return true;
}
