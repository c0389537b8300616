#include "settings/settings.h"

#include "core/qtxlockfile.h"
#include "settings/settingsformat.h"
#include "settingstesting.h"

#include "golden.h"
#include "scratchdirtest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class SettingsStore : public ScratchDirTest {
protected:
    QString file(const std::string &name = "settings.xml") const {
        return QString::fromStdString(path(name));
    }
    Settings open(const QString &at) {
        Settings settings;
        settings.setPath(at);
        return settings;
    }
    bool exists(const std::string &name) const { return QFileInfo::exists(file(name)); }
};

TEST_F(SettingsStore, LocalChangesAreTrackedPerValue) {
    Settings settings = open(file());
    EXPECT_FALSE(settings.hasLocalChanges());
    EXPECT_EQ(settings.value("absent"), QString());
    EXPECT_FALSE(settings.contains("absent"));

    // An empty value is still a new entry.
    settings.setValue("empty", "");
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_TRUE(settings.contains("empty"));
    EXPECT_EQ(settings.keys(), QStringList{"empty"});
    settings.setValue("a", "1");
    ASSERT_TRUE(settings.save());
    EXPECT_FALSE(settings.hasLocalChanges());

    settings.setValue("a", "1");
    EXPECT_FALSE(settings.hasLocalChanges());
    settings.remove("a");
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_FALSE(settings.contains("a"));
    EXPECT_EQ(settings.value("a"), QString());
    EXPECT_EQ(settings.keys(), QStringList{"empty"});
    ASSERT_TRUE(settings.save());

    // The same value again after a removal is a change.
    settings.setValue("empty", "x");
    settings.remove("empty");
    settings.setValue("empty", "x");
    EXPECT_EQ(settings.value("empty"), "x");
    ASSERT_TRUE(settings.save());
    Settings reread = open(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.keys(), QStringList{"empty"});
    EXPECT_EQ(reread.value("empty"), "x");
}

TEST_F(SettingsStore, WritesTheExactTextForm) {
    Settings settings = open(file());
    settings.setValue("Environment/Build/Building Threads", "4");
    settings.setValue("Editor/Separator", QStringLiteral("a\u00b7b"));
    settings.setValue("Marks", "a&b <c> \"d\" 'e'");
    settings.setValue("Lines", "one\ntwo\tthree\r");
    settings.setValue("Removed", "gone");
    settings.remove("Removed");
    settings.setValue("Name \"with\" <markup> & more", "v");
    ASSERT_TRUE(settings.save()) << settings.errorString().toStdString();
    std::string text = readFileBytes(path("settings.xml"));
    expectMatchesGolden(text, "settings/written.xml");
    // The middle dot is plain UTF-8: "&middot;" is no XML entity.
    EXPECT_EQ(text.find("&middot;"), std::string::npos);

    Settings reread = open(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.keys(), settings.keys());
    for (const QString &name : settings.keys())
        EXPECT_EQ(reread.value(name), settings.value(name)) << name.toStdString();
}

TEST_F(SettingsStore, ReadsOlderFilesAndMarkupItWasGiven) {
    write("old.xml", "<!DOCTYPE Palindor_Settings_File>\n<settings>\n"
                     "  <setting name=\"dot\">a&middot;b</setting>\n"
                     "  <setting name=\"literal\">&amp;middot;</setting>\n"
                     "  <setting name=\"cdata\">x<![CDATA[<y>]]>z</setting>\n"
                     "  <group><setting name=\"nested\">n</setting></group>\n"
                     "  <other name=\"ignored\">i</other>\n"
                     "  <setting name=\"spaces\">  padded  </setting>\n"
                     "</settings>\n");
    Settings settings = open(file("old.xml"));
    ASSERT_TRUE(settings.load());
    EXPECT_EQ(settings.keys(), (QStringList{"cdata", "dot", "literal", "nested", "spaces"}));
    EXPECT_EQ(settings.value("dot"), QStringLiteral("a\u00b7b"));
    EXPECT_EQ(settings.value("literal"), "&middot;");
    EXPECT_EQ(settings.value("cdata"), "x<y>z");
    EXPECT_EQ(settings.value("spaces"), "  padded  ");
}

TEST_F(SettingsStore, AwkwardValuesAndNamesSurviveARoundTrip) {
    Settings settings = open(file());
    const QStringList names = {
        "plain", "a&b",       "<tag>",       "say \"hi\"",
        "it's",  "tab\there", "line\nbreak", QStringLiteral("dot\u00b7name")};
    for (const QString &name : names)
        settings.setValue(name, awkwardValue(name));
    settings.setValue("literal entity", "&middot;&amp;");
    ASSERT_TRUE(settings.save());
    Settings reread = open(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.keys().size(), names.size() + 1);
    for (const QString &name : names)
        EXPECT_EQ(reread.value(name), awkwardValue(name)) << name.toStdString();
    EXPECT_EQ(reread.value("literal entity"), "&middot;&amp;");
}

TEST_F(SettingsStore, KeysMatchWholeNamesWithWildcards) {
    Settings settings = open(file());
    for (const char *name :
         {"Build/Threads", "Build/Tools/Path", "Editor/Font", "Editor/Tab", "a*b", "x[1]"})
        settings.setValue(name, "v");
    settings.remove("Editor/Tab");
    struct Row {
        const char *pattern;
        QStringList expected;
    } rows[] = {
        {"*", {"Build/Threads", "Build/Tools/Path", "Editor/Font", "a*b", "x[1]"}},
        {"Build/*", {"Build/Threads", "Build/Tools/Path"}}, // "*" crosses "/"
        {"Build", {}},                                      // anchored at the end
        {"uild/*", {}},                                     // and at the start
        {"build/*", {}},                                    // case-sensitive
        {"Editor/???", {}},
        {"Editor/????", {"Editor/Font"}},
        {"Editor/T*", {}}, // removed entries are not listed
        {"*/[FT]*", {"Build/Threads", "Build/Tools/Path", "Editor/Font"}},
        {"*/[!F]*", {"Build/Threads", "Build/Tools/Path"}},
        {"*/[A-G]*", {"Editor/Font"}},
        {"a[*]b", {"a*b"}},
        {"x[[]1]", {"x[1]"}},
        {"x[1", {}}, // an unterminated set is a literal "["
        {"*s*h", {"Build/Tools/Path"}},
        {"", {}},
    };
    for (const Row &row : rows)
        EXPECT_EQ(settings.keys(row.pattern), row.expected) << row.pattern;
}

TEST_F(SettingsStore, SynchronizeMergesTwoInstances) {
    Settings a = open(file());
    Settings b = open(file());
    a.setValue("shared", "from a");
    a.setValue("x", "1");
    ASSERT_TRUE(a.synchronize());
    ASSERT_FALSE(a.hasLocalChanges());

    b.setValue("y", "2");
    b.remove("shared");
    EXPECT_TRUE(b.synchronize());
    EXPECT_FALSE(b.hasLocalChanges());
    EXPECT_EQ(b.keys(), (QStringList{"x", "y"}));

    // Without local changes a synchronize only takes in the other's write.
    EXPECT_FALSE(a.synchronize());
    EXPECT_EQ(a.keys(), (QStringList{"x", "y"}));
    EXPECT_EQ(a.value("y"), "2");

    Settings fresh = open(file());
    ASSERT_TRUE(fresh.load());
    EXPECT_EQ(fresh.keys(), (QStringList{"x", "y"}));
}

TEST_F(SettingsStore, SynchronizeMergesEvenWhenTheStampHidesAWriter) {
    Settings a = open(file());
    a.setValue("k", "aaaa");
    ASSERT_TRUE(a.synchronize());
    struct stat before;
    ASSERT_EQ(::stat(path("settings.xml").c_str(), &before), 0);

    // Another writer changes the file in place, same size, same time: nothing in the stamp
    // tells the versions apart.
    std::string text = readFileBytes(path("settings.xml"));
    std::string::size_type at = text.find("aaaa");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 4, "bbbb");
    {
        QFile out(file());
        ASSERT_TRUE(out.open(QIODevice::ReadWrite));
        ASSERT_EQ(out.write(text.data(), qint64(text.size())), qint64(text.size()));
    }
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("settings.xml").c_str(), times, 0), 0);

    a.setValue("mine", "1");
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(a.value("k"), "bbbb");
    Settings reread = open(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.value("k"), "bbbb");
    EXPECT_EQ(reread.value("mine"), "1");
}

TEST_F(SettingsStore, SaveKeepsThePreviousFileAsBackup) {
    Settings settings = open(file());
    settings.setValue("v", "1");
    ASSERT_TRUE(settings.save());
    EXPECT_FALSE(exists("settings.xml.bak"));
    std::string first = readFileBytes(path("settings.xml"));
    settings.setValue("v", "2");
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(readFileBytes(path("settings.xml.bak")), first);
    EXPECT_NE(readFileBytes(path("settings.xml")), first);
    EXPECT_FALSE(exists("settings.xml.new"));
    EXPECT_FALSE(exists("settings.xml.lck"));
}

TEST_F(SettingsStore, FirstWriteCreatesTheDirectory) {
    const QString nested = file("new/deeper/settings.xml");
    Settings settings = open(nested);
    settings.setValue("k", "v");
    EXPECT_TRUE(settings.synchronize());
    EXPECT_FALSE(settings.hasLocalChanges()) << settings.errorString().toStdString();
    EXPECT_TRUE(QFileInfo::exists(nested));
}

TEST_F(SettingsStore, AFailedWriteKeepsTheLocalChanges) {
    Settings settings = open(file());
    settings.setValue("kept", "1");
    ASSERT_TRUE(settings.save());
    // A directory in the place of F.new makes the write fail, also for root.
    ASSERT_TRUE(QDir().mkpath(file("settings.xml.new")));
    settings.setValue("pending", "2");
    settings.remove("kept");
    EXPECT_TRUE(settings.synchronize());
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_TRUE(settings.errorString().startsWith("couldn't write " + file("settings.xml.new")))
        << settings.errorString().toStdString();
    EXPECT_FALSE(settings.save());
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_EQ(settings.value("pending"), "2");
    EXPECT_EQ(settings.keys(), QStringList{"pending"});

    ASSERT_TRUE(QDir(file("settings.xml.new")).removeRecursively());
    EXPECT_TRUE(settings.synchronize());
    EXPECT_FALSE(settings.hasLocalChanges());
    EXPECT_TRUE(settings.errorString().isEmpty());
    Settings reread = open(file());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(reread.keys(), QStringList{"pending"});
}

TEST_F(SettingsStore, AHeldLockTimesOutAndChangesStayPending) {
    Settings settings = open(file());
    settings.setValue("k", "1");
    ASSERT_TRUE(settings.save());
    QTx::LockFile holder(file("settings.xml.lck"));
    ASSERT_TRUE(holder.lock());
    settings.setValue("k", "2");
    EXPECT_TRUE(settings.synchronize());
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_TRUE(settings.errorString().startsWith("couldn't lock"));
    EXPECT_FALSE(settings.load());
    EXPECT_EQ(settings.value("k"), "2");
    holder.unlock();
    settings.synchronize();
    EXPECT_FALSE(settings.hasLocalChanges());
}

TEST_F(SettingsStore, ABrokenFileIsReportedAndLeavesTheEntries) {
    Settings settings = open(file());
    settings.setValue("k", "mine");
    ASSERT_TRUE(settings.save());
    write("settings.xml", "<settings>\n<setting name=\"k\">other</setting>\n<oops\n");
    EXPECT_FALSE(settings.load());
    EXPECT_TRUE(settings.errorString().startsWith("couldn't read " + file() + ": "))
        << settings.errorString().toStdString();
    EXPECT_EQ(settings.value("k"), "mine");

    // Local changes are not written over a file that could not be merged.
    settings.setValue("k", "newer");
    settings.synchronize();
    EXPECT_TRUE(settings.hasLocalChanges());
    EXPECT_EQ(readFileBytes(path("settings.xml")).substr(0, 10), "<settings>");
}

TEST_F(SettingsStore, MissingFiles) {
    Settings settings = open(file("absent.xml"));
    EXPECT_FALSE(settings.load());
    EXPECT_FALSE(settings.errorString().isEmpty());
    EXPECT_FALSE(settings.synchronize());
    EXPECT_TRUE(settings.errorString().isEmpty());
    EXPECT_FALSE(exists("absent.xml"));
}

TEST_F(SettingsStore, ClearMovesTheFileAside) {
    Settings settings = open(file());
    settings.setValue("k", "v");
    ASSERT_TRUE(settings.save());
    settings.setValue("k", "w");
    ASSERT_TRUE(settings.save());
    std::string last = readFileBytes(path("settings.xml"));
    settings.setValue("pending", "p");
    settings.clear();
    EXPECT_FALSE(settings.hasLocalChanges());
    EXPECT_TRUE(settings.keys().isEmpty());
    EXPECT_FALSE(exists("settings.xml"));
    EXPECT_EQ(readFileBytes(path("settings.xml.bak")), last);
}

} // namespace
