#include "golden.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

std::string testDataPath(const std::string &relative) {
    if (!relative.empty() && relative.front() == '/')
        return relative;
    return std::string(PALINDOR_TEST_DATA) + "/" + relative;
}

std::string readFileBytes(const std::string &path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), bytes.size());
}

void writeFileBytes(const std::string &path, const std::string &bytes) {
    QString name = QString::fromStdString(path);
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << "cannot write " << path;
    ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
}

static std::string unifiedDiff(const std::string &goldenPath, const std::string &actual) {
    QTemporaryDir dir;
    std::string actualPath = dir.path().toStdString() + "/actual";
    writeFileBytes(actualPath, actual);
    QProcess diff;
    diff.start("diff",
               {"-u", QString::fromStdString(goldenPath), QString::fromStdString(actualPath)});
    diff.waitForFinished();
    return diff.readAllStandardOutput().toStdString();
}

void expectMatchesGolden(const std::string &actual, const std::string &path) {
    std::string goldenPath = testDataPath(path);
    if (qEnvironmentVariableIntValue("UPDATE_GOLDEN") == 1) {
        writeFileBytes(goldenPath, actual);
        return;
    }
    if (!QFileInfo::exists(QString::fromStdString(goldenPath))) {
        ADD_FAILURE() << "golden file " << goldenPath
                      << " is missing; run with UPDATE_GOLDEN=1 to create it";
        return;
    }
    std::string expected = readFileBytes(goldenPath);
    if (expected != actual)
        ADD_FAILURE() << "output differs from " << goldenPath << ":\n"
                      << unifiedDiff(goldenPath, actual);
}
