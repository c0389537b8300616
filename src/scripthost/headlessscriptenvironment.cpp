#include "scripthost/headlessscriptenvironment.h"

#include "build/buildengine.h"
#include "build/gnuprojectsystem.h"
#include "core/namevaluelist.h"
#include "project/builtinproperties.h"
#include "project/configurations.h"
#include "project/nodemacros.h"
#include "project/nodepath.h"
#include "project/propertyresolver.h"
#include "project/solutionloaderror.h"
#include "project/standardprojectsystem.h"
#include "project/systemmacros.h"
#include "scripthost/scriptbuildlog.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

void writeTo(FILE *stream, const QString &text) {
    QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

const char *kindName(ScriptEnvironment::MessageKind kind) {
    switch (kind) {
    case ScriptEnvironment::Warning:
        return "warning";
    case ScriptEnvironment::Error:
        return "error";
    default:
        return "message";
    }
}

} // namespace

HeadlessScriptEnvironment::HeadlessScriptEnvironment()
    : m_output([](const QString &text) { writeTo(stdout, text); }),
      m_messages([](const QString &text) { writeTo(stderr, text); }) {
    QString executable =
        QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    registerSystemMacros(m_macros, executable.toStdString());
    registerBuiltinProperties(m_registry, &m_macros);
    if (!executable.isEmpty())
        m_scriptDirectory = QString::fromStdString(installDirectoryOf(executable.toStdString())) +
                            QStringLiteral("/bin");
}

HeadlessScriptEnvironment::~HeadlessScriptEnvironment() = default;

void HeadlessScriptEnvironment::output(const QString &text) {
    m_output(text);
}

bool HeadlessScriptEnvironment::askYesNo(const QString &title, const QString &question) {
    m_messages(QStringLiteral("%1: %2 [%3]\n")
                   .arg(title, question, m_answer ? QStringLiteral("yes") : QStringLiteral("no")));
    return m_answer;
}

QStringList HeadlessScriptEnvironment::browse(FileDialog dialog, const QString &caption,
                                              const QString &dir, const QString &) {
    static const char *const kTitles[] = {"Select directory", "Open file", "Open files",
                                          "Save file"};
    QString title = caption.isEmpty() ? QString::fromLatin1(kTitles[dialog]) : caption;
    m_messages(QStringLiteral("%1: %2 [cancelled]\n").arg(title, dir));
    return {};
}

void HeadlessScriptEnvironment::showMessage(MessageKind kind, const QString &title,
                                            const QString &text) {
    m_messages(
        QStringLiteral("%1: %2\n%3\n").arg(QString::fromLatin1(kindName(kind)), title, text));
}

bool HeadlessScriptEnvironment::attachSettingsFile(SettingsScope scope, const QString &path) {
    auto file = std::make_unique<Settings>();
    file->setPath(path);
    if (QFileInfo::exists(path) && !file->load())
        return false;
    m_settingsFiles[scope] = std::move(file);
    return true;
}

QString HeadlessScriptEnvironment::setting(SettingsScope scope, const QString &name) {
    if (Settings *file = m_settingsFiles[scope].get())
        return file->value(name);
    return m_settings[scope].value(name);
}

void HeadlessScriptEnvironment::setSetting(SettingsScope scope, const QString &name,
                                           const QString &value) {
    if (Settings *file = m_settingsFiles[scope].get()) {
        file->setValue(name, value);
        // Other instances share the file: fold their changes in with ours.
        file->synchronize();
        return;
    }
    m_settings[scope].insert(name, value);
}

void HeadlessScriptEnvironment::removeSetting(SettingsScope scope, const QString &name) {
    if (Settings *file = m_settingsFiles[scope].get()) {
        file->remove(name);
        file->synchronize();
        return;
    }
    m_settings[scope].remove(name);
}

void HeadlessScriptEnvironment::clearBuildLog() {
    m_buildLogDepth = 0;
}

void HeadlessScriptEnvironment::beginBuildLogGroup(const QString &name) {
    m_output(QString(m_buildLogDepth * 2, QLatin1Char(' ')) + name + QLatin1Char('\n'));
    ++m_buildLogDepth;
}

void HeadlessScriptEnvironment::endBuildLogGroup() {
    if (m_buildLogDepth > 0)
        --m_buildLogDepth;
}

void HeadlessScriptEnvironment::outputBuildLog(BuildLogKind kind, const QString &text) {
    static const char *const kPrefixes[] = {"", "warning: ", "error: "};
    m_output(QString(m_buildLogDepth * 2, QLatin1Char(' ')) + QLatin1String(kPrefixes[kind]) +
             text + QLatin1Char('\n'));
}

ProjectElement *HeadlessScriptEnvironment::solution() const {
    return m_projects ? m_projects->solution() : nullptr;
}

bool HeadlessScriptEnvironment::openSolution(const QString &fileName) {
    // A fresh project system for each load: the open solution stays until the new one (the
    // same file again on a reload) has loaded.
    auto projects = std::make_unique<GnuProjectSystem>(m_macros);
    projects->setWarningHandler([this](const std::string &message) {
        m_messages(QStringLiteral("warning: ") + QString::fromStdString(message) +
                   QLatin1Char('\n'));
    });
    ProjectElement *root = nullptr;
    try {
        root = projects->loadSolution(fileName.toStdString());
    } catch (const SolutionLoadError &error) {
        showMessage(Error, QStringLiteral("Open Solution"), QString::fromStdString(error.what()));
        return false;
    }
    m_projects = std::move(projects);
    m_solutionFile = QFileInfo(fileName).absoluteFilePath();
    m_activeProject.clear();
    for (const ProjectElement *node : NodePath::listing(*root)) {
        if (node->kind() == PropertyNode::Kind::Project) {
            m_activeProject = QString::fromStdString(node->displayName());
            break;
        }
    }
    // The configuration chosen before stays when the new solution has it.
    if (!setBuildConfiguration(m_configuration)) {
        std::vector<std::string> names = Configurations::list(*root, Configurations::Public);
        m_configuration = names.empty() ? QString() : QString::fromStdString(names.front());
    }
    return true;
}

QString HeadlessScriptEnvironment::solutionAttribute(const QString &name) {
    ProjectElement *root = solution();
    return root ? QString::fromStdString(root->attributeOr(name.toStdString())) : QString();
}

bool HeadlessScriptEnvironment::setSolutionAttribute(const QString &name, const QString &value) {
    ProjectElement *root = solution();
    if (!root || name.isEmpty())
        return false;
    root->setAttribute(name.toStdString(), XMLValue(value.toStdString()));
    root->setModified(true);
    return true;
}

ProjectElement *HeadlessScriptEnvironment::findProject(const QString &name) const {
    ProjectElement *root = solution();
    if (!root || name.isEmpty())
        return nullptr;
    for (ProjectElement *node : NodePath::listing(*root))
        if (node->kind() == PropertyNode::Kind::Project &&
            node->displayName() == name.toStdString())
            return node;
    return nullptr;
}

bool HeadlessScriptEnvironment::setActiveProject(const QString &name) {
    if (!findProject(name))
        return false;
    m_activeProject = name;
    return true;
}

bool HeadlessScriptEnvironment::setBuildConfiguration(const QString &name) {
    ProjectElement *root = solution();
    if (!root || name.isEmpty() || name == QLatin1String(PropertyResolver::kCommon))
        return false;
    std::vector<std::string> names = Configurations::list(*root, Configurations::All);
    if (std::find(names.begin(), names.end(), name.toStdString()) == names.end())
        return false;
    m_configuration = name;
    return true;
}

QStringList HeadlessScriptEnvironment::batchBuildConfigurations(const QString &project) {
    const ProjectElement *node = project.isEmpty() ? solution() : findProject(project);
    if (!node)
        return {};
    std::string list =
        PropertyResolver::resolve(*node, "batch_build_configurations", PropertyType::StringList, "",
                                  m_configuration.toStdString());
    // Lists add up from the solution down: each configuration is built once.
    QStringList names;
    for (const std::string &name : splitEscapedList(list))
        if (!name.empty() && !names.contains(QString::fromStdString(name)))
            names << QString::fromStdString(name);
    return names;
}

BuildResult HeadlessScriptEnvironment::build(const BuildRequest &request) {
    ScriptBuildLog log(*this);
    if (!solution()) {
        log.error(QStringLiteral("no solution is open"));
        log.finished(BuildFailed);
        return BuildFailed;
    }
    const NodeMacros macros(m_registry, m_macros, m_projects.get());
    BuildEngine engine(*solution(), m_registry, macros);
    // The build blocks the script's thread: a stop request is watched from another, and
    // ends the build as the Stop action does, its tools killed.
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watcher([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; }))
            if (stopRequested()) {
                engine.cancel();
                return;
            }
    });
    const BuildResult result = engine.run(request, log);
    {
        std::lock_guard<std::mutex> guard(mutex);
        done = true;
    }
    finished.notify_one();
    watcher.join();
    return result;
}
