#pragma once

#include <QString>
#include <QStringList>

// Small pieces the planners build command lines from.

// `path` made absolute against `directory` and cleaned.
QString anchored(const QString &directory, const QString &path);
QStringList anchored(const QString &directory, const QStringList &paths);

// Each option with a prefix: "-D" before definitions, "-Wl," before linker options.
QStringList passedOn(const QString &prefix, const QStringList &options);

// A list build macro: the words separated by blanks, each in double quotes (literal quotes
// tripled) when it holds a blank or a quote, so that the command splitter reads "-I/my dir"
// back as one word. An empty list gives an empty text.
QString joinedWords(const QStringList &words);
