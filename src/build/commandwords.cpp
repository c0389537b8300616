#include "build/commandwords.h"

#include <QDir>

#include <algorithm>

QString anchored(const QString &directory, const QString &path) {
    return QDir::cleanPath(QDir(directory).absoluteFilePath(path));
}

QStringList anchored(const QString &directory, const QStringList &paths) {
    QStringList result;
    for (const QString &path : paths)
        result << anchored(directory, path);
    return result;
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
