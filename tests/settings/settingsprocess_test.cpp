// Several processes writing one settings file at once, as running instances do.

#include "settings/settings.h"
#include "settings/settingsformat.h"
#include "settingsprotocol.h"

#include "crosstool.h"
#include "golden.h"
#include "scratchdirtest.h"
#include "toolrunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <thread>

namespace {

constexpr int kWorkers = 8;
constexpr int kRounds = 200;

// Prints {"FILE": {"name": "value", ...}, ...} for each file named, as another XML reader
// sees them.
constexpr char kPythonReader[] = R"(
import json, sys, xml.etree.ElementTree as ET
print(json.dumps({path: {s.get('name'): s.text or '' for s in ET.parse(path).getroot().iter('setting')}
                  for path in sys.argv[1:]}))
)";

class SettingsProcesses : public ScratchDirTest {
protected:
    // In a directory that does not exist yet: the first writer creates it.
    std::string settingsPath() const { return path("not/yet/settings.xml"); }

    void startWorkers() {
        for (int id = 0; id < kWorkers; ++id) {
            auto process = std::make_unique<QProcess>();
            process->start(QString::fromStdString(toolPath("settings_worker")),
                           {QString::fromStdString(settingsPath()), QString::number(id),
                            QString::number(kRounds)});
            ASSERT_TRUE(process->waitForStarted()) << process->errorString().toStdString();
            m_workers.push_back(std::move(process));
        }
    }

    // Our reader's view of a file; fails the test when it does not parse.
    std::map<QString, QString> parsed(const std::string &file) {
        std::map<QString, QString> entries;
        QString error;
        EXPECT_TRUE(parseSettingsText(readFileBytes(file), entries, error))
            << file << ": " << error.toStdString();
        return entries;
    }

    // The other reader must see the same entries in F and F.bak.
    void expectPythonAgrees() {
        QProcess python;
        python.start("/usr/bin/python3",
                     {"-c", kPythonReader, QString::fromStdString(settingsPath()),
                      QString::fromStdString(settingsPath() + ".bak")});
        ASSERT_TRUE(python.waitForFinished(60000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        QJsonObject files = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        for (const std::string &file : {settingsPath(), settingsPath() + ".bak"}) {
            QJsonObject seen = files.value(QString::fromStdString(file)).toObject();
            std::map<QString, QString> ours = parsed(file);
            EXPECT_EQ(std::size_t(seen.size()), ours.size()) << file;
            for (const auto &[name, value] : ours)
                EXPECT_EQ(seen.value(name).toString(), value) << file << " " << name.toStdString();
        }
    }

    // A worker's keys in the final file: the removed ones absent, the others exact. Keys of
    // a killed worker may be missing from where it stopped, but are never wrong.
    void expectWorkerKeys(const std::map<QString, QString> &entries, int id, bool complete) {
        for (int round = 0; round < kRounds; ++round) {
            auto found = entries.find(workerKey(id, round));
            bool removed = removedLater(round) && round + 2 < kRounds;
            if (removed) {
                if (complete) {
                    EXPECT_EQ(found, entries.end()) << workerKey(id, round).toStdString();
                }
            } else if (found != entries.end()) {
                EXPECT_EQ(found->second, workerValue(id, round))
                    << workerKey(id, round).toStdString();
            } else {
                EXPECT_FALSE(complete) << "missing " << workerKey(id, round).toStdString();
            }
        }
    }

    std::vector<std::unique_ptr<QProcess>> m_workers;
};

TEST_F(SettingsProcesses, EightWritersLoseNothing) {
    REQUIRE_TOOL("/usr/bin/python3", "python3");
    startWorkers();
    int timeouts = 0;
    for (auto &worker : m_workers) {
        ASSERT_TRUE(worker->waitForFinished(240000));
        EXPECT_EQ(worker->exitCode(), 0) << worker->readAllStandardError().toStdString();
        const QByteArray report = worker->readAllStandardOutput();
        ASSERT_TRUE(report.startsWith("failures ")) << report.toStdString();
        timeouts += report.mid(9).trimmed().toInt();
    }
    // A synchronization that timed out is retried and loses nothing, but should be rare.
    // On a quiet machine there are none; flushing to a disk that other work keeps busy can
    // hold the lock long enough for a few. A waiter that backs off as QLockFile does, or a
    // holder that starves the others, gives far more.
    std::cout << "lock time-outs: " << timeouts << " of " << kWorkers * kRounds << "\n";
#ifndef __SANITIZE_ADDRESS__
    // (Instrumented, reading and writing the file under the lock takes ten times as long.)
    EXPECT_LE(timeouts, kWorkers * kRounds / 50);
#endif
    std::map<QString, QString> entries = parsed(settingsPath());
    std::size_t expected = 0;
    for (int id = 0; id < kWorkers; ++id) {
        expectWorkerKeys(entries, id, true);
        for (int round = 0; round < kRounds; ++round)
            expected += !(removedLater(round) && round + 2 < kRounds);
    }
    EXPECT_EQ(entries.size(), expected);
    expectPythonAgrees();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settingsPath() + ".new")));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settingsPath() + ".lck")));
}

TEST_F(SettingsProcesses, KilledWritersLeaveAFileThatAlwaysParses) {
    REQUIRE_TOOL("/usr/bin/python3", "python3");
    startWorkers();
    // Kill three workers at different moments; meanwhile the file, read without the lock
    // as any reader might, must always be complete.
    const int victims[] = {1, 4, 6};
    QElapsedTimer timer;
    timer.start();
    int killed = 0;
    int reads = 0;
    while (killed < 3 && timer.elapsed() < 60000) {
        if (timer.elapsed() > 150 * (killed + 1)) {
            QProcess &victim = *m_workers[std::size_t(victims[killed])];
            victim.kill();
            // Reaped at once: a dead holder of the lock is then recognised.
            ASSERT_TRUE(victim.waitForFinished(10000));
            ++killed;
        }
        if (QFileInfo::exists(QString::fromStdString(settingsPath()))) {
            QFile file(QString::fromStdString(settingsPath()));
            if (file.open(QIODevice::ReadOnly)) {
                QByteArray bytes = file.readAll();
                std::map<QString, QString> entries;
                QString error;
                ASSERT_TRUE(parseSettingsText(bytes.toStdString(), entries, error))
                    << error.toStdString();
                ++reads;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(killed, 3);
    EXPECT_GT(reads, 0);
    for (int id = 0; id < kWorkers; ++id) {
        if (std::find(std::begin(victims), std::end(victims), id) != std::end(victims))
            continue;
        QProcess &worker = *m_workers[std::size_t(id)];
        ASSERT_TRUE(worker.waitForFinished(240000));
        EXPECT_EQ(worker.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(worker.exitCode(), 0) << worker.readAllStandardError().toStdString();
    }
    std::map<QString, QString> entries = parsed(settingsPath());
    for (int id = 0; id < kWorkers; ++id) {
        bool victim = std::find(std::begin(victims), std::end(victims), id) != std::end(victims);
        expectWorkerKeys(entries, id, !victim);
    }
    expectPythonAgrees();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(settingsPath() + ".lck")));
}

} // namespace
