#include "build/uptodatecheck.h"

#include "build/builder.h"
#include "build/dependencyfile.h"
#include "build/filetime.h"
#include "build/producedfiles.h"
#include "core/hexception.h"

UpToDateCheck::UpToDateCheck(Builder *log, const ProducedFiles *produced)
    : m_log(log), m_produced(produced) {}

QString UpToDateCheck::resolve(const QString &path) const {
    // A plain test: QDir::isAbsolutePath costs more than the stat that follows.
    if (m_baseDirectory.isEmpty() || path.startsWith(u'/'))
        return path;
    return m_baseDirectory.endsWith(u'/') ? m_baseDirectory + path : m_baseDirectory + u'/' + path;
}

void UpToDateCheck::setBaseDirectory(const QString &directory) {
    m_baseDirectory = directory;
    m_inputTimes.clear();
}

FileTime UpToDateCheck::inputTime(const QString &input) const {
    auto cached = m_inputTimes.constFind(input);
    if (cached != m_inputTimes.cend())
        return *cached;
    FileTime time = FileTime::of(resolve(input));
    m_inputTimes.insert(input, time);
    return time;
}

void UpToDateCheck::say(const QString &text) const {
    if (m_log)
        m_log->message(text);
}

bool UpToDateCheck::isUpToDate(const QString &target, const QStringList &inputs) const {
    FileTime targetTime = FileTime::of(resolve(target));
    if (!targetTime.exists) {
        say(target + QStringLiteral(" does not exist."));
        return false;
    }
    if (m_alwaysRebuild)
        return false;
    FileTime now = FileTime::now();
    for (const QString &input : inputs) {
        FileTime time = inputTime(input);
        if (!time.exists) {
            say(input + QStringLiteral(" does not exist."));
            return false;
        }
        if (time.isLaterThan(now))
            say(QStringLiteral("clock skew detected on ") + input + u'.');
        if (m_produced && !m_produced->isEmpty() && m_produced->contains(resolve(input))) {
            say(input + QStringLiteral(" has been rebuilt."));
            return false;
        }
        if (time.isLaterThan(targetTime)) {
            say(input + QStringLiteral(" (") + time.text() + QStringLiteral(") is later than ") +
                target + QStringLiteral(" (") + targetTime.text() + QStringLiteral(")."));
            return false;
        }
    }
    return true;
}

bool UpToDateCheck::isObjectUpToDate(const QString &target, const QString &source,
                                     const QString &dependencyFile) const {
    QStringList inputs{source};
    if (!dependencyFile.isEmpty()) {
        // Without its dependency file nothing says which headers the object saw.
        if (!FileTime::of(resolve(target)).exists)
            return isUpToDate(target, inputs);
        QString path = resolve(dependencyFile);
        if (!FileTime::of(path).exists) {
            say(dependencyFile + QStringLiteral(" does not exist."));
            return false;
        }
        try {
            inputs += DependencyFile::read(path);
        } catch (const HException &error) {
            say(QString::fromStdString(error.message()));
            return false;
        }
    }
    return isUpToDate(target, inputs);
}

QString UpToDateCheck::upToDateText(const QString &target) {
    return u'\'' + target + QStringLiteral("' is up to date");
}
