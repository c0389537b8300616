#include "build/uptodatecheck.h"

#include "build/dependencycache.h"
#include "build/filetime.h"
#include "build/producedfiles.h"
#include "recordingbuilder.h"
#include "scratchdirtest.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class UpToDateCheckTest : public ScratchDirTest {
protected:
    // Writes a file and sets its modification time.
    QString file(const std::string &name, qint64 seconds, long nanoseconds = 0) {
        std::string at = write(name, "x");
        timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        EXPECT_EQ(::utimensat(AT_FDCWD, at.c_str(), times, 0), 0);
        return QString::fromStdString(at);
    }
    QString base() const { return m_dir.path(); }
    static QString shown(qint64 seconds) {
        return QDateTime::fromSecsSinceEpoch(seconds).toString("dd.MM.yyyy hh:mm:ss");
    }

    RecordingBuilder log;
    const qint64 t = 1700000000;
};

TEST_F(UpToDateCheckTest, ComparesTimesWithTheirReasons) {
    QString object = file("a.o", t);
    file("a.c", t);
    file("b.h", t + 1);
    UpToDateCheck check(&log);
    check.setBaseDirectory(base());

    EXPECT_TRUE(check.isUpToDate(object, {"a.c"})); // equal times are current
    EXPECT_TRUE(check.isUpToDate(object, {}));
    EXPECT_FALSE(check.isUpToDate(object, {"a.c", "b.h"}));
    EXPECT_FALSE(check.isUpToDate(object, {"gone.h", "b.h"}));
    EXPECT_EQ(log.events, (QStringList{"message: b.h (" + shown(t + 1) + ") is later than " +
                                           object + " (" + shown(t) + ").",
                                       "message: gone.h does not exist."}));

    UpToDateCheck quiet;
    quiet.setBaseDirectory(base());
    EXPECT_FALSE(quiet.isUpToDate(object, {"b.h"}));
    EXPECT_EQ(UpToDateCheck::upToDateText("a.o"), "'a.o' is up to date");
}

TEST_F(UpToDateCheckTest, AbsentOutputIsOutOfDateEvenWithoutInputs) {
    UpToDateCheck check(&log);
    check.setBaseDirectory(base());
    EXPECT_FALSE(check.isUpToDate("out.bin", {}));
    EXPECT_EQ(log.events, QStringList{"message: out.bin does not exist."});
}

TEST_F(UpToDateCheckTest, SubSecondTimesCountWhenBothHaveThem) {
    QString object = file("a.o", t, 200'000'000);
    file("edited.c", t, 700'000'000); // edited within the second of the build
    file("older.c", t, 100'000'000);
    file("coarse.c", t); // a file system or copy without sub-second times
    UpToDateCheck check;
    check.setBaseDirectory(base());
    EXPECT_FALSE(check.isUpToDate(object, {"edited.c"}));
    EXPECT_TRUE(check.isUpToDate(object, {"older.c"}));
    EXPECT_TRUE(check.isUpToDate(object, {"coarse.c"}));

    QString coarseObject = file("b.o", t);
    EXPECT_TRUE(check.isUpToDate(coarseObject, {"edited.c"}));
    FileTime same{true, t, 5};
    EXPECT_FALSE(same.isLaterThan(same));
}

TEST_F(UpToDateCheckTest, NonAsciiNamesAreLookedUpAsTheSystemNamesThem) {
    const QString name = QString::fromUtf8("\u00fc\u20ac.c");
    QString object = file("a.o", t);
    file(name.toStdString(), t);
    UpToDateCheck check(&log);
    check.setBaseDirectory(base());
    EXPECT_TRUE(check.isUpToDate(object, {name}));
    EXPECT_TRUE(log.events.isEmpty());
    const char16_t lone[] = {u'a', 0xD800, u'.', u'c', 0};
    for (const QString &path : {name, QString::fromUtf16(lone), QString("a.c"), QString()})
        EXPECT_EQ(FileTime::systemName(path), QFile::encodeName(path));
}

TEST_F(UpToDateCheckTest, InputProducedInThisBuildIsNewer) {
    QString exe = file("app.elf", t);
    QString object = file("a.o", t);
    ProducedFiles produced;
    UpToDateCheck check(&log, &produced);
    check.setBaseDirectory(base());
    EXPECT_TRUE(check.isUpToDate(exe, {"a.o"}));
    produced.add(object);
    EXPECT_FALSE(check.isUpToDate(exe, {"a.o"}));
    EXPECT_EQ(log.events, QStringList{"message: a.o has been rebuilt."});
}

TEST_F(UpToDateCheckTest, ClockSkewIsReportedAndComparedNormally) {
    qint64 future = QDateTime::currentSecsSinceEpoch() + 3600;
    QString object = file("a.o", future);
    file("a.c", future);
    UpToDateCheck check(&log);
    check.setBaseDirectory(base());
    EXPECT_TRUE(check.isUpToDate(object, {"a.c"}));
    EXPECT_EQ(log.events, QStringList{"message: clock skew detected on a.c."});
}

TEST_F(UpToDateCheckTest, AlwaysRebuild) {
    QString object = file("a.o", t);
    file("a.c", t);
    UpToDateCheck check;
    check.setBaseDirectory(base());
    check.setAlwaysRebuild(true);
    EXPECT_FALSE(check.isUpToDate(object, {"a.c"}));
}

TEST_F(UpToDateCheckTest, ObjectsReadTheirDependencyFile) {
    QString object = file("a.o", t);
    file("a.c", t);
    file("a.h", t);
    write("a.d", "a.o: a.c a.h \\\n b.h\na.h:\nb.h:\n");
    // A check reads each input's time once; each build starts a new one.
    auto isUpToDate = [&](const QString &dependencyFile) {
        UpToDateCheck check(&log);
        check.setBaseDirectory(base());
        return check.isObjectUpToDate(object, "a.c", dependencyFile);
    };

    EXPECT_FALSE(isUpToDate("a.d")); // b.h was deleted
    file("b.h", t);
    EXPECT_TRUE(isUpToDate("a.d"));
    file("b.h", t + 5); // a header edit recompiles
    EXPECT_FALSE(isUpToDate("a.d"));
    EXPECT_FALSE(isUpToDate("none.d"));
    write("bad.d", "a.o a.c\n");
    EXPECT_FALSE(isUpToDate("bad.d"));
    EXPECT_TRUE(isUpToDate(""));
    ASSERT_EQ(log.events.size(), 4);
    EXPECT_EQ(log.events[0], "message: b.h does not exist.");
    EXPECT_TRUE(log.events[1].startsWith("message: b.h ("));
    EXPECT_EQ(log.events[2], "message: none.d does not exist.");
    EXPECT_EQ(log.events[3], "message: " + base() + "/bad.d: line 1: missing ':'");
}

TEST_F(UpToDateCheckTest, DependencyCacheHoldsWhileTheDependencyFileIsUnchanged) {
    QString object = file("a.o", t);
    file("a.c", t);
    file("a.h", t);
    const QString cacheFile = base() + "/obj/dependencies.cache";
    auto isUpToDate = [&] {
        DependencyCache cache;
        cache.load(cacheFile);
        UpToDateCheck check(&log);
        check.setBaseDirectory(base());
        check.setDependencyCache(&cache);
        const bool current = check.isObjectUpToDate(object, "a.c", "a.d");
        EXPECT_TRUE(cache.save(cacheFile));
        return current;
    };
    auto writeDependencies = [&](const std::string &text, qint64 seconds) {
        write("a.d", text);
        timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (base() + "/a.d").toLocal8Bit().constData(), times, 0), 0);
    };

    writeDependencies("a.o: a.c a.h\n", t);
    EXPECT_TRUE(isUpToDate());
    // Same time and size: what the cache file says stands, the text is not read again.
    writeDependencies("a.o: a.c b.h\n", t);
    EXPECT_TRUE(isUpToDate());
    // A cache file cut short is not half believed: the dependency file is read again.
    {
        QFile cache(cacheFile);
        ASSERT_TRUE(cache.resize(cache.size() - 2));
    }
    EXPECT_FALSE(isUpToDate());
    log.events.clear();
    // A compile rewrites the file: read again, and the missing header is seen.
    writeDependencies("a.o: a.c b.h\n", t + 1);
    EXPECT_FALSE(isUpToDate());
    EXPECT_EQ(log.events, QStringList{"message: b.h does not exist."});
    // A damaged cache file is ignored, counts it cannot hold included.
    write("obj/dependencies.cache", std::string(40, '\xff'));
    file("b.h", t);
    EXPECT_TRUE(isUpToDate());
    write("obj/dependencies.cache", std::string("PDC2") + std::string(36, '\xff'));
    EXPECT_TRUE(isUpToDate());
    std::remove((base() + "/a.d").toLocal8Bit().constData());
    EXPECT_FALSE(isUpToDate());
    EXPECT_EQ(log.events.back(), "message: a.d does not exist.");
}

TEST_F(UpToDateCheckTest, DependencyCacheKeepsEachEntrysHeadersWhenNamesGoOutOfUse) {
    for (const char *name : {"a.o", "a.c", "a.h", "x.o", "x.c", "x.h", "b.h"})
        file(name, t);
    const QString cacheFile = base() + "/obj/dependencies.cache";
    auto check = [&](const char *object, const char *source, const char *dependencies) {
        DependencyCache cache;
        cache.load(cacheFile);
        UpToDateCheck check(&log);
        check.setBaseDirectory(base());
        check.setDependencyCache(&cache);
        const bool current = check.isObjectUpToDate(object, source, dependencies);
        EXPECT_TRUE(cache.save(cacheFile));
        return current;
    };
    auto writeAt = [&](const char *name, const std::string &text) {
        const std::string at = write(name, text);
        timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, at.c_str(), times, 0), 0);
    };
    writeAt("a.d", "a.o: a.c a.h\n");
    writeAt("x.d", "x.o: x.c x.h\n");
    EXPECT_TRUE(check("a.o", "a.c", "a.d"));
    EXPECT_TRUE(check("x.o", "x.c", "x.d"));
    // Same time and size: x.d's entry is taken from the cache from now on.
    writeAt("x.d", "x.o: x.c y.h\n");
    // a.h goes out of use and the names are numbered afresh on saving.
    write("a.d", "a.o: a.c  b.h\n");
    EXPECT_TRUE(check("a.o", "a.c", "a.d"));
    file("x.h", t + 1);
    log.events.clear();
    EXPECT_FALSE(check("x.o", "x.c", "x.d"));
    ASSERT_EQ(log.events.size(), 1);
    EXPECT_TRUE(log.events[0].startsWith("message: x.h (")) << log.events[0].toStdString();
}

TEST_F(UpToDateCheckTest, DependencyCacheKeepsNamesBeyondAscii) {
    QString object = file("a.o", t);
    file("a.c", t);
    file("h\u00e9.h", t);
    const QString cacheFile = base() + "/obj/dependencies.cache";
    auto isUpToDate = [&] {
        DependencyCache cache;
        cache.load(cacheFile);
        UpToDateCheck check(&log);
        check.setBaseDirectory(base());
        check.setDependencyCache(&cache);
        const bool current = check.isObjectUpToDate(object, "a.c", "d\u00e9.d");
        EXPECT_TRUE(cache.save(cacheFile));
        return current;
    };
    auto writeDependencies = [&](const std::string &text) {
        const std::string at = write("d\u00e9.d", text);
        timespec times[2] = {{t, 0}, {t, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, at.c_str(), times, 0), 0);
    };
    writeDependencies("a.o: a.c h\u00e9.h\n");
    EXPECT_TRUE(isUpToDate());
    // The entry is found again by its name (the new text names a missing header)...
    writeDependencies("a.o: a.c h\u00eb.h\n");
    EXPECT_TRUE(isUpToDate());
    // ... and the header it holds keeps its name.
    file("h\u00e9.h", t + 1);
    log.events.clear();
    EXPECT_FALSE(isUpToDate());
    ASSERT_EQ(log.events.size(), 1);
    EXPECT_TRUE(log.events[0].startsWith(QString::fromUtf8("message: h\u00e9.h (")))
        << log.events[0].toStdString();
}

TEST_F(UpToDateCheckTest, OnlyTheSourceNamedFirstIsSkippedAmongTheCachedHeaders) {
    QString object = file("a.o", t);
    file("a.c", t);
    file("b.h", t + 1);
    auto isUpToDate = [&] {
        DependencyCache cache;
        UpToDateCheck check(&log);
        check.setBaseDirectory(base());
        check.setDependencyCache(&cache);
        return check.isObjectUpToDate(object, base() + "/a.c", "a.d");
    };
    // A header named before the source is still looked at.
    write("a.d", "a.o: b.h a.c\n");
    EXPECT_FALSE(isUpToDate());
    file("b.h", t);
    write("a.d", "a.o: a.c b.h\n");
    EXPECT_TRUE(isUpToDate());
    file("a.c", t + 1);
    log.events.clear();
    EXPECT_FALSE(isUpToDate());
    ASSERT_EQ(log.events.size(), 1);
    EXPECT_TRUE(log.events[0].startsWith("message: " + base() + "/a.c ("));
}

TEST_F(UpToDateCheckTest, OutputsAreLookedAtAfresh) {
    // Input times are kept for the check's life; an output rewritten meanwhile is seen.
    QString object = file("a.o", t);
    file("a.c", t + 1);
    UpToDateCheck check;
    check.setBaseDirectory(base());
    EXPECT_FALSE(check.isUpToDate(object, {"a.c"}));
    file("a.o", t + 2);
    EXPECT_TRUE(check.isUpToDate(object, {"a.c"}));
}

} // namespace
