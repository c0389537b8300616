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

// The recipe that writes a generated file (a command record, an indirect list, a unity
// source) with `content`, so that a cleaned tree builds with make alone. Lines go in batches
// well below the length the kernel allows one argument.
QString writeRecipe(const QString &file, const QByteArray &content) {
    QList<QByteArray> lines = content.split('\n');
    const QByteArray tail = lines.takeLast(); // after the last line break
    QString recipe;
    QString batch;
    auto flush = [&](const char *format) {
        recipe += QStringLiteral("\t@printf '") + QLatin1String(format) + u'\'' + batch +
                  (recipe.isEmpty() ? QStringLiteral(" > ") : QStringLiteral(" >> ")) + file +
                  u'\n';
        batch.clear();
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        batch += u' ' + recipeText(StepPlan::shellQuote(QString::fromUtf8(lines[i])));
        if (batch.size() > 30000 || i + 1 == lines.size())
            flush("%s\\n");
    }
    if (!tail.isEmpty() || recipe.isEmpty()) {
        batch = u' ' + recipeText(StepPlan::shellQuote(QString::fromUtf8(tail)));
        flush("%s");
    }
    return recipe;
}

// "make -q" asks whether outputs are out of date: the user commands, which have none, stay out
// of it. A command that runs when any of some targets is due asks a make of its own first,
// named through a variable so that "make -n" only shows the line.
constexpr char kDefinitions[] = "this-makefile := $(lastword $(MAKEFILE_LIST))\n"
                                "asking := $(findstring q,$(firstword -$(MAKEFLAGS)))\n"
                                "out-of-date = MAKEFLAGS= $(MAKE) -q -f $(this-makefile)\n";

} // namespace

QString MakefileWriter::escapeName(const QString &name) {
    // Make reads these in a rule line whatever is done to them: a recipe, an order-only
    // list, a variable, a pattern, the next line.
    for (QChar c : name)
        if (QStringView(u";|=%\n\r").contains(c))
            throw HException("cannot export a file name make cannot read: " +
                             name.left(200).toStdString());
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
    // A file as make knows it: relative to the make directory unless outside it.
    auto spelled = [&](const QDir &directory, const QString &path) {
        QString absolute = QDir::cleanPath(directory.absoluteFilePath(path));
        if (spelledAbsolute.contains(absolute))
            return absolute;
        QString relative = base.relativeFilePath(absolute);
        return relative.startsWith(QStringLiteral("../")) ? absolute : relative;
    };
    auto name = [&](const QDir &directory, const QString &path) {
        return escapeName(spelled(directory, path));
    };
    auto directoryOf = [&](const StepPlan &plan) {
        return QDir(base.absoluteFilePath(plan.workingDirectory));
    };
    // The command in its own directory with its own environment, as a shell line.
    auto command = [&](const StepPlan &plan) {
        QDir directory = directoryOf(plan);
        QString line;
        if (QDir::cleanPath(directory.absolutePath()) != QDir::cleanPath(base.absolutePath()))
            line = QStringLiteral("cd ") + StepPlan::shellQuote(directory.absolutePath()) +
                   QStringLiteral(" && ");
        for (const QString &item : plan.environment)
            line += StepPlan::shellQuote(item) + u' ';
        return line + plan.commandLine();
    };
    auto echo = [](const StepPlan &plan) {
        return plan.description.isEmpty()
                   ? QString()
                   : QStringLiteral("\t@echo ") +
                         recipeText(StepPlan::shellQuote(plan.description)) + u'\n';
    };

    // The targets of each step: its outputs, or a phony name for a user command.
    const std::size_t count = plans.size();
    std::vector<QStringList> targets(count);
    std::vector<QStringList> orderOnly(count); // the commands that go first when it is due
    std::vector<QStringList> marks(count);     // the commands told that it ran
    int phony = 0;
    for (std::size_t i = 0; i < count; ++i) {
        QDir directory = directoryOf(plans[i]);
        for (const QString &output : plans[i].outputs)
            targets[i] << name(directory, output);
        if (targets[i].isEmpty())
            targets[i] << QStringLiteral("step-%1").arg(++phony);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const StepPlan &plan = plans[i];
        if (!plan.outputs.isEmpty() || plan.trigger == StepPlan::Trigger::Always)
            continue;
        const std::size_t span = std::size_t(std::max(plan.triggerSpan, 0));
        const bool before = plan.trigger == StepPlan::Trigger::BeforeDue;
        const std::size_t from = before ? i + 1 : i - std::min(span, i);
        const std::size_t to = before ? std::min(i + 1 + span, count) : i;
        for (std::size_t j = from; j < to; ++j)
            if (!plans[j].outputs.isEmpty())
                (before ? orderOnly : marks)[j] << targets[i].first();
    }

    QStringList all, rules, includes, earlier;
    for (std::size_t i = 0; i < count; ++i) {
        const StepPlan &plan = plans[i];
        QDir directory = directoryOf(plan);
        QStringList prerequisites;
        for (const QString &input : plan.inputs)
            prerequisites << name(directory, input);
        const bool isPhony = plan.outputs.isEmpty();
        if (isPhony) {
            prerequisites += earlier;
            rules << QStringLiteral(".PHONY: ") + targets[i].first() + u'\n';
        }
        all += targets[i];
        earlier += targets[i];

        QString rule = targets[i].join(u' ') + QString(targets[i].size() > 1 ? " &:" : ":");
        if (!prerequisites.isEmpty())
            rule += u' ' + prerequisites.join(u' ');
        // A file written for the step that is not among its inputs is needed all the same.
        for (const GeneratedFile &file : plan.generatedFiles)
            if (const QString generated = name(directory, file.path);
                !prerequisites.contains(generated))
                orderOnly[i] << generated;
        if (!orderOnly[i].isEmpty())
            rule += QStringLiteral(" | ") + orderOnly[i].join(u' ');
        rule += u'\n';

        if (isPhony) {
            rule += QStringLiteral("ifeq ($(asking),)\n");
            const QString run =
                StepPlan::shellQuote(plan.description) + QStringLiteral(" && ") + command(plan);
            if (plan.trigger == StepPlan::Trigger::Always) {
                rule += echo(plan) + u'\t' + recipeText(command(plan)) + u'\n';
            } else if (plan.trigger == StepPlan::Trigger::AfterRan) {
                rule += QStringLiteral("\t@[ -z '$(") + targets[i].first() +
                        QStringLiteral("-ran)' ] || ( echo ") + recipeText(run) +
                        QStringLiteral(" )\n");
            } else {
                QStringList due;
                for (std::size_t j = i + 1; j < count; ++j)
                    if (orderOnly[j].contains(targets[i].first()))
                        for (const QString &output : plans[j].outputs)
                            due << StepPlan::shellQuote(spelled(directoryOf(plans[j]), output));
                // Covering no file, it is never due (a make without targets would ask about all).
                if (!due.isEmpty())
                    rule += QStringLiteral("\t@$(out-of-date) ") + recipeText(due.join(u' ')) +
                            QStringLiteral(" || ( echo ") + recipeText(run) +
                            QStringLiteral(" )\n");
            }
            rules << rule + QStringLiteral("endif\n");
            continue;
        }

        for (const QString &mark : marks[i])
            rule += QStringLiteral("\t$(eval ") + mark + QStringLiteral("-ran := 1)\n");
        rule += echo(plan);
        // Make does not create the directories of its targets; the IDE's workers do.
        QStringList directories;
        auto addDirectories = [&](const StepPlan &step) {
            QDir at = directoryOf(step);
            for (const QString &output : step.outputs) {
                QString parent = QFileInfo(at.absoluteFilePath(output)).absolutePath();
                QString relative = base.relativeFilePath(parent);
                QString word = StepPlan::shellQuote(
                    relative.startsWith(QStringLiteral("..")) ? parent : relative);
                if (relative != u"." && !directories.contains(word))
                    directories << word;
            }
        };
        addDirectories(plan);
        for (const std::vector<StepPlan> *around : {&plan.before, &plan.after})
            for (const StepPlan &extra : *around)
                addDirectories(extra);
        if (!directories.isEmpty())
            rule += QStringLiteral("\t@mkdir -p ") + recipeText(directories.join(u' ')) + u'\n';
        // The commands around the step run with it, each only when all before it succeeded;
        // one that fails after it takes its outputs along, as the IDE does.
        for (const StepPlan &extra : plan.before)
            rule += echo(extra) + u'\t' + recipeText(command(extra)) + u'\n';
        rule += u'\t' + recipeText(command(plan)) + u'\n';
        QStringList outputs;
        for (const QString &output : plan.outputs)
            outputs << StepPlan::shellQuote(spelled(directory, output));
        for (const StepPlan &extra : plan.after)
            rule += echo(extra) + QStringLiteral("\t( ") + recipeText(command(extra)) +
                    QStringLiteral(" ) || { rm -f ") + recipeText(outputs.join(u' ')) +
                    QStringLiteral("; exit 1; }\n");
        rules << rule;
        if (!plan.dependencyFile.isEmpty())
            includes << QStringLiteral("-include ") + name(directory, plan.dependencyFile) + u'\n';
    }

    // The files the steps read that the IDE writes before it checks them.
    QSet<QString> written(earlier.begin(), earlier.end());
    for (const StepPlan &plan : plans) {
        for (const GeneratedFile &file : plan.generatedFiles) {
            const QDir directory = directoryOf(plan);
            const QString target = name(directory, file.path);
            if (written.contains(target))
                continue;
            written.insert(target);
            const QString where = spelled(directory, file.path);
            QString rule = target + QStringLiteral(":\n");
            const QString parent = QFileInfo(where).path();
            if (parent != u".")
                rule += QStringLiteral("\t@mkdir -p ") + recipeText(StepPlan::shellQuote(parent)) +
                        u'\n';
            rules << rule + writeRecipe(recipeText(StepPlan::shellQuote(where)), file.content);
        }
    }

    QString text = QStringLiteral("# Builds what the IDE builds, with the same commands.\n\n"
                                  ".PHONY: all\nall:");
    for (const QString &target : all)
        text += u' ' + target;
    // A step that fails after it touched an output must not leave it to pass for current.
    text += QStringLiteral("\n\n.DELETE_ON_ERROR:\n\n");
    if (phony > 0)
        text += QString::fromLatin1(kDefinitions) + u'\n';
    text += rules.join(u'\n');
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
