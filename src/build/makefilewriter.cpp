#include "build/makefilewriter.h"

#include "core/hexception.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace {

QString recipeText(QString command) {
    if (command.contains(u'\n') || command.contains(u'\r'))
        throw HException("cannot export a command with a line break: " +
                         command.left(60).toStdString());
    return command.replace(u'$', QStringLiteral("$$"));
}

} // namespace

QString MakefileWriter::escapeName(const QString &name) {
    QString result;
    result.reserve(name.size());
    for (QChar c : name) {
        if (c == u'$')
            result += u'$';
        else if (c == u' ' || c == u'\t' || c == u'#' || c == u':')
            result += u'\\';
        result += c;
    }
    return result;
}

QByteArray MakefileWriter::text(const std::vector<StepPlan> &plans, const QString &makeDirectory) {
    QDir base(QDir::current().absoluteFilePath(makeDirectory));
    // A compiler writes the target of its dependency file as its command names the object;
    // an object named by its absolute path is spelled so everywhere, or the headers listed
    // there would attach to a target no rule builds.
    QSet<QString> spelledAbsolute;
    for (const StepPlan &plan : plans)
        if (!plan.dependencyFile.isEmpty())
            for (const QString &output : plan.outputs)
                if (QDir::isAbsolutePath(output) && plan.arguments.contains(output))
                    spelledAbsolute.insert(QDir::cleanPath(output));
    auto name = [&](const QDir &directory, const QString &path) {
        QString absolute = QDir::cleanPath(directory.absoluteFilePath(path));
        if (spelledAbsolute.contains(absolute))
            return escapeName(absolute);
        QString relative = base.relativeFilePath(absolute);
        return escapeName(relative.startsWith(QStringLiteral("../")) ? absolute : relative);
    };

    QStringList all, rules, includes, earlier;
    int phony = 0;
    for (const StepPlan &plan : plans) {
        QDir directory(base.absoluteFilePath(plan.workingDirectory));
        QStringList targets, prerequisites;
        for (const QString &output : plan.outputs)
            targets << name(directory, output);
        for (const QString &input : plan.inputs)
            prerequisites << name(directory, input);
        if (targets.isEmpty()) {
            targets << QStringLiteral("step-%1").arg(++phony);
            prerequisites += earlier;
            rules << QStringLiteral(".PHONY: ") + targets.first() + u'\n';
        }
        all += targets;
        earlier += targets;

        QString rule = targets.join(u' ') + QString(targets.size() > 1 ? " &:" : ":");
        if (!prerequisites.isEmpty())
            rule += u' ' + prerequisites.join(u' ');
        rule += u'\n';
        if (!plan.description.isEmpty())
            rule += QStringLiteral("\t@echo ") +
                    recipeText(StepPlan::shellQuote(plan.description)) + u'\n';
        // Make does not create the directories of its targets; the IDE's workers do.
        QStringList directories;
        for (const QString &output : plan.outputs) {
            QString parent = QFileInfo(directory.absoluteFilePath(output)).absolutePath();
            QString relative = base.relativeFilePath(parent);
            QString word =
                StepPlan::shellQuote(relative.startsWith(QStringLiteral("..")) ? parent : relative);
            if (relative != u"." && !directories.contains(word))
                directories << word;
        }
        if (!directories.isEmpty())
            rule += QStringLiteral("\t@mkdir -p ") + recipeText(directories.join(u' ')) + u'\n';
        QString command;
        if (QDir::cleanPath(directory.absolutePath()) != QDir::cleanPath(base.absolutePath()))
            command = QStringLiteral("cd ") + StepPlan::shellQuote(directory.absolutePath()) +
                      QStringLiteral(" && ");
        for (const QString &item : plan.environment)
            command += StepPlan::shellQuote(item) + u' ';
        command += plan.commandLine();
        rule += u'\t' + recipeText(command) + u'\n';
        rules << rule;
        if (!plan.dependencyFile.isEmpty())
            includes << QStringLiteral("-include ") + name(directory, plan.dependencyFile) + u'\n';
    }

    QString text = QStringLiteral("# Builds what the IDE builds, with the same commands.\n\n"
                                  ".PHONY: all\nall:");
    for (const QString &target : all)
        text += u' ' + target;
    text += QStringLiteral("\n\n") + rules.join(u'\n');
    if (!includes.isEmpty())
        text += u'\n' + includes.join(QString());
    return text.toUtf8();
}

void MakefileWriter::write(const QString &path, const std::vector<StepPlan> &plans,
                           const QString &makeDirectory) {
    QByteArray content = text(plans, makeDirectory);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw HException("cannot write " + path.toStdString() + ": " +
                         file.errorString().toStdString());
}
