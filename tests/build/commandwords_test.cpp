#include "build/commandwords.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

// The splitter stands in for QProcess::splitCommand on every command line of a build: any
// text must come out in the same words.
TEST(CommandWords, SplitAsQProcessDoes) {
    const QStringList texts = {
        "",
        "   ",
        "gcc -c a.c -o a.o",
        "  lead\tand\ntrail  ",
        "\"quoted word\" plain",
        "in\"side quotes\"joined",
        "\"\"",
        "a \"\" b",
        "\"\"\"",
        "say \"\"\"hi\"\"\" there",
        "\"a \"\"\" b\"",
        "\"unterminated quote",
        "trailing quotes\"\"",
        QString::fromUtf8("non\u00a0breaking\u2003em space"),
    };
    for (const QString &text : texts)
        EXPECT_EQ(commandWords(text), QProcess::splitCommand(text)) << text.toStdString();

    // And texts of nothing but the characters that matter, in any order.
    QRandomGenerator random(19);
    const QString alphabet = QStringLiteral("ab \"\t");
    for (int n = 0; n < 2000; ++n) {
        QString text;
        for (int length = random.bounded(12); length > 0; --length)
            text += alphabet.at(random.bounded(alphabet.size()));
        EXPECT_EQ(commandWords(text), QProcess::splitCommand(text)) << text.toStdString();
    }
}

TEST(CommandWords, AnchoredAsQDirCleansIt) {
    const QStringList directories = {"/p/q", "/p/q/", "/p//q", "/p/./q", "/", "p/q", ""};
    const QStringList paths = {"a.o",  "obj/a.o", "./a.o",     "../a.o", "obj//a.o",
                               "obj/", "/r/a.o",  "/r/../a.o", "",       "."};
    for (const QString &directory : directories)
        for (const QString &path : paths)
            EXPECT_EQ(anchored(directory, path),
                      QDir::cleanPath(QDir(directory).absoluteFilePath(path)))
                << directory.toStdString() << " " << path.toStdString();
}

TEST(CommandWords, RelativePathsAsQDirGivesThem) {
    const QStringList directories = {"/p",        "/p/", "/p/q", "/p//q", "/p/./q",
                                     "/p/x/../q", "/",   "p/q",  ""};
    const QStringList paths = {"/p/q/a.o",  "/p/q",       "/p/qa/a.o", "/p/q/../r/a.o",
                               "/p/q//a.o", "/p/q/./a.o", "/p/q/a.o/", "/p/q/..",
                               "/r/a.o",    "p/q/a.o",    ""};
    for (const QString &directory : directories)
        for (const QString &path : paths)
            EXPECT_EQ(relativeFilePath(directory, path), QDir(directory).relativeFilePath(path))
                << directory.toStdString() << " " << path.toStdString();
}

} // namespace
