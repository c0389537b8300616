#include "build/stageplanner.h"

#include "build/buildtree.h"
#include "build/nodevalues.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <map>

using Kind = PropertyNode::Kind;

namespace {

constexpr const char *kShell = "/bin/sh";
// Expanded into one word per item when a word of the command is nothing but the reference.
constexpr const char *kCombiningInputs = "CombiningRelInputPaths";

// The quoting a macro reference stands in, in a command run by the shell.
enum class Quoting { None, Single, Double };

// One past the ")" that closes the reference starting with "$(" at `at`, or npos.
std::size_t referenceEnd(std::string_view text, std::size_t at) {
    int depth = 0;
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '(')
            ++depth;
        else if (text[i] == ')' && --depth == 0)
            return i + 1;
    }
    return std::string_view::npos;
}

// Turns a command property into the words of a child process. Macro values never change how
// the command is read: a file name with blanks, quotes or ";" stays one word.
//
// A command of plain words and double quotes is split first and each word expanded after, so
// it runs without a shell. Anything a shell would read differently (pipes, redirections,
// "&&", single quotes, backslashes, "$VAR", globs, "NAME=value cmd") makes it run through
// /bin/sh -c, with every macro value quoted for the place it stands in.
class CommandExpansion {
public:
    CommandExpansion(const NodeValues &values, QStringList combiningInputs = {})
        : m_values(values), m_combiningInputs(std::move(combiningInputs)) {}

    QStringList arguments(const std::string &command) const {
        const QStringList split = QProcess::splitCommand(QString::fromStdString(command));
        // "NAME=value program" sets a variable for the program: only a shell does that.
        if (needsShell(command) || (!split.isEmpty() && split.front().contains(u'=')))
            return {QString::fromLatin1(kShell), QStringLiteral("-c"), script(command)};
        QStringList words;
        for (const QString &word : split) {
            if (const QStringList *items = list(word.toStdString())) {
                words << *items;
            } else if (QString expanded = m_values.expand(word.toStdString());
                       !expanded.isEmpty()) {
                words << expanded;
            }
        }
        return words;
    }

    static bool needsShell(std::string_view text) {
        bool quoted = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '$') {
                const std::size_t end = i + 1 < text.size() && text[i + 1] == '('
                                            ? referenceEnd(text, i)
                                            : std::string_view::npos;
                // A reference whose default holds a blank or quote would be cut by the split.
                if (end == std::string_view::npos ||
                    text.substr(i, end - i).find_first_of(" \t\"") != std::string_view::npos)
                    return true;
                i = end - 1;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == '`' || c == '\\') {
                return true;
            } else if (!quoted &&
                       std::string_view("|&;<>()'*?[~#\n").find(c) != std::string_view::npos) {
                return true;
            }
        }
        return quoted;
    }

private:
    // The items of a list macro when `word` is exactly a reference to one.
    const QStringList *list(std::string_view word) const {
        const std::string whole = std::string("$(") + kCombiningInputs + ")";
        return word == whole && !m_combiningInputs.isEmpty() ? &m_combiningInputs : nullptr;
    }

    QString script(std::string_view command) const {
        Quoting state = Quoting::None;
        QString result;
        std::size_t copied = 0;
        auto copyUpTo = [&](std::size_t end) {
            result += QString::fromUtf8(command.data() + copied, qsizetype(end - copied));
            copied = end;
        };
        for (std::size_t i = 0; i < command.size(); ++i) {
            const char c = command[i];
            if (c == '\\' && state != Quoting::Single) {
                ++i; // the next character is the shell's, not a macro's
            } else if (c == '\'' && state != Quoting::Double) {
                state = state == Quoting::Single ? Quoting::None : Quoting::Single;
            } else if (c == '"' && state != Quoting::Single) {
                state = state == Quoting::Double ? Quoting::None : Quoting::Double;
            } else if (c == '$' && i + 1 < command.size() && command[i + 1] == '$') {
                // "$$" hands the shell a "$" of its own, as in "$$HOME".
                copyUpTo(i + 1);
                copied = ++i + 1;
            } else if (c == '$' && i + 1 < command.size() && command[i + 1] == '(') {
                const std::size_t end = referenceEnd(command, i);
                if (end == std::string_view::npos)
                    break;
                copyUpTo(i);
                const std::string_view reference = command.substr(i, end - i);
                if (const QStringList *items = list(reference)) {
                    result += quoted(*items, state);
                } else {
                    const QString value = m_values.expand(std::string(reference));
                    result += value.isEmpty() ? value : quoted({value}, state);
                }
                copied = end;
                i = end - 1;
            }
        }
        copyUpTo(command.size());
        return result;
    }

    // Values spliced into the script as literal text for the quoting around them.
    static QString quoted(const QStringList &values, Quoting state) {
        if (state == Quoting::None) { // one quoted word per value
            QStringList words;
            for (const QString &value : values)
                words << StepPlan::shellQuote(value);
            return words.join(u' ');
        }
        QString text = values.join(u' ');
        if (state == Quoting::Single) // end the quotes, give the quote, open them again
            return text.replace(u'\'', QStringLiteral("'\\''"));
        QString escaped;
        for (QChar c : text) {
            if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
                escaped += u'\\';
            escaped += c;
        }
        return escaped;
    }

    const NodeValues &m_values;
    QStringList m_combiningInputs;
};

// The file nodes below `node` in document order; with `registry`, those a build takes only
// (an excluded folder or project takes its whole subtree out).
std::vector<const ProjectElement *> fileNodes(const ProjectElement &node,
                                              const std::string &configuration,
                                              const PropertyRegistry *registry) {
    std::vector<const ProjectElement *> files;
    walkBuildTree(node, [&](const ProjectElement &at) {
        if (at.kind() != Kind::Solution && registry &&
            isExcludedFromBuild(*registry, at, configuration))
            return false;
        if (at.kind() == Kind::File) {
            if (!at.attributeOr("file_name").empty())
                files.push_back(&at);
            return false;
        }
        return true;
    });
    return files;
}

bool excludedWithAncestors(const PropertyRegistry &registry, const ProjectElement &node,
                           const std::string &configuration) {
    for (const ProjectElement *at = &node; at && at->kind() != Kind::Solution;
         at = at->parentElement())
        if (isExcludedFromBuild(registry, *at, configuration))
            return true;
    return false;
}

// `chmod` words making `path` read-only ("Yes") or writable ("No"); nothing for "Don't".
std::vector<StepPlan> permissionSteps(const std::string &setting, const QString &path,
                                      const QString &name) {
    if (setting != "Yes" && setting != "No")
        return {};
    StepPlan step;
    step.action = BuildAction::UserCommand;
    const bool readOnly = setting == "Yes";
    step.description = QStringLiteral("Making ") + name +
                       (readOnly ? QStringLiteral(" read-only") : QStringLiteral(" writable"));
    step.arguments = {QStringLiteral("chmod"),
                      readOnly ? QStringLiteral("a-w") : QStringLiteral("u+w"),
                      QStringLiteral("--"), path};
    return {step};
}

// A read-only output left by the last build must not make the command that rewrites it fail.
std::vector<StepPlan> unlockSteps(const std::string &setting, const QString &path,
                                  const QString &name) {
    if (setting != "Yes")
        return {};
    StepPlan step;
    step.action = BuildAction::UserCommand;
    step.description = QStringLiteral("Making ") + name + QStringLiteral(" writable");
    step.arguments = {QString::fromLatin1(kShell), QStringLiteral("-c"),
                      QStringLiteral("test ! -e \"$1\" || chmod u+w -- \"$1\""),
                      QStringLiteral("sh"), path};
    return {step};
}

QString outputRefusal(const QString &path) {
    return QStringLiteral("Output file ") + path +
           QStringLiteral(" is a source file of the project");
}

} // namespace

StagePlanner::StagePlanner(const PropertyRegistry &registry, const NodeMacros &macros)
    : m_registry(registry), m_macros(macros) {}

bool StagePlanner::handles(const std::string &projectType) {
    return projectType == "Staging" || projectType == "Combining" ||
           projectType == "Externally Built Executable" ||
           projectType == "Externally Built Library" ||
           projectType == "Externally Built Object file";
}

QSet<QString> StagePlanner::solutionSources(const ProjectElement &solution,
                                            const NodeMacros &macros,
                                            const std::string &configuration) {
    QSet<QString> sources;
    std::map<const ProjectElement *, QDir> projectDirs;
    for (const ProjectElement *file : fileNodes(solution, configuration, nullptr)) {
        const ProjectElement *owner = file->nearest(Kind::Project);
        auto dir = projectDirs.find(owner);
        if (dir == projectDirs.end())
            dir = projectDirs
                      .emplace(owner, QDir(QString::fromStdString(
                                          macros.projectDirectory(*file, configuration))))
                      .first;
        const QString name =
            QString::fromStdString(macros.expander().globalExpand(file->attributeOr("file_name")));
        const QString path = QDir::cleanPath(dir->second.absoluteFilePath(name));
        sources.insert(path);
        if (const QString real = QFileInfo(path).canonicalFilePath(); !real.isEmpty())
            sources.insert(real);
    }
    return sources;
}

bool StagePlanner::isSource(const QSet<QString> &sources, const QString &path) {
    if (path.isEmpty())
        return false;
    if (sources.contains(QDir::cleanPath(path)))
        return true;
    const QString real = QFileInfo(path).canonicalFilePath();
    return !real.isEmpty() && sources.contains(real);
}

StagePlan StagePlanner::plan(const ProjectElement &project,
                             const std::string &configuration) const {
    StagePlan result;
    NodeValues values(m_registry, m_macros, project, configuration);
    const std::string type = values.raw("project_type");
    if (!handles(type) || excludedWithAncestors(m_registry, project, configuration))
        return result;
    const QString projectDir = values.macro("ProjectDir");

    if (type.starts_with("Externally Built")) {
        const std::string command = values.raw("external_build_command");
        if (command.empty())
            return result;
        StepPlan step;
        step.action = BuildAction::UserCommand;
        step.description = QStringLiteral("Running Build command ") + values.expand(command);
        step.arguments = CommandExpansion(values).arguments(command);
        step.workingDirectory = projectDir;
        result.steps.push_back(std::move(step));
        return result;
    }

    const std::vector<const ProjectElement *> files =
        fileNodes(project, configuration, &m_registry);
    QSet<QString> sources;
    bool sourcesKnown = false;
    auto landsOnSource = [&](const QString &path) {
        if (!sourcesKnown && project.solution())
            sources = solutionSources(*project.solution(), m_macros, configuration);
        sourcesKnown = true;
        return isSource(sources, path);
    };

    if (type == "Staging") {
        // Steps run in parallel: two copies to one file would leave either, or a mix of both.
        QSet<QString> staged;
        for (const ProjectElement *file : files) {
            NodeValues fileValues(m_registry, m_macros, *file, configuration);
            const std::string command = fileValues.raw("stage_command");
            if (command.empty())
                continue;
            const QString output = fileValues.path("stage_output_filepath");
            if (landsOnSource(output)) {
                result.errors << outputRefusal(output);
                continue;
            }
            if (!output.isEmpty() && staged.contains(output)) {
                result.errors << QStringLiteral("Output file ") + output +
                                     QStringLiteral(" is staged from more than one file");
                continue;
            }
            staged.insert(output);
            fileValues.set("StageOutputFilePath", output);
            const QString name = fileValues.macro("InputFileName");
            const std::string readOnly = fileValues.raw("stage_set_readonly");
            StepPlan step;
            step.action = BuildAction::Stage;
            step.description = QStringLiteral("Copying ") + name;
            step.arguments = CommandExpansion(fileValues).arguments(command);
            step.workingDirectory = fileValues.path("stage_command_wd");
            if (step.workingDirectory.isEmpty())
                step.workingDirectory = projectDir;
            step.inputs << fileValues.macro("InputPath");
            if (!output.isEmpty()) {
                step.outputs << output;
                step.before = unlockSteps(readOnly, output, name);
                step.after = permissionSteps(readOnly, output, name);
            }
            result.steps.push_back(std::move(step));
        }
        const std::string post = values.raw("stage_post_build_command");
        if (!post.empty()) {
            StepPlan step;
            step.action = BuildAction::UserCommand;
            step.description = QStringLiteral("Post-stage command");
            step.arguments = CommandExpansion(values).arguments(post);
            step.workingDirectory = values.path("stage_post_build_command_wd");
            if (step.workingDirectory.isEmpty())
                step.workingDirectory = projectDir;
            result.finishing.push_back(std::move(step));
        }
        return result;
    }

    // Combining: one command over every file.
    const std::string command = values.raw("combine_command");
    if (command.empty())
        return result;
    QStringList inputs;
    QStringList relativeInputs;
    for (const ProjectElement *file : files) {
        const MacroMap fileMacros = m_macros.build(*file, configuration);
        inputs << QString::fromStdString(fileMacros.value("InputPath"));
        relativeInputs << QString::fromStdString(fileMacros.value("RelInputPath"));
    }
    const QString output = values.path("combine_output_filepath");
    if (landsOnSource(output)) {
        result.errors << outputRefusal(output);
        return result;
    }
    values.set("CombiningOutputFilePath", output);
    values.set(kCombiningInputs, relativeInputs.join(u' '));
    const QString name = values.macro("ProjectName");
    const std::string readOnly = values.raw("combine_set_readonly");
    StepPlan step;
    step.action = BuildAction::Combine;
    step.description = QStringLiteral("Combining ") + name;
    step.arguments = CommandExpansion(values, relativeInputs).arguments(command);
    step.workingDirectory = values.path("combine_command_wd");
    if (step.workingDirectory.isEmpty())
        step.workingDirectory = projectDir;
    step.inputs = inputs;
    if (!output.isEmpty()) {
        step.outputs << output;
        const QString outputName = QFileInfo(output).fileName();
        step.before = unlockSteps(readOnly, output, outputName);
        step.after = permissionSteps(readOnly, output, outputName);
    }
    result.steps.push_back(std::move(step));
    return result;
}

StagePlan StagePlanner::cleanPlan(const ProjectElement &project,
                                  const std::string &configuration) const {
    StagePlan result;
    const NodeValues values(m_registry, m_macros, project, configuration);
    if (!values.raw("project_type").starts_with("Externally Built"))
        return result;
    const std::string command = values.raw("external_clean_command");
    if (command.empty())
        return result;
    StepPlan step;
    step.action = BuildAction::Clean;
    step.description = QStringLiteral("Running Clean command ") + values.expand(command);
    step.arguments = CommandExpansion(values).arguments(command);
    step.workingDirectory = values.macro("ProjectDir");
    result.steps.push_back(std::move(step));
    return result;
}
