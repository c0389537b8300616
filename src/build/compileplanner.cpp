#include "build/compileplanner.h"

#include "build/buildtree.h"
#include "build/commandexpansion.h"
#include "build/commandwords.h"
#include "build/nodevalues.h"
#include "project/macroexpander.h"
#include "project/macromap.h"
#include "project/nodemacros.h"
#include "project/projectelement.h"
#include "project/propertyregistry.h"
#include "project/propertyresolver.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <utility>

using Kind = PropertyNode::Kind;

namespace {

// Whether `path` can stand between the quotes of an #include line.
bool includable(const QString &path) {
    return std::none_of(path.begin(), path.end(), [](QChar c) {
        return c == u'"' || c == u'\\' || c == u'\n' || c == u'\r';
    });
}

// What says where a compile reads and writes, read once for its step and the steps around it.
struct CompileValues {
    CompileValues(const NodeValues &values, BuildAction action)
        : assemble(action == BuildAction::Assemble), cpp(action == BuildAction::CompileCpp),
          projectDir(values.macro("ProjectDir")), source(values.macro("InputPath")),
          object(anchored(projectDir, values.text("build_object_file_name"))),
          dependencies(values.text("build_dependency_file_name")) {
        // Without a name of its own the dependency file lies beside the object, so that
        // header changes are still seen.
        dependencies = dependencies.isEmpty() ? object + QStringLiteral(".d")
                                              : anchored(projectDir, dependencies);
    }

    bool assemble;
    bool cpp;
    QString projectDir; // also the working directory of the step
    QString source;
    QString object;
    QString dependencies;
};

// The options a compile passes on, needed only for the command of a step that runs.
struct CompileOptions {
    CompileOptions(const NodeValues &values, const CompileValues &compile)
        : defines(passedOn(QStringLiteral("-D"), values.list("c_preprocessor_definitions"))),
          undefines(passedOn(QStringLiteral("-U"), values.list("c_preprocessor_undefinitions"))),
          includes(passedOn(QStringLiteral("-I"), values.list("c_user_include_directories") +
                                                      values.list("c_system_include_directories"))),
          common(compile.assemble ? QStringList() : values.list("c_additional_options")),
          own(values.list(compile.assemble ? "asm_additional_options"
                          : compile.cpp    ? "cpp_only_additional_options"
                                           : "c_only_additional_options")) {}

    QStringList defines;   // "-DNAME" words
    QStringList undefines; // "-UNAME"
    QStringList includes;  // "-IDIR", user directories first
    QStringList common;    // options of C and C++
    QStringList own;       // options of the language or of the assembler only
};

// The project's own compile or assemble command with the step's build macros; empty when it
// has none, or one that expands to nothing.
QStringList externalCommand(const NodeValues &values, const CompileValues &compile,
                            const CompileOptions &options) {
    const std::string command = values.raw(compile.assemble ? "external_assemble_command"
                                           : compile.cpp    ? "external_cpp_compile_command"
                                                            : "external_c_compile_command");
    if (command.empty())
        return {};
    MacroMap macros;
    auto set = [&macros](const char *name, const QString &value) {
        macros.set(name, value.toStdString());
    };
    set("TargetPath", compile.object);
    set("RelTargetPath", relativeFilePath(compile.projectDir, compile.object));
    set("DependencyPath", compile.dependencies);
    set("RelDependencyPath", relativeFilePath(compile.projectDir, compile.dependencies));
    set("Defines", joinedWords(options.defines));
    set("Undefines", joinedWords(options.undefines));
    set("Includes", joinedWords(options.includes));
    if (compile.assemble) {
        set("AsmOptions", joinedWords(options.own));
    } else {
        set("COptions", joinedWords(options.common));
        set(compile.cpp ? "CppOnlyOptions" : "COnlyOptions", joinedWords(options.own));
    }
    return commandWords(values.expandForStep(macros, command));
}

QStringList builtInCommand(const NodeValues &values, const CompileValues &compile,
                           const CompileOptions &options) {
    QStringList words;
    words << values.expand(CompilePlanner::kDriver);
    words << (compile.assemble ? QStringLiteral("-xasm")
              : compile.cpp    ? QStringLiteral("-xc++")
                               : QStringLiteral("-xc"));
    words << options.defines << options.undefines << options.includes;
    if (values.yes("build_treat_warnings_as_errors"))
        words << QStringLiteral("-we");
    // The default sections: code, initialised, zeroed and read-only data.
    for (const auto &[word, property] :
         {std::pair{"-Rc,", "default_code_section"}, std::pair{"-Rd,", "default_data_section"},
          std::pair{"-Rz,", "default_zeroed_section"}, std::pair{"-Rk,", "default_const_section"}})
        if (const QString name = values.text(property); !name.isEmpty())
            words << QLatin1String(word) + name;
    if (compile.assemble) {
        words << passedOn(QStringLiteral("-Wa,"), options.own);
    } else {
        if (compile.cpp && values.yes("cpp_enable_exceptions"))
            words << QStringLiteral("-exceptions");
        if (compile.cpp && values.yes("cpp_enable_rtti"))
            words << QStringLiteral("-rtti");
        words << passedOn(QStringLiteral("-Wc,"), options.common)
              << passedOn(QStringLiteral("-Wc,"), options.own);
    }
    words << QStringLiteral("-depend") << compile.dependencies;
    words << QStringLiteral("-c") << compile.source << QStringLiteral("-o") << compile.object;
    return words;
}

// A pre- or post-compile command in its working directory; nothing when the command is empty.
std::optional<StepPlan> userCommand(const NodeValues &values, const CompileValues &compile,
                                    const char *property, const char *directoryProperty,
                                    const QString &logPrefix) {
    const QString command = values.text(property);
    // Split before expanding (or run by the shell with every value quoted): a path with
    // blanks stays one word and redirections work.
    const QStringList words = command.trimmed().isEmpty()
                                  ? QStringList()
                                  : CommandExpansion(values).arguments(values.raw(property));
    if (words.isEmpty())
        return std::nullopt;
    const QString directory = values.text(directoryProperty);
    StepPlan plan;
    plan.action = BuildAction::UserCommand;
    plan.description = logPrefix + command.simplified();
    plan.arguments = words;
    plan.workingDirectory =
        directory.isEmpty() ? compile.projectDir : anchored(compile.projectDir, directory);
    return plan;
}

// The analyzer run over a C or C++ source; nothing when it is off or has no command.
std::optional<StepPlan> analyzeStep(const NodeValues &values, const CompileValues &compile,
                                    const CompileOptions &options) {
    if (compile.assemble || !values.yes("analyze_after_compile"))
        return std::nullopt;
    MacroMap macros;
    macros.set("DEFINES", joinedWords(options.defines).toStdString());
    macros.set("INCLUDES", joinedWords(options.includes).toStdString());
    // One word, the form the analyzer takes its checks in: "-checks=$(CLANGTIDY)".
    macros.set("CLANGTIDY",
               values.list(compile.cpp ? "clang_tidy_checks_cpp" : "clang_tidy_checks_c")
                   .join(u',')
                   .toStdString());
    const QStringList words =
        commandWords(values.expandForStep(macros, values.raw("analyze_command")));
    if (words.isEmpty())
        return std::nullopt;
    StepPlan plan;
    plan.action = BuildAction::Analyze;
    plan.description = QStringLiteral("Analyzing ") + values.macro("InputFileName");
    plan.arguments = words + values.list(compile.cpp ? "analyze_command_cpp_options"
                                                     : "analyze_command_c_options");
    plan.workingDirectory = compile.projectDir;
    plan.inputs << compile.source;
    return plan;
}

// The compile or assemble step of the source the node's input macros name, without its
// description and commands: what says whether it is current.
StepPlan compileDraft(const NodeValues &values, BuildAction action) {
    const CompileValues compile(values, action);
    StepPlan plan;
    plan.action = action;
    plan.workingDirectory = compile.projectDir;
    plan.inputs = QStringList{compile.source};
    plan.outputs = QStringList{compile.object};
    plan.alwaysRebuild = values.yes("build_always_rebuild");
    plan.dependencyFile = compile.dependencies;
    return plan;
}

// The command of a drafted step, with those that go with it.
void addCommands(const NodeValues &values, StepPlan &plan) {
    const CompileValues compile(values, plan.action);
    if (plan.description.isEmpty()) // a unity step has its own
        plan.description =
            (compile.assemble ? QStringLiteral("Assembling ") : QStringLiteral("Compiling ")) +
            values.macro("InputFileName");
    const CompileOptions options(values, compile);
    const QStringList launcher = commandWords(values.text("build_compiler_launcher"));
    plan.arguments = externalCommand(values, compile, options);
    if (!plan.arguments.isEmpty()) {
        plan.launcher = launcher;
    } else {
        plan.arguments = builtInCommand(values, compile, options);
        // The driver runs the launcher before the GNU compiler: ccache and distcc know its
        // options (the driver's own "-depend" they would not, and lose the dependency file).
        if (!launcher.isEmpty())
            plan.environment << QStringLiteral("PALINDOR_COMPILER_LAUNCHER=") +
                                    launcher.join(u'\n');
    }

    if (std::optional<StepPlan> pre =
            userCommand(values, compile, "compile_pre_build_command",
                        "compile_pre_build_command_wd", QStringLiteral("Pre-compile command "))) {
        if (const QString output = values.text("compile_pre_build_command_output_file_name");
            !output.isEmpty())
            pre->outputs << anchored(compile.projectDir, output);
        plan.before.push_back(std::move(*pre));
    }
    // The analyzer looks at a source only when it compiled, and after it.
    if (std::optional<StepPlan> analyze = analyzeStep(values, compile, options))
        plan.after.push_back(std::move(*analyze));
    if (std::optional<StepPlan> post =
            userCommand(values, compile, "compile_post_build_command",
                        "compile_post_build_command_wd", QStringLiteral("Post-compile command ")))
        plan.after.push_back(std::move(*post));
}

} // namespace

struct CompilePlanner::Walk {
    // What the files without a configuration of their own share, by folder.
    std::map<const ProjectElement *, std::shared_ptr<NodeValues::Siblings>> siblings;
    std::optional<QSet<QString>> taken; // read when the first unity folder needs it
    const std::function<bool(Draft &)> *visit = nullptr;
    bool stopped = false; // the visitor said so

    void hand(Draft &draft) {
        if (!stopped)
            stopped = !(*visit)(draft);
    }
};

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
    return isExcludedFromBuild(m_registry, node, configuration);
}

std::optional<StepPlan> CompilePlanner::plan(const ProjectElement &file,
                                             const std::string &configuration) const {
    if (aboveExcluded(file, configuration))
        return std::nullopt;
    std::optional<Draft> draft = planFile(file, configuration, nullptr);
    if (!draft)
        return std::nullopt;
    draft->complete();
    return std::move(draft->step);
}

bool CompilePlanner::aboveExcluded(const ProjectElement &node,
                                   const std::string &configuration) const {
    for (const ProjectElement *at = node.parentElement(); at && at->kind() != Kind::Solution;
         at = at->parentElement())
        if (excluded(*at, configuration))
            return true;
    return false;
}

std::optional<CompilePlanner::Draft> CompilePlanner::planFile(const ProjectElement &file,
                                                              const std::string &configuration,
                                                              Walk *walk) const {
    if (file.kind() != Kind::File || file.attributeOr("file_name").empty())
        return std::nullopt;
    std::shared_ptr<NodeValues::Siblings> siblings;
    if (walk && file.configurations().empty() && file.parentElement()) {
        std::shared_ptr<NodeValues::Siblings> &shared = walk->siblings[file.parentElement()];
        if (!shared)
            shared = std::make_shared<NodeValues::Siblings>();
        siblings = shared;
    } else if (excluded(file, configuration)) {
        return std::nullopt;
    }
    const bool sharing = siblings != nullptr;
    auto values = std::make_shared<const NodeValues>(m_registry, m_macros, file, configuration,
                                                     std::move(siblings));
    // A file that shares its siblings' values has their exclusion too, found once.
    if (sharing && values->yes("build_exclude_from_build"))
        return std::nullopt;
    const BuildAction action =
        actionFor(values->raw("file_type"), values->macro("InputPath").toStdString(),
                  values->yes("c_files_are_cpp"));
    if (action == BuildAction::None)
        return std::nullopt;
    Draft draft;
    draft.step = compileDraft(*values, action);
    draft.m_values = std::move(values);
    return draft;
}

QSet<QString> CompilePlanner::sourcePaths(const ProjectElement &node,
                                          const std::string &configuration) const {
    QSet<QString> paths;
    const ProjectElement *top = node.solution() ? node.solution() : &node;
    walkBuildTree(*top, [&](const ProjectElement &at) {
        if (at.kind() == Kind::File && !at.attributeOr("file_name").empty())
            paths.insert(
                anchored(QString::fromStdString(m_macros.projectDirectory(at, configuration)),
                         QString::fromStdString(
                             m_macros.expander().globalExpand(at.attributeOr("file_name")))));
        return at.kind() != Kind::File;
    });
    return paths;
}

bool CompilePlanner::unityPlans(const ProjectElement &folder, const std::string &configuration,
                                Walk &walk) const {
    auto shared = std::make_shared<NodeValues>(m_registry, m_macros, folder, configuration);
    NodeValues &values = *shared;
    const QString name = values.text("unity_build_file_name");
    if (name.isEmpty())
        return false;
    // Beside the objects: the unity file is as much a product of the build as they are, and
    // each configuration keeps its own.
    const QString intDir = values.macro("IntDir");
    const QString path = anchored(intDir.isEmpty() ? values.macro("ProjectDir") : intDir, name);
    const BuildAction action =
        actionFor("Default", path.toStdString(), values.yes("c_files_are_cpp"));
    if (action != BuildAction::CompileC && action != BuildAction::CompileCpp)
        return false;
    // Writing it must not overwrite a source, nor the unity file of another folder.
    std::optional<QSet<QString>> &taken = walk.taken;
    if (!taken)
        taken = sourcePaths(folder, configuration);
    if (taken->contains(path))
        return false;
    taken->insert(path);

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
    std::vector<Draft> alone;
    walkBuildTree(folder, [&](const ProjectElement &at) {
        if (at.kind() != Kind::File)
            return !excluded(at, configuration);
        if (std::optional<Draft> draft = planFile(at, configuration, &walk)) {
            const QString &source = draft->step.inputs.first();
            if (draft->step.action == action && includable(source) && !filtered(source)) {
                members << source;
                content += "#include \"" + source.toUtf8() + "\"\n";
            } else {
                alone.push_back(std::move(*draft));
            }
        }
        return false;
    });

    if (!members.isEmpty()) {
        values.setInput(path);
        StepPlan unity = compileDraft(values, action);
        unity.description = QStringLiteral("Compiling folder ") +
                            QString::fromStdString(folder.displayName()) +
                            QStringLiteral(" in unity mode as ") + QFileInfo(path).fileName();
        // The members come after the unity file: the source stays first.
        unity.inputs << members;
        unity.generatedFiles.push_back({path, content, QString()});
        Draft draft;
        draft.step = std::move(unity);
        draft.m_values = std::move(shared);
        walk.hand(draft);
    }
    for (Draft &draft : alone)
        walk.hand(draft);
    return true;
}

std::vector<StepPlan> CompilePlanner::plans(const ProjectElement &node,
                                            const std::string &configuration) const {
    std::vector<StepPlan> steps;
    forEachDraft(node, configuration, [&steps](Draft &draft) {
        draft.complete();
        steps.push_back(std::move(draft.step));
        return true;
    });
    return steps;
}

bool CompilePlanner::forEachDraft(const ProjectElement &node, const std::string &configuration,
                                  const std::function<bool(Draft &)> &visit) const {
    if (aboveExcluded(node, configuration))
        return true;
    Walk walk;
    walk.visit = &visit;
    walkBuildTree(node, [&](const ProjectElement &at) {
        if (walk.stopped)
            return false;
        if (at.kind() == Kind::File) {
            if (std::optional<Draft> draft = planFile(at, configuration, &walk))
                walk.hand(*draft);
            return false;
        }
        if (at.kind() != Kind::Solution && excluded(at, configuration))
            return false;
        return at.kind() != Kind::Folder || m_unityBuildDisabled ||
               !unityPlans(at, configuration, walk);
    });
    return !walk.stopped;
}

void CompilePlanner::Draft::complete() {
    addCommands(*m_values, step);
}
