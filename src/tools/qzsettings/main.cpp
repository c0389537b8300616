// qzsettings: reads and changes a settings file from the command line, safely beside running
// instances that write the same file.

#include "settings/settings.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Failure {
    QString message;
};

using Runner = int (*)(Settings &, const QStringList &);

struct Command {
    const char *name;
    const char *synopsis;
    const char *description;
    int minimumArguments;
    int maximumArguments;
    Runner run;
};

int runGet(Settings &, const QStringList &);
int runSet(Settings &, const QStringList &);
int runRemove(Settings &, const QStringList &);
int runKeys(Settings &, const QStringList &);
int runDump(Settings &, const QStringList &);

// The one table behind dispatch, argument checks and help.
const Command kCommands[] = {
    {"get", "FILE get NAME",
     "  Prints the value of the setting NAME and a newline. A missing setting is an error.\n", 1, 1,
     runGet},
    {"set", "FILE set NAME VALUE",
     "  Sets NAME to VALUE and writes the file, merged with what other programs wrote.\n"
     "  The file and its directory are created when missing.\n",
     2, 2, runSet},
    {"remove", "FILE remove NAME",
     "  Removes the setting NAME and writes the file. A missing setting is an error.\n", 1, 1,
     runRemove},
    {"keys", "FILE keys [PATTERN]",
     "  Prints the names that match PATTERN (default: all), one a line, in name order.\n"
     "  \"*\" matches any text, \"/\" included; \"?\" one character; \"[abc]\", \"[a-z]\" and\n"
     "  \"[!abc]\" one character of a set. The pattern must match the whole name.\n",
     0, 1, runKeys},
    {"dump", "FILE dump",
     "  Prints NAME=VALUE for every setting, one a line, in name order; a line break in a\n"
     "  name or value is written \\n and a backslash \\\\.\n",
     0, 0, runDump},
};

void printUsage(std::FILE *out) {
    std::fprintf(out, "usage: qzsettings FILE COMMAND [ARGUMENTS...]\n\n"
                      "Reads and changes a settings file. Every access takes the file's lock\n"
                      "(FILE.lck); a change is merged with what other programs wrote meanwhile.\n\n"
                      "commands:\n");
    for (const Command &command : kCommands)
        std::fprintf(out, "  qzsettings %s\n", command.synopsis);
    std::fprintf(out, "\n'qzsettings FILE COMMAND --help' describes a command; 'qzsettings --help' "
                      "prints this text.\n"
                      "Errors are printed as \"error: MESSAGE\" and exit with status 1.\n");
}

void print(const QString &text) {
    QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
}

// A name as a pattern that matches only itself.
QString literalPattern(const QString &name) {
    QString pattern;
    for (QChar c : name) {
        if (c == u'*' || c == u'?' || c == u'[')
            pattern += u'[' + QString(c) + u']';
        else
            pattern += c;
    }
    return pattern;
}

// Reads the file; a file that is not there reads as empty.
void load(Settings &settings) {
    if (!QFileInfo::exists(settings.path()))
        return;
    if (!settings.load())
        throw Failure{settings.errorString()};
}

bool has(const Settings &settings, const QString &name) {
    return !settings.keys(literalPattern(name)).isEmpty();
}

void write(Settings &settings) {
    settings.synchronize();
    if (settings.hasLocalChanges())
        throw Failure{settings.errorString()};
}

int runGet(Settings &settings, const QStringList &arguments) {
    load(settings);
    if (!has(settings, arguments[0]))
        throw Failure{QStringLiteral("no setting ") + arguments[0]};
    print(settings.value(arguments[0]) + u'\n');
    return 0;
}

int runSet(Settings &settings, const QStringList &arguments) {
    settings.setValue(arguments[0], arguments[1]);
    write(settings);
    return 0;
}

int runRemove(Settings &settings, const QStringList &arguments) {
    load(settings);
    if (!has(settings, arguments[0]))
        throw Failure{QStringLiteral("no setting ") + arguments[0]};
    settings.remove(arguments[0]);
    write(settings);
    return 0;
}

int runKeys(Settings &settings, const QStringList &arguments) {
    load(settings);
    for (const QString &name : settings.keys(arguments.value(0, QStringLiteral("*"))))
        print(name + u'\n');
    return 0;
}

QString escaped(const QString &text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'\n', QStringLiteral("\\n"));
    return out;
}

int runDump(Settings &settings, const QStringList &) {
    load(settings);
    for (const QString &name : settings.keys())
        print(escaped(name) + u'=' + escaped(settings.value(name)) + u'\n');
    return 0;
}

bool isHelp(const char *argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

void reportError(const QString &message) {
    std::fprintf(stderr, "error: %s\n", message.toUtf8().constData());
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 2 && (isHelp(argv[1]) || std::strcmp(argv[1], "help") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc < 3) {
        printUsage(stderr);
        return 1;
    }
    const Command *command = nullptr;
    for (const Command &candidate : kCommands)
        if (std::strcmp(argv[2], candidate.name) == 0)
            command = &candidate;
    if (!command) {
        reportError(QStringLiteral("unknown command '%1'; 'qzsettings --help' lists the commands")
                        .arg(QString::fromLocal8Bit(argv[2])));
        return 1;
    }
    // Only right after the command: a value may well read "--help".
    if (argc == 4 && isHelp(argv[3])) {
        std::printf("usage: qzsettings %s\n\n%s", command->synopsis, command->description);
        return 0;
    }
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments.size() < command->minimumArguments ||
        arguments.size() > command->maximumArguments) {
        reportError(QStringLiteral("wrong number of arguments; usage: qzsettings %1")
                        .arg(QLatin1String(command->synopsis)));
        return 1;
    }
    if (std::strlen(argv[1]) == 0) {
        reportError(QStringLiteral("no settings file given"));
        return 1;
    }
    Settings settings;
    settings.setPath(QString::fromLocal8Bit(argv[1]));
    try {
        int status = command->run(settings, arguments);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            reportError(QStringLiteral("couldn't write the output"));
            return 1;
        }
        return status;
    } catch (const Failure &failure) {
        reportError(failure.message);
    }
    return 1;
}
