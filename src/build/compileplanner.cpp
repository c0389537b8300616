#include "build/compileplanner.h"

#include "core/namevaluelist.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

using Kind = PropertyNode::Kind;

// The properties of one node and configuration as a build reads them, with the node's macros.
class CompilePlanner::NodeValues {
public:
    NodeValues(const PropertyRegistry &registry, const NodeMacros &macros,
               const ProjectElement &node, const std::string &configuration)
        : m_registry(registry), m_macros(macros), m_resolver(node, configuration),
          m_map(macros.build(m_resolver)) {}

    std::string raw(std::string_view name) const {
        if (const PropertyClass *definition =
                m_registry.findPropertyClass(&m_resolver.node(), name))
            return m_resolver.resolve(*definition);
        return m_resolver.resolve(name, PropertyType::String, "");
    }
    QString text(std::string_view name) const { return expand(m_map, raw(name)); }
    bool yes(std::string_view name) const { return raw(name) == "Yes"; }
    // Split before expanding, so that a macro whose value holds ";" stays one item.
    QStringList list(std::string_view name) const {
        QStringList items;
        for (const std::string &item : splitEscapedList(raw(name)))
            if (QString expanded = expand(m_map, item); !expanded.isEmpty())
                items << expanded;
        return items;
    }
    QString macro(std::string_view name) const { return QString::fromStdString(m_map.value(name)); }
    const MacroMap &map() const { return m_map; }
    QString expand(const MacroMap &map, const std::string &text) const {
        return QString::fromStdString(m_macros.expand(map, text));
    }

    // The input-file macros of a file the node stands for: the unity file of a folder.
    void setInput(const QString &path) {
        const QFileInfo info(path);
        QString relative = QDir(macro("ProjectDir")).relativeFilePath(path);
        if (relative == QLatin1String("..") || relative.startsWith(QLatin1String("../")) ||
            QDir::isAbsolutePath(relative))
            relative = path;
        const QString relativeDir = QFileInfo(relative).path();
        set("InputDir", info.absolutePath());
        set("InputFileName", info.fileName());
        set("InputName", info.completeBaseName());
        set("InputExt", info.suffix());
        set("InputPath", path);
        set("RelInputPath", relative);
        set("RelInputDir", relativeDir.isEmpty() ? QStringLiteral(".") : relativeDir);
    }

private:
    void set(const char *name, const QString &value) { m_map.set(name, value.toStdString()); }

    const PropertyRegistry &m_registry;
    const NodeMacros &m_macros;
    PropertyResolver m_resolver;
    MacroMap m_map;
};

namespace {

QString anchored(const QString &directory, const QString &path) {
    return QDir::cleanPath(QDir(directory).absoluteFilePath(path));
}

QStringList passedOn(const QString &prefix, const QStringList &options) {
    QStringList words;
    for (const QString &option : options)
        words << prefix + option;
    return words;
}

// A list macro: the words separated by blanks, each quoted for the command splitter when it
// holds a blank or a quote, so that "-I/my dir" stays one word of the command.
QString joinedWords(const QStringList &words) {
    QStringList quoted;
    for (const QString &word : words) {
        if (std::any_of(word.begin(), word.end(),
                        [](QChar c) { return c.isSpace() || c == u'"'; })) {
            QString text = word;
            text.replace(u'"', QStringLiteral("\"\"\""));
            quoted << u'"' + text + u'"';
        } else {
            quoted << word;
        }
    }
    return quoted.join(u' ');
}

// The words of an expanded command line; blanks separate words, double quotes group them.
QStringList commandWords(const QString &command) {
    return QProcess::splitCommand(command);
}

// A user command run with a compile: nothing when the command is empty.
std::optional<StepPlan> userCommand(const QString &command, const QString &workingDirectory,
                                    const QString &logPrefix) {
    const QStringList words = commandWords(command);
    if (words.isEmpty())
        return std::nullopt;
    StepPlan plan;
    plan.action = BuildAction::UserCommand;
    plan.description = logPrefix + command.trimmed();
    plan.arguments = words;
    plan.workingDirectory = workingDirectory;
    return plan;
}

// Whether `path` can stand between the quotes of an #include line.
bool includable(const QString &path) {
    return std::none_of(path.begin(), path.end(), [](QChar c) {
        return c == u'"' || c == u'\\' || c == u'\n' || c == u'\r';
    });
}

// Calls `visit` on `node` and the project elements below it, in document order; `visit`
// returns whether to go into the element's children. An explicit stack: trees may nest
// folders deeply.
template <typename Visit> void walk(const ProjectElement &node, Visit visit) {
    std::vector<const ProjectElement *> pending{&node};
    std::vector<const ProjectElement *> children;
    while (!pending.empty()) {
        const ProjectElement *at = pending.back();
        pending.pop_back();
        if (!visit(*at))
            continue;
        children.clear();
        for (const XMLNode *child = at->firstChild(); child; child = child->nextSibling())
            if (const ProjectElement *element = ProjectElement::from(child))
                if (element->kind() != Kind::Configuration &&
                    element->kind() != ProjectElement::Unknown)
                    children.push_back(element);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
}

} // namespace

CompilePlanner::CompilePlanner(const PropertyRegistry &registry, const NodeMacros &macros)
    : m_registry(registry), m_macros(macros) {}
BuildAction CompilePlanner::actionFor(std::string_view fileType, std::string_view fileName,
                                      bool cFilesAreCpp) {
    if (fileType == "Assembly")
        return BuildAction::Assemble;
    if (fileType != "Default" && !fileType.empty())
        return BuildAction::None;
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return BuildAction::None;
    const std::string_view extension = fileName.substr(dot + 1);
    if (extension == "c")
        return cFilesAreCpp ? BuildAction::CompileCpp : BuildAction::CompileC;
    for (std::string_view cpp : {"cpp", "cc", "cxx", "c++", "C"})
        if (extension == cpp)
            return BuildAction::CompileCpp;
    for (std::string_view assembly : {"s", "S", "asm"})
        if (extension == assembly)
            return BuildAction::Assemble;
    return BuildAction::None;
}
bool CompilePlanner::excluded(const ProjectElement &node, const std::string &configuration) const {
    const PropertyClass *definition =
        m_registry.findPropertyClass(&node, "build_exclude_from_build");
    const std::string value =
        definition ? PropertyResolver::resolve(node, *definition, configuration)
                   : PropertyResolver::resolve(node, "build_exclude_from_build",
                                               PropertyType::Boolean, "", configuration);
    return value == "Yes";
}

std::optional<StepPlan> CompilePlanner::plan(const ProjectElement &file,
                                             const std::string &configuration) const {
    if (file.kind() != Kind::File || file.attributeOr("file_name").empty())
        return std::nullopt;
    for (const ProjectElement *at = &file; at && at->kind() != Kind::Solution;
         at = at->parentElement())
        if (excluded(*at, configuration))
            return std::nullopt;

    const NodeValues values(m_registry, m_macros, file, configuration);
    const BuildAction action = actionFor(values.raw("file_type"), values.map().value("InputPath"),
                                         values.yes("c_files_are_cpp"));
    if (action == BuildAction::None)
        return std::nullopt;
    return step(values, action);
}

StepPlan CompilePlanner::step(const NodeValues &values, BuildAction action) const {
    const bool assemble = action == BuildAction::Assemble;
    const bool cpp = action == BuildAction::CompileCpp;
    const QString projectDir = values.macro("ProjectDir");
    const QString source = values.macro("InputPath");
    const QString object = anchored(projectDir, values.text("build_object_file_name"));
    // Without a name of its own the dependency file lies beside the object, so that header
    // changes are still seen.
    QString dependencies = values.text("build_dependency_file_name");
    dependencies =
        dependencies.isEmpty() ? object + QStringLiteral(".d") : anchored(projectDir, dependencies);
    const QStringList defines =
        passedOn(QStringLiteral("-D"), values.list("c_preprocessor_definitions"));
    const QStringList undefines =
        passedOn(QStringLiteral("-U"), values.list("c_preprocessor_undefinitions"));
    const QStringList includes =
        passedOn(QStringLiteral("-I"), values.list("c_user_include_directories") +
                                           values.list("c_system_include_directories"));
    const QStringList common = assemble ? QStringList() : values.list("c_additional_options");
    const QStringList own = values.list(assemble ? "asm_additional_options"
                                        : cpp    ? "cpp_only_additional_options"
                                                 : "c_only_additional_options");

    StepPlan plan;
    plan.action = action;
    plan.description = (assemble ? QStringLiteral("Assembling ") : QStringLiteral("Compiling ")) +
                       values.macro("InputFileName");
    plan.workingDirectory = projectDir;
    plan.inputs << source;
    plan.outputs << object;
    plan.dependencyFile = dependencies;
    plan.launcher = commandWords(values.text("build_compiler_launcher"));

    // The project's own command, when it has one that says anything, with the step's macros.
    MacroMap stepMacros = values.map();
    stepMacros.set("TargetPath", object.toStdString());
    stepMacros.set("RelTargetPath", QDir(projectDir).relativeFilePath(object).toStdString());
    stepMacros.set("DependencyPath", dependencies.toStdString());
    stepMacros.set("RelDependencyPath",
                   QDir(projectDir).relativeFilePath(dependencies).toStdString());
    stepMacros.set("Defines", joinedWords(defines).toStdString());
    stepMacros.set("Undefines", joinedWords(undefines).toStdString());
    stepMacros.set("Includes", joinedWords(includes).toStdString());
    if (assemble) {
        stepMacros.set("AsmOptions", joinedWords(own).toStdString());
    } else {
        stepMacros.set("COptions", joinedWords(common).toStdString());
        stepMacros.set(cpp ? "CppOnlyOptions" : "COnlyOptions", joinedWords(own).toStdString());
    }
    plan.arguments =
        commandWords(values.expand(stepMacros, values.raw(assemble ? "external_assemble_command"
                                                          : cpp    ? "external_cpp_compile_command"
                                                                : "external_c_compile_command")));

    if (plan.arguments.isEmpty()) {
        QStringList &words = plan.arguments;
        words << values.expand(values.map(), kDriver);
        words << (assemble ? QStringLiteral("-xasm")
                  : cpp    ? QStringLiteral("-xc++")
                           : QStringLiteral("-xc"));
        words << defines << undefines << includes;
        if (values.yes("build_treat_warnings_as_errors"))
            words << QStringLiteral("-we");
        if (assemble) {
            words << passedOn(QStringLiteral("-Wa,"), own);
        } else {
            if (cpp && values.yes("cpp_enable_exceptions"))
                words << QStringLiteral("-exceptions");
            if (cpp && values.yes("cpp_enable_rtti"))
                words << QStringLiteral("-rtti");
            words << passedOn(QStringLiteral("-Wc,"), common)
                  << passedOn(QStringLiteral("-Wc,"), own);
        }
        words << QStringLiteral("-depend") << dependencies;
        words << QStringLiteral("-c") << source << QStringLiteral("-o") << object;
    }

    auto directory = [&](std::string_view property) {
        const QString text = values.text(property);
        return text.isEmpty() ? projectDir : anchored(projectDir, text);
    };
    if (std::optional<StepPlan> pre = userCommand(values.text("compile_pre_build_command"),
                                                  directory("compile_pre_build_command_wd"),
                                                  QStringLiteral("Pre-compile command "))) {
        if (const QString output = values.text("compile_pre_build_command_output_file_name");
            !output.isEmpty())
            pre->outputs << anchored(projectDir, output);
        plan.before.push_back(std::move(*pre));
    }
    // The analyzer looks at a source only when it compiled, and after it.
    if (!assemble && values.yes("analyze_after_compile")) {
        MacroMap analyze = values.map();
        analyze.set("DEFINES", joinedWords(defines).toStdString());
        analyze.set("INCLUDES", joinedWords(includes).toStdString());
        // One word, as the analyzer takes its checks: "-checks=$(CLANGTIDY)".
        analyze.set("CLANGTIDY", values.list(cpp ? "clang_tidy_checks_cpp" : "clang_tidy_checks_c")
                                     .join(u',')
                                     .toStdString());
        if (const QStringList words =
                commandWords(values.expand(analyze, values.raw("analyze_command")));
            !words.isEmpty()) {
            StepPlan check;
            check.action = BuildAction::Analyze;
            check.description = QStringLiteral("Analyzing ") + values.macro("InputFileName");
            check.arguments = words + values.list(cpp ? "analyze_command_cpp_options"
                                                      : "analyze_command_c_options");
            check.workingDirectory = projectDir;
            check.inputs << source;
            plan.after.push_back(std::move(check));
        }
    }
    if (std::optional<StepPlan> post = userCommand(values.text("compile_post_build_command"),
                                                   directory("compile_post_build_command_wd"),
                                                   QStringLiteral("Post-compile command ")))
        plan.after.push_back(std::move(*post));
    return plan;
}

bool CompilePlanner::unityPlans(const ProjectElement &folder, const std::string &configuration,
                                std::vector<QString> &unityFiles,
                                std::vector<StepPlan> &result) const {
    NodeValues values(m_registry, m_macros, folder, configuration);
    const QString name = values.text("unity_build_file_name");
    if (name.isEmpty())
        return false;
    // Beside the objects: the unity file is as much a product of the build as they are, and
    // each configuration keeps its own.
    const QString intDir = values.macro("IntDir");
    const QString path = anchored(intDir.isEmpty() ? values.macro("ProjectDir") : intDir, name);
    const BuildAction action =
        actionFor("Default", path.toStdString(), values.yes("c_files_are_cpp"));
    if ((action != BuildAction::CompileC && action != BuildAction::CompileCpp) ||
        std::find(unityFiles.begin(), unityFiles.end(), path) != unityFiles.end())
        return false;
    unityFiles.push_back(path);

    struct Filter {
        QRegularExpression pattern;
        bool wholePath;
    };
    std::vector<Filter> filters;
    for (const QString &wildcard : values.list("unity_build_exclude_filter"))
        filters.push_back(
            {QRegularExpression(QRegularExpression::wildcardToRegularExpression(wildcard)),
             wildcard.contains(u'/')});
    const QDir projectDir(values.macro("ProjectDir"));
    auto filtered = [&](const QString &source) {
        const QString fileName = QFileInfo(source).fileName();
        const QString relative = projectDir.relativeFilePath(source);
        return std::any_of(filters.begin(), filters.end(), [&](const Filter &filter) {
            return filter.pattern.match(filter.wholePath ? relative : fileName).hasMatch();
        });
    };

    QByteArray content;
    QStringList members;
    std::vector<StepPlan> alone;
    walk(folder, [&](const ProjectElement &at) {
        if (at.kind() != Kind::File)
            return !excluded(at, configuration);
        if (std::optional<StepPlan> filePlan = plan(at, configuration)) {
            const QString &source = filePlan->inputs.first();
            if (filePlan->action == action && includable(source) && !filtered(source)) {
                members << source;
                content += "#include \"" + source.toUtf8() + "\"\n";
            } else {
                alone.push_back(std::move(*filePlan));
            }
        }
        return false;
    });

    if (!members.isEmpty()) {
        values.setInput(path);
        StepPlan unity = step(values, action);
        unity.description = QStringLiteral("Compiling folder ") +
                            QString::fromStdString(folder.displayName()) +
                            QStringLiteral(" in unity mode as ") + QFileInfo(path).fileName();
        // The members come after the unity file: the source stays first.
        unity.inputs << members;
        unity.generatedFiles.push_back({path, content, QString()});
        result.push_back(std::move(unity));
    }
    std::move(alone.begin(), alone.end(), std::back_inserter(result));
    return true;
}

std::vector<StepPlan> CompilePlanner::plans(const ProjectElement &node,
                                            const std::string &configuration) const {
    std::vector<StepPlan> result;
    std::vector<QString> unityFiles;
    walk(node, [&](const ProjectElement &at) {
        if (at.kind() == Kind::File) {
            if (std::optional<StepPlan> filePlan = plan(at, configuration))
                result.push_back(std::move(*filePlan));
            return false;
        }
        if (at.kind() != Kind::Solution && excluded(at, configuration))
            return false;
        return at.kind() != Kind::Folder || m_unityBuildDisabled ||
               !unityPlans(at, configuration, unityFiles, result);
    });
    return result;
}
