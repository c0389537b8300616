#include "build/uptodatecheck.h"

#include "build/builder.h"
#include "build/dependencycache.h"
#include "build/dependencyfile.h"
#include "build/filetime.h"
#include "build/producedfiles.h"
#include "core/hexception.h"

#include <QFile>

#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

UpToDateCheck::UpToDateCheck(Builder *log, const ProducedFiles *produced)
    : m_log(log), m_produced(produced) {}

UpToDateCheck::~UpToDateCheck() {
    closeBaseDirectory();
}

UpToDateCheck::UpToDateCheck(UpToDateCheck &&other) noexcept
    : m_log(other.m_log), m_produced(other.m_produced), m_dependencies(other.m_dependencies),
      m_baseDirectory(std::move(other.m_baseDirectory)),
      m_basePrefix(std::move(other.m_basePrefix)),
      m_baseFd(std::exchange(other.m_baseFd, kNotOpened)), m_alwaysRebuild(other.m_alwaysRebuild),
      m_inputTimes(std::move(other.m_inputTimes)), m_headerTimes(std::move(other.m_headerTimes)) {}

void UpToDateCheck::closeBaseDirectory() {
    if (m_baseFd >= 0)
        ::close(m_baseFd);
    m_baseFd = kNotOpened;
}

std::pair<int, const char *> UpToDateCheck::placeOf(const QByteArray &name) const {
    if (!m_basePrefix.isEmpty() && name.size() > m_basePrefix.size() &&
        name.startsWith(m_basePrefix)) {
        // Opened when first needed: a check of one step's output costs no more than before.
        if (m_baseFd == kNotOpened)
            m_baseFd = ::open(m_basePrefix.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (m_baseFd >= 0)
            return {m_baseFd, name.constData() + m_basePrefix.size()};
    }
    return {AT_FDCWD, name.constData()};
}

FileTime UpToDateCheck::timeOf(const QString &path) const {
    const QByteArray name = FileTime::systemName(path);
    const auto [directory, below] = placeOf(name);
    return FileTime::of(directory, below);
}

QString UpToDateCheck::resolve(const QString &path) const {
    // A plain test: QDir::isAbsolutePath costs more than the stat that follows.
    if (m_baseDirectory.isEmpty() || path.startsWith(u'/'))
        return path;
    return m_baseDirectory.endsWith(u'/') ? m_baseDirectory + path : m_baseDirectory + u'/' + path;
}

void UpToDateCheck::setBaseDirectory(const QString &directory) {
    m_baseDirectory = directory;
    closeBaseDirectory();
    m_basePrefix.clear();
    if (!directory.isEmpty()) {
        m_basePrefix = FileTime::systemName(directory);
        if (!m_basePrefix.endsWith('/'))
            m_basePrefix += '/';
    }
    m_inputTimes.clear();
    m_headerTimes.clear();
}

void UpToDateCheck::setDependencyCache(DependencyCache *cache) {
    m_dependencies = cache;
    m_headerTimes.clear();
}

FileTime UpToDateCheck::inputTime(const QString &input) const {
    auto cached = m_inputTimes.constFind(input);
    if (cached != m_inputTimes.cend())
        return *cached;
    FileTime time = timeOf(resolve(input));
    m_inputTimes.insert(input, time);
    return time;
}

FileTime UpToDateCheck::readHeaderTime(quint32 index) const {
    if (index >= m_headerTimes.size())
        m_headerTimes.resize(m_dependencies->size());
    std::optional<FileTime> &time = m_headerTimes[index];
    if (!time)
        time = timeOf(resolve(m_dependencies->name(index)));
    return *time;
}

void UpToDateCheck::say(const QString &text) const {
    if (m_log)
        m_log->message(text);
}

bool UpToDateCheck::isUpToDate(const QString &target, const QStringList &inputs) const {
    return isCurrent(target, timeOf(resolve(target)), inputs);
}

bool UpToDateCheck::isCurrent(const QString &target, const FileTime &targetTime,
                              const QStringList &inputs, std::span<const quint32> headers) const {
    if (!targetTime.exists) {
        say(target + QStringLiteral(" does not exist."));
        return false;
    }
    if (m_alwaysRebuild)
        return false;
    FileTime now = FileTime::now();
    // Asked once: the set is locked for every question, and a build with nothing to do asks
    // for every header of every object.
    const bool anyProduced = m_produced && !m_produced->isEmpty();
    auto current = [&](const QString &input, const FileTime &time) {
        if (!time.exists) {
            say(input + QStringLiteral(" does not exist."));
            return false;
        }
        if (time.isLaterThan(now))
            say(QStringLiteral("clock skew detected on ") + input + u'.');
        if (anyProduced && m_produced->contains(resolve(input))) {
            say(input + QStringLiteral(" has been rebuilt."));
            return false;
        }
        if (time.isLaterThan(targetTime)) {
            say(input + QStringLiteral(" (") + time.text() + QStringLiteral(") is later than ") +
                target + QStringLiteral(" (") + targetTime.text() + QStringLiteral(")."));
            return false;
        }
        return true;
    };
    for (const QString &input : inputs)
        if (!current(input, inputTime(input)))
            return false;
    for (quint32 header : headers) {
        const FileTime time = headerTime(header);
        // What current() finds of nearly every header, without its name: a build with nothing
        // to do asks it of every header of every object.
        if (time.exists && !anyProduced && !time.isLaterThan(now) && !time.isLaterThan(targetTime))
            continue;
        if (!current(m_dependencies->name(header), time))
            return false;
    }
    return true;
}

bool UpToDateCheck::isObjectUpToDate(const QString &target, const QString &source,
                                     const QString &dependencyFile) const {
    QStringList inputs{source};
    QList<quint32> headers;
    const FileTime targetTime = timeOf(resolve(target));
    // Without its dependency file nothing says which headers the object saw.
    if (!dependencyFile.isEmpty() && targetTime.exists) {
        const QString path = resolve(dependencyFile);
        bool found = false;
        try {
            if (m_dependencies) {
                const QByteArray name = FileTime::systemName(path);
                const auto [directory, below] = placeOf(name);
                std::optional<QList<quint32>> cached =
                    m_dependencies->inputsOf(path, name, directory, below);
                if ((found = cached.has_value()))
                    headers = std::move(*cached);
            } else if ((found = QFile::exists(path))) {
                inputs += DependencyFile::read(path);
            }
        } catch (const HException &error) {
            say(QString::fromStdString(error.message()));
            return false;
        }
        if (!found) {
            say(dependencyFile + QStringLiteral(" does not exist."));
            return false;
        }
    }
    std::span<const quint32> named(headers.constData(), std::size_t(headers.size()));
    // A compiler names the source first among its dependencies: it is looked at already, and
    // a second stat of it is a quarter of the stats of a build with nothing to do.
    if (!named.empty() && resolve(m_dependencies->name(named.front())) == resolve(source))
        named = named.subspan(1);
    return isCurrent(target, targetTime, inputs, named);
}

QString UpToDateCheck::upToDateText(const QString &target) {
    // One allocation: a build with nothing to do says it of every object.
    const QLatin1String said("' is up to date");
    QString text;
    text.reserve(1 + target.size() + said.size());
    text += u'\'';
    text += target;
    text += said;
    return text;
}
