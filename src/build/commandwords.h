#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Small pieces the planners build command lines from.

// `path` made absolute against `directory` and cleaned.
QString anchored(const QString &directory, const QString &path);
QStringList anchored(const QString &directory, const QStringList &paths);

// `path` relative to `directory`, as QDir::relativeFilePath gives it; quick for the usual
// case of a clean absolute path below a clean absolute directory.
QString relativeFilePath(const QString &directory, const QString &path);

// Each option with a prefix: "-D" before definitions, "-Wl," before linker options.
QStringList passedOn(const QString &prefix, const QStringList &options);

// A list build macro: the words separated by blanks, each in double quotes (literal quotes
// tripled) when it holds a blank or a quote, so that the command splitter reads "-I/my dir"
// back as one word. An empty list gives an empty text.
QString joinedWords(const QStringList &words);

// The words of a command line as QProcess::splitCommand gives them: blanks separate words,
// double quotes group them, three quotes in a row stand for one. Runs of plain characters are
// copied at once, which matters for a command per source.
QStringList commandWords(QStringView command);
