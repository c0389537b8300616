#include "build/stepplan.h"

#include "build/builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool StepPlan::isCompile() const {
    return action == BuildAction::CompileC || action == BuildAction::CompileCpp ||
           action == BuildAction::Assemble;
}

QString StepPlan::commandLine() const {
    QStringList quoted;
    for (const QString &word : commandWords())
        quoted << shellQuote(word);
    return quoted.join(u' ');
}

QString StepPlan::shellQuote(const QString &word) {
    if (word.isEmpty())
        return QStringLiteral("''");
    bool plain = true;
    for (QChar c : word) {
        if (!(c.isLetterOrNumber() || QStringView(u"@%+=:,./-_").contains(c))) {
            plain = false;
            break;
        }
    }
    if (plain)
        return word;
    QString quoted = word;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}

bool GeneratedFile::write(Builder &log) const {
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.size() == content.size() &&
        current.readAll() == content)
        return true;
    current.close();
    if (!description.isEmpty())
        log.message(description);
    QSaveFile file(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly) ||
        file.write(content) != content.size() || !file.commit()) {
        log.error(QStringLiteral("Cannot open file: ") + path);
        return false;
    }
    return true;
}
