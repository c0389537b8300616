#include "build/commandwords.h"

#include <QDir>

#include <algorithm>
#include <utility>

QStringList anchored(const QString &directory, const QStringList &paths) {
    QStringList result;
    for (const QString &path : paths)
        result << anchored(directory, path);
    return result;
}

namespace {

// Whether cleaning would leave the absolute `path` as it is: no empty, "." or ".." part.
bool isCleanAbsolute(QStringView path) {
    if (!path.startsWith(u'/'))
        return false;
    qsizetype start = 1;
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != u'/')
            continue;
        const QStringView part = path.mid(start, i - start);
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
        start = i + 1;
    }
    return true;
}

} // namespace

QString anchored(const QString &directory, const QString &path) {
    // Most paths come out clean by joining alone; QDir's work is for the others.
    if (directory.startsWith(u'/')) {
        QString joined = path.startsWith(u'/') ? path : directory + u'/' + path;
        if (isCleanAbsolute(joined))
            return joined;
    }
    return QDir::cleanPath(QDir(directory).absoluteFilePath(path));
}

QString relativeFilePath(const QString &directory, const QString &path) {
    if (path.size() > directory.size() + 1 && path[directory.size()] == u'/' &&
        path.startsWith(directory) && isCleanAbsolute(directory) && isCleanAbsolute(path))
        return path.mid(directory.size() + 1);
    return QDir(directory).relativeFilePath(path);
}

QStringList passedOn(const QString &prefix, const QStringList &options) {
    QStringList words;
    for (const QString &option : options)
        words << prefix + option;
    return words;
}

QString joinedWords(const QStringList &words) {
    QStringList quoted;
    for (const QString &word : words) {
        if (std::any_of(word.begin(), word.end(),
                        [](QChar c) { return c.isSpace() || c == u'"'; })) {
            QString text = word;
            text.replace(u'"', QStringLiteral("\"\"\""));
            quoted << u'"' + text + u'"';
        } else {
            quoted << word;
        }
    }
    return quoted.join(u' ');
}

QStringList commandWords(QStringView command) {
    QStringList words;
    QString word;
    qsizetype run = -1; // the start of plain characters not yet copied into `word`
    auto copyRun = [&](qsizetype end) {
        if (run >= 0)
            word.append(command.mid(run, end - run));
        run = -1;
    };
    int quotes = 0; // consecutive quote characters just read
    bool quoted = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u'"') {
            copyRun(i);
            if (++quotes == 3) {
                quotes = 0;
                word += c;
            }
            continue;
        }
        if (quotes == 1)
            quoted = !quoted;
        quotes = 0;
        if (!quoted && c.isSpace()) {
            copyRun(i);
            if (!word.isEmpty())
                words << std::exchange(word, QString());
        } else if (run < 0) {
            run = i;
        }
    }
    copyRun(command.size());
    if (!word.isEmpty())
        words << word;
    return words;
}
